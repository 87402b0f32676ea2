// TSoundMix: the component through which the pet uses the mixer. It owns one
// session for its whole life; Activated holds the output device, Channels
// says which of the eight channels are open (bit i: channel i).
#pragma once
#include <cstdint>
#include <vector>

#include "mixer/soundmix.h"

// The mixer operations the component calls; tests wrap them to see the calls.
struct SoundMixApi {
    hMixSession (*init)(const MixConfig*) = SoundMixInit;
    void (*closeSession)(hMixSession) = SoundMixCloseSession;
    void (*activate)(hMixSession, bool) = SoundMixActivate;
    void (*openChannel)(hMixSession, int32_t, int32_t) = SoundMixOpenChannel;
    void (*closeChannel)(hMixSession, int32_t, int32_t) = SoundMixCloseChannel;
    void (*play)(MixPlayParams*) = SoundMixPlay;
    hMixWave (*openWave)(hMixSession, const void*, hMixModule, uint32_t) = SoundMixOpenWave;
    void (*freeWave)(hMixSession, hMixWave) = SoundMixFreeWave;
};

class TSoundMix {
public:
    // Creates the session from SOUNDMIX.INI alone; raises "Initialization
    // failed (SoundMixInit)" when none comes back, and SoundMixInit's own errors.
    explicit TSoundMix(const SoundMixApi& api = SoundMixApi{});
    // Closes the channels, gives the device back, closes the session; never throws.
    ~TSoundMix();
    TSoundMix(const TSoundMix&) = delete;
    TSoundMix& operator=(const TSoundMix&) = delete;

    bool Activated() const { return activated_; }
    void setActivated(bool value);
    uint8_t Channels() const { return channels_; }
    // When an open or close fails part-way, Channels keeps the bits already switched.
    void setChannels(uint8_t value);

    hMixWave OpenWave(const char* fileName);
    void FreeWave(hMixWave wave);
    void Play(int32_t channel, hMixWave wave, hMixWindow notify, uint32_t flags, uint16_t loops);

    // Play once, free when heard. PlayOnce takes the wave over and plays it
    // once on the channel; when its end notice arrives the wave is freed,
    // unless the caller still holds it then (Hold). Release: the caller lets
    // go of a wave, whoever loaded it; it is freed at once, or at its end
    // notice while a PlayOnce of it is still to be heard. Waves of PlayOnce
    // still loaded when the component goes are freed with it.
    void PlayOnce(int32_t channel, hMixWave wave);
    void Hold(hMixWave wave);
    void Release(hMixWave wave);

    hMixSession session() const { return session_; }

private:
    static intptr_t noticeProc(void* self, hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
    void heard(hMixWave wave);
    void freeQuietly(hMixWave wave);

    SoundMixApi api_;
    MixPlayParams params_{};
    hMixSession session_ = 0;
    bool activated_ = false;
    uint8_t channels_ = 0;
    hMixWindow noticeWindow_ = 0;   // receives PlayOnce's end notices; made by the first
    std::vector<hMixWave> owned_;   // PlayOnce's waves not yet freed
    std::vector<hMixWave> playing_; // ... and of those, the ones still to be heard, once per play
    std::vector<hMixWave> held_;    // waves the caller holds
};

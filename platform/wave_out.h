// The wave output device: a small interface over whatever plays the sound.
//
// The calls follow the classic wave-out model. Devices are numbered 0..n-1
// and -1 (WAVE_MAPPER) is the default device. A block is described by a
// WaveHeader, prepared once, then written any number of times; blocks play
// in the order written. When the device has played a block it sets WHDR_DONE
// in the header's flags and posts MM_WOM_DONE (lParam: the header) to the
// callback window given at open. Every call returns MMSYSERR_NOERROR (0) or
// an error number.
//
// Thread safety: a device is driven from one thread (the UI thread). Devices
// with an audio thread of their own copy a block's bytes when it is written,
// so the caller may rewrite a block's data as soon as the write returns, and
// touch the header's flags only through the atomic. Closing a device (or
// destroying it) stops its thread before returning.
//
// Implementations: the SDL2 backend (wave_out_sdl.cpp, the default) and the
// scripted VirtualWaveOut for tests (virtual_wave_out.h).
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/callback_window.h"

using MMRESULT = uint32_t;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr int32_t WAVE_MAPPER = -1;

constexpr uint32_t MM_WOM_DONE = 0x3BD;

constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;

constexpr uint32_t WAVECAPS_SYNC = 0x10;

// 8-bit unsigned PCM as the mixer produces it.
struct WaveOutFormat {
    uint16_t channels = 1;         // 1 or 2
    uint32_t samplesPerSec = 11025;
    uint16_t bitsPerSample = 8;
};

struct WaveOutCaps {
    char productName[32] = {};  // at most 31 characters
    uint16_t channels = 0;
    uint32_t support = 0;       // WAVECAPS_SYNC
};

struct WaveHeader {
    uint8_t* data = nullptr;
    uint32_t bufferLength = 0;
    std::atomic<uint32_t> flags{0};  // WHDR_*; the device sets WHDR_DONE from its own thread
    uintptr_t user = 0;
    // Owned by the device between prepare and unprepare.
    WaveHeader* next = nullptr;
    void* reserved = nullptr;
    uint32_t reservedLength = 0;
    uint32_t consumed = 0;

    bool done() const { return flags.load(std::memory_order_acquire) & WHDR_DONE; }
};

class WaveOutDevice {
public:
    virtual ~WaveOutDevice() = default;
    virtual MMRESULT prepare(WaveHeader& header) = 0;
    virtual MMRESULT unprepare(WaveHeader& header) = 0;
    virtual MMRESULT write(WaveHeader& header) = 0;
    // Stops, returns every queued block with WHDR_DONE (posting MM_WOM_DONE
    // for each) and starts the byte counter again at 0. A pause stays.
    virtual MMRESULT reset() = 0;
    virtual MMRESULT pause() = 0;
    virtual MMRESULT restart() = 0;
    // Bytes of the written blocks played since open or the last reset.
    virtual uint64_t positionBytes() = 0;
};

class WaveOutDriver {
public:
    virtual ~WaveOutDriver() = default;
    virtual int deviceCount() = 0;
    virtual MMRESULT getCaps(int32_t deviceId, WaveOutCaps& caps) = 0;
    // Whether the device could play the format; opens nothing.
    virtual MMRESULT queryFormat(int32_t deviceId, const WaveOutFormat& format) = 0;
    virtual MMRESULT open(std::unique_ptr<WaveOutDevice>& device, int32_t deviceId, const WaveOutFormat& format,
                          hMixWindow callback) = 0;
};

// The driver in use: the one set, else the SDL2 backend.
WaveOutDriver& CurrentWaveOutDriver();
// nullptr goes back to the SDL2 backend. The driver must outlive its use.
void SetWaveOutDriver(WaveOutDriver* driver);

WaveOutDriver& SdlWaveOutDriver();

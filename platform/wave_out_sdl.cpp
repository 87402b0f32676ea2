// The wave output device on SDL2's audio subsystem (callback model).
//
// SDL pulls sound on its own thread. Each written block is copied into a
// buffer that the device made when the block was prepared, so the audio
// thread never reads the mixer's memory; the queue is changed only under the
// device's audio lock, and the done flag is an atomic.
#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "platform/wave_out.h"

namespace {

constexpr uint8_t kSilence = 0x80;

class SdlWaveOut : public WaveOutDevice {
public:
    SdlWaveOut(hMixWindow callback) : callback_(callback) {}
    ~SdlWaveOut() override {
        // Joins SDL's audio thread: nothing touches a header after this.
        if (device_) SDL_CloseAudioDevice(device_);
        // Copies of blocks that were never unprepared die with the device.
        for (uint8_t* copy : copies_) delete[] copy;
    }

    MMRESULT start(const char* name, const WaveOutFormat& format) {
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(format.samplesPerSec);
        want.format = AUDIO_U8;
        want.channels = static_cast<Uint8>(format.channels);
        want.samples = 512;
        want.callback = &SdlWaveOut::feed;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
        if (device_ == 0) return MMSYSERR_NODRIVER;
        SDL_PauseAudioDevice(device_, 0);
        return MMSYSERR_NOERROR;
    }

    MMRESULT prepare(WaveHeader& h) override {
        if (!h.data) return MMSYSERR_INVALPARAM;
        if (h.flags.load() & WHDR_PREPARED) return MMSYSERR_NOERROR;
        auto* copy = new (std::nothrow) uint8_t[std::max<uint32_t>(h.bufferLength, 1)];
        if (!copy) return MMSYSERR_NOMEM;
        try {
            copies_.insert(copy);
        } catch (const std::bad_alloc&) {
            delete[] copy;
            return MMSYSERR_NOMEM;
        }
        h.reserved = copy;
        h.reservedLength = h.bufferLength;
        h.flags.fetch_or(WHDR_PREPARED);
        return MMSYSERR_NOERROR;
    }

    MMRESULT unprepare(WaveHeader& h) override {
        if (h.flags.load() & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        if (!(h.flags.load() & WHDR_PREPARED)) return MMSYSERR_NOERROR;
        copies_.erase(static_cast<uint8_t*>(h.reserved));
        delete[] static_cast<uint8_t*>(h.reserved);
        h.reserved = nullptr;
        h.reservedLength = 0;
        h.flags.fetch_and(~WHDR_PREPARED);
        return MMSYSERR_NOERROR;
    }

    MMRESULT write(WaveHeader& h) override {
        uint32_t f = h.flags.load();
        if (!(f & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (f & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        if (h.bufferLength > h.reservedLength) return MMSYSERR_INVALPARAM;
        SDL_LockAudioDevice(device_);
        std::memcpy(h.reserved, h.data, h.bufferLength);
        h.consumed = 0;
        h.next = nullptr;
        h.flags.fetch_and(~WHDR_DONE);
        h.flags.fetch_or(WHDR_INQUEUE);
        if (tail_) tail_->next = &h;
        else head_ = &h;
        tail_ = &h;
        SDL_UnlockAudioDevice(device_);
        return MMSYSERR_NOERROR;
    }

    MMRESULT reset() override {
        SDL_LockAudioDevice(device_);
        while (head_) finishHead();
        position_.store(0);
        SDL_UnlockAudioDevice(device_);
        return MMSYSERR_NOERROR;
    }

    MMRESULT pause() override {
        SDL_PauseAudioDevice(device_, 1);
        return MMSYSERR_NOERROR;
    }

    MMRESULT restart() override {
        SDL_PauseAudioDevice(device_, 0);
        return MMSYSERR_NOERROR;
    }

    uint64_t positionBytes() override { return position_.load(); }

private:
    // Audio lock held.
    void finishHead() {
        WaveHeader* h = head_;
        head_ = h->next;
        if (!head_) tail_ = nullptr;
        h->next = nullptr;
        h->flags.fetch_and(~WHDR_INQUEUE);
        h->flags.fetch_or(WHDR_DONE, std::memory_order_release);
        PostWindowMessage(callback_, MM_WOM_DONE, 0, reinterpret_cast<intptr_t>(h));
    }

    // SDL's audio thread, with the device's audio lock held.
    static void SDLCALL feed(void* self, Uint8* stream, int len) {
        auto* d = static_cast<SdlWaveOut*>(self);
        size_t want = static_cast<size_t>(len), got = 0;
        while (got < want && d->head_) {
            WaveHeader* h = d->head_;
            size_t n = std::min<size_t>(want - got, h->bufferLength - h->consumed);
            std::memcpy(stream + got, static_cast<uint8_t*>(h->reserved) + h->consumed, n);
            h->consumed += static_cast<uint32_t>(n);
            got += n;
            if (h->consumed == h->bufferLength) d->finishHead();
        }
        if (got < want) std::memset(stream + got, kSilence, want - got);
        d->position_.fetch_add(got);
    }

    hMixWindow callback_;
    SDL_AudioDeviceID device_ = 0;
    WaveHeader* head_ = nullptr;
    WaveHeader* tail_ = nullptr;
    std::set<uint8_t*> copies_;  // prepared and not yet unprepared: UI thread only
    std::atomic<uint64_t> position_{0};
};

class SdlDriver : public WaveOutDriver {
public:
    int deviceCount() override {
        if (!ready()) return 0;
        int n = SDL_GetNumAudioDevices(0);
        // -1: SDL cannot list the devices, yet the default one plays.
        return n < 0 ? 1 : n;
    }

    MMRESULT getCaps(int32_t id, WaveOutCaps& caps) override {
        if (!ready()) return MMSYSERR_NODRIVER;
        caps = WaveOutCaps{};
        char* defaultName = nullptr;
        SDL_AudioSpec spec{};
        const char* name = nullptr;
        int channels = 0;
        if (id == WAVE_MAPPER || SDL_GetNumAudioDevices(0) < 0) {
            if (SDL_GetDefaultAudioInfo(&defaultName, &spec, 0) == 0) {
                name = defaultName;
                channels = spec.channels;
            } else if (SDL_GetNumAudioDevices(0) > 0) {
                name = SDL_GetAudioDeviceName(0, 0);
                if (SDL_GetAudioDeviceSpec(0, 0, &spec) == 0) channels = spec.channels;
            }
            if (!name) name = "Default Audio Device";
        } else {
            if (id < 0 || id >= deviceCount()) return MMSYSERR_BADDEVICEID;
            name = SDL_GetAudioDeviceName(id, 0);
            if (!name) return MMSYSERR_NODRIVER;
            if (SDL_GetAudioDeviceSpec(id, 0, &spec) == 0) channels = spec.channels;
        }
        std::strncpy(caps.productName, name, sizeof(caps.productName) - 1);
        // SDL converts to whatever the hardware takes, so stereo is always on offer.
        caps.channels = static_cast<uint16_t>(channels >= 2 || channels == 0 ? 2 : 1);
        caps.support = 0;
        SDL_free(defaultName);
        return MMSYSERR_NOERROR;
    }

    MMRESULT queryFormat(int32_t id, const WaveOutFormat& f) override {
        if (!ready()) return MMSYSERR_NODRIVER;
        if (id != WAVE_MAPPER && (id < 0 || id >= deviceCount())) return MMSYSERR_BADDEVICEID;
        bool rateOk = f.samplesPerSec == 11025 || f.samplesPerSec == 22050 || f.samplesPerSec == 44100;
        if (f.bitsPerSample != 8 || f.channels < 1 || f.channels > 2 || !rateOk) return WAVERR_BADFORMAT;
        return MMSYSERR_NOERROR;
    }

    MMRESULT open(std::unique_ptr<WaveOutDevice>& device, int32_t id, const WaveOutFormat& format,
                  hMixWindow callback) override {
        MMRESULT r = queryFormat(id, format);
        if (r) return r;
        const char* name = nullptr;
        if (id != WAVE_MAPPER && SDL_GetNumAudioDevices(0) > 0) name = SDL_GetAudioDeviceName(id, 0);
        auto d = std::make_unique<SdlWaveOut>(callback);
        r = d->start(name, format);
        if (r) return r;
        device = std::move(d);
        return MMSYSERR_NOERROR;
    }

private:
    bool ready() {
        std::call_once(once_, [this] {
            // Ctrl+C belongs to the application, not to SDL.
            SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            ok_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        });
        return ok_;
    }

    std::once_flag once_;
    bool ok_ = false;
};

}  // namespace

WaveOutDriver& SdlWaveOutDriver() {
    static SdlDriver driver;
    return driver;
}

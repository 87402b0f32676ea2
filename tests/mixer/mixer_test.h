// The one mixer of the process on the test's own virtual device, a hand-driven clock and
// SOUNDMIX.INI in a fresh folder; driven through soundmix.h, read through views.h.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "mixer/views.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/support.h"
#include "tests/support/wave_image.h"

namespace view = mixer::view;

// The message a call fails with, or "no error".
inline std::string errorOf(const std::function<void()>& f) {
    try { f(); } catch (const ESoundMixError& e) { return e.message(); }
    return "no error";
}

inline Bytes silence(size_t n) { return Bytes(n, 128); }
// The first n bytes of v played endlessly.
inline Bytes repeated(const Bytes& v, size_t n) {
    Bytes out;
    for (size_t i = 0; i < n; ++i) out.push_back(v[i % v.size()]);
    return out;
}
// n bytes of a sound; `first` makes each sound its own.
inline Bytes ramp(size_t n, uint8_t first = 1) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(first + i * 7 % 251);
    return v;
}

class MixerTest : public ::testing::Test {
protected:
    static constexpr uint16_t kEndless = 0xFFFF;
    struct Notice { int channel; hMixWave wave; bool operator==(const Notice&) const = default; };
    using Notices = std::vector<Notice>;
    static inline Notices notices;
    static inline uint32_t clockNow = 0;

    VirtualWaveOut wave;
    VirtualWaveOut::Use use{wave};
    TempDir dir;
    hMixSession h = 0;
    hMixWindow notify = 0;
    std::vector<hMixWave> loaded;

    void SetUp() override {
        SetProfileDirectory(dir.path());
        clockNow = 5000;
        SetMilliClockSource([] { return clockNow; });
        notices.clear();
        RegisterWindowClass("MixerTestNotices", [](hMixWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
            if (m == MIX_END_NOTICE) notices.push_back({int(wp), hMixWave(lp)});
            return DefaultWindowProc(w, m, wp, lp);
        });
        notify = CreateCallbackWindow("MixerTestNotices");
    }
    void TearDown() override {
        // Waves outlive sessions, and the next test counts from none.
        if (!view::sessionHandle()) SoundMixInit(nullptr);  // any session frees them
        for (hMixWave w : loaded)
            if (SoundMixWaveInfo(w)) SoundMixFreeWave(view::sessionHandle(), w);
        if (hMixSession live = view::sessionHandle()) SoundMixCloseSession(live);
        DispatchPostedMessages();
        SetMilliClockSource(nullptr);
        DestroyCallbackWindow(notify);
    }

    void ini(const std::string& text) { dir.write("SOUNDMIX.INI", text); }
    static constexpr MixConfig kStereo44{10, MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, 2, 44};
    // A fresh session: small blocks, positions by the device's byte counter; `device` overrides them.
    void start(const std::string& device = "", int channels = 0x0F, const MixConfig* config = nullptr) {
        if (view::sessionHandle()) SoundMixCloseSession(view::sessionHandle());
        notices.clear();
        wave.clearLog();
        ini("[default]\nGoodWavePos=1\nWaveBlockLen=512\nWaveBlocks=3\n[Virtual Wave Out]\n" + device);
        h = SoundMixInit(config);
        SoundMixActivate(h, true);
        for (int c = 0; c < 8; ++c)
            if (channels & (1 << c)) SoundMixOpenChannel(h, c, MIX_OPEN_ONE);
    }
    // A wave of exactly these bytes: 8-bit 11025 Hz, mono unless said.
    hMixWave load(const Bytes& bytes, uint16_t channels = 1) {
        const Bytes image = pcmWave(channels, 11025, 8, bytes);
        const MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
        return loaded.emplace_back(SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY));
    }
    void play(int channel, hMixWave w, uint32_t flags = 0, uint16_t loops = 0) {
        MixPlayParams p{24, h, channel, w, notify, flags, loops};
        SoundMixPlay(&p);
    }
    // Plays n queued blocks as the device would and delivers its messages: what was heard, after `before`.
    Bytes hear(size_t blocks = size_t(-1), Bytes before = {}) {
        for (size_t i = 0; i < blocks && wave.queued() > 0; ++i) {
            const WaveHeader* hd = wave.queuedHeader(0);
            before.insert(before.end(), hd->data, hd->data + hd->bufferLength);
            wave.complete(1);
            DispatchPostedMessages();
        }
        return before;
    }
    // The heard stream cut at `length`: only silence may follow it.
    static Bytes upTo(Bytes v, size_t length) {
        EXPECT_GE(v.size(), length);
        for (size_t i = length; i < v.size(); ++i) EXPECT_EQ(v[i], 128) << "sound after the end, at " << i;
        v.resize(std::min(v.size(), length));
        return v;
    }
};

// A session on the virtual device with real waves, and what a listener hears;
// a hand-driven clock and its own SOUNDMIX.INI directory. The mixer is seen
// only through soundmix.h and the read-only views of views.h.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mixer/views.h"
#include "mixer/soundmix.h"
#include "platform/callback_window.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/wave_image.h"

class SoundTest : public ::testing::Test {
protected:
    static constexpr uint16_t kEndless = 0xFFFF;  // loops: repeat endlessly
    static inline uint32_t clockNow = 0;
    static uint32_t manualClock() { return clockNow; }

    VirtualWaveOut wave;
    VirtualWaveOut::Use use{wave};
    std::filesystem::path dir;

    struct Notice {
        int channel;
        hMixWave wave;
    };
    static inline std::vector<Notice> notices;
    hMixWindow notify = 0;
    hMixSession h = 0;

    static intptr_t noticeProc(hMixWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
        if (m == MIX_END_NOTICE) notices.push_back({int(wp), hMixWave(lp)});
        return DefaultWindowProc(w, m, wp, lp);
    }

    void SetUp() override {
        char tmpl[] = "/tmp/sound-test-XXXXXX";
        dir = mkdtemp(tmpl);
        SetProfileDirectory(dir.string());
        clockNow = 5000;
        SetMilliClockSource(&manualClock);
        notices.clear();
        RegisterWindowClass("SoundTestNotices", &noticeProc);
        notify = CreateCallbackWindow("SoundTestNotices");
    }
    void TearDown() override {
        // Waves outlive sessions; the next test counts from none.
        // Any live session can free them; a test that closed its own gets a fresh one.
        std::vector<hMixWave> left;
        for (hMixWave w : loaded)
            if (SoundMixWaveInfo(w)) left.push_back(w);
        if (!left.empty() && !mixer::view::sessionHandle()) SoundMixInit(nullptr);
        const hMixSession live = mixer::view::sessionHandle();
        for (hMixWave w : left) SoundMixFreeWave(live, w);
        if (live) SoundMixCloseSession(live);
        DispatchPostedMessages();
        SetMilliClockSource(nullptr);
        std::filesystem::remove_all(dir);
        DestroyCallbackWindow(notify);
    }

    void writeIni(const std::string& text) { std::ofstream(dir / "SOUNDMIX.INI") << text; }

    static void expectError(const std::function<void()>& f, const std::string& message) {
        try {
            f();
            ADD_FAILURE() << "no error, expected: " << message;
        } catch (const ESoundMixError& e) {
            EXPECT_EQ(e.message(), message);
        }
    }

    static std::vector<uint8_t> ramp(size_t n, uint8_t first = 1) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i * 7 % 251);
        return v;
    }

    // Small blocks and the device's byte counter as the play position, so
    // every position in a test is a whole number of heard blocks.
    void start(const std::string& extra = "", int channels = 0x0F) {
        writeIni("[default]\nGoodWavePos=1\nWaveBlockLen=512\nWaveBlocks=3\n" + extra);
        h = SoundMixInit(nullptr);
        SoundMixActivate(h, true);
        for (int c = 0; c < 8; ++c)
            if (channels & (1 << c)) SoundMixOpenChannel(h, c, MIX_OPEN_ONE);
    }

    // A wave of exactly these 8-bit mono 11025 Hz bytes (the session's own format).
    hMixWave load(const std::vector<uint8_t>& bytes) {
        const Bytes image = pcmWave(1, 11025, 8, bytes);
        MixMemoryFile file;
        file.buffer = image.data();
        file.size = uint32_t(image.size());
        loaded.push_back(SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY));
        return loaded.back();
    }
    std::vector<hMixWave> loaded;

    MixPlayParams params(int channel, hMixWave w, uint32_t flags = 0, uint16_t loops = 0, bool withNotice = true) {
        return MixPlayParams{24, h, channel, w, withNotice ? notify : 0, flags, loops};
    }
    void play(int channel, hMixWave w, uint32_t flags = 0, uint16_t loops = 0) {
        MixPlayParams p = params(channel, w, flags, loops);
        SoundMixPlay(&p);
    }

    // Plays n queued blocks to the listener, as the device would, and returns their bytes.
    std::vector<uint8_t> hear(size_t blocks) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < blocks && wave.queued() > 0; ++i) {
            const WaveHeader* hd = wave.queuedHeader(0);
            out.insert(out.end(), hd->data, hd->data + hd->bufferLength);
            wave.complete(1);
            DispatchPostedMessages();
        }
        return out;
    }
    // Until the device has nothing left.
    std::vector<uint8_t> hearAll() { return hear(size_t(-1)); }

    static std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> out;
        for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }
    static std::vector<uint8_t> silence(size_t n) { return std::vector<uint8_t>(n, 128); }
    static std::vector<uint8_t> first(const std::vector<uint8_t>& v, size_t n) {
        return std::vector<uint8_t>(v.begin(), v.begin() + long(n));
    }
    // The heard stream, its trailing block padding cut at `length`.
    static std::vector<uint8_t> upTo(std::vector<uint8_t> v, size_t length) {
        EXPECT_GE(v.size(), length);
        for (size_t i = length; i < v.size(); ++i) EXPECT_EQ(v[i], 128) << "sound after the end, at " << i;
        v.resize(std::min(v.size(), length));
        return v;
    }
};

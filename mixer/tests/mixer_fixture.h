// The mixer's own white-box tests: the one mixer on the virtual device, with
// a hand-driven clock and its own SOUNDMIX.INI directory. Plays are placed on
// channel queues directly, and the mixer's inner steps are called one by one
// through the members below (MixerTest is the Mixer's friend).
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mixer_internal.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

class MixerTest : public ::testing::Test {
protected:
    static inline uint32_t clockNow = 0;
    static uint32_t manualClock() { return clockNow; }

    VirtualWaveOut wave;
    VirtualWaveOut::Use use{wave};
    std::filesystem::path dir;
    std::deque<std::vector<uint8_t>> waves;

    void SetUp() override {
        char tmpl[] = "/tmp/mixer-test-XXXXXX";
        dir = mkdtemp(tmpl);
        SetProfileDirectory(dir.string());
        clockNow = 5000;
        SetMilliClockSource(&manualClock);
    }

    void TearDown() override {
        if (hMixSession h = mx().sessionHandle()) SoundMixCloseSession(h);
        DispatchPostedMessages();
        SetMilliClockSource(nullptr);
        std::filesystem::remove_all(dir);
    }

    void writeIni(const std::string& text) { std::ofstream(dir / "SOUNDMIX.INI") << text; }

    // ---- the mixer's insides
    static mixer::Mixer& mx() { return mixer::theMixer(); }
    static mixer::Pool& pool() { return mx().pool_; }
    static mixer::DeviceQueue& queue() { return mx().queue_; }
    static mixer::Block* blockAt(int i) { return mx().blockAt(i) ? &mx().blocks_[size_t(i)] : nullptr; }
    static mixer::Session* current() { return mx().current_; }
    static void setCurrent(mixer::Session* s) { mx().current_ = s; }
    static mixer::Session* deviceSession() { return mx().deviceSession_; }
    static mixer::Session& useSession(hMixSession h) { return mx().useSession(h); }
    static bool deviceCanPlay(const mixer::Session& s) { return mx().deviceCanPlaySessionFormat(s); }
    static void syncPosition(mixer::Session& s, mixer::Position p) { mx().syncPosition(s, p); }
    static void resetKeepingPosition(mixer::Session& s) { mx().resetKeepingPosition(s); }
    static void resetIdlePosition(mixer::Session& s) { mx().resetIdlePosition(s); }
    static void refill(mixer::Session& s) { mx().refill(s); }
    static mixer::Block* takeFreeBlock(mixer::Session& s) { return mx().takeFreeBlock(s); }
    static bool fillBlock(mixer::Session& s, mixer::Block* b, mixer::AfterFill then) { return mx().fillBlock(s, b, then); }

    mixer::Session& session(hMixSession h) { return *mx().findSession(h); }

    static void expectError(const std::function<void()>& f, const std::string& message) {
        try {
            f();
            ADD_FAILURE() << "no error, expected: " << message;
        } catch (const ESoundMixError& e) {
            EXPECT_EQ(e.message(), message);
        }
    }

    static void openChannel(mixer::Session& s, int c) {
        if (mx().channelIsOpen(s, c)) return;
        s.channelHeads[c] = nullptr;
        ++s.openChannels;
    }

    // Bytes that live as long as the test.
    const std::vector<uint8_t>& keep(std::vector<uint8_t> bytes) {
        waves.push_back(std::move(bytes));
        return waves.back();
    }

    static std::vector<uint8_t> ramp(size_t n, uint8_t first = 1) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i * 7 % 251);
        return v;
    }

    // Queues a play at the end of the channel, starting at start or after the last play.
    mixer::PlayEntry* queuePlay(mixer::Session& s, int c, const std::vector<uint8_t>& bytes, mixer::Position start,
                            uint16_t loops = 0, hMixWindow notify = 0) {
        openChannel(s, c);
        mixer::PlayEntry* e = pool().take();
        if (!e) return nullptr;
        e->params = MixPlayParams{24, mx().sessionHandle(), c, static_cast<hMixWave>(waves.size()), notify, 0, loops};
        e->wave = e->params.wave;
        e->data = bytes.data();
        e->length = static_cast<int32_t>(bytes.size());
        mixer::PlayEntry** tail = &s.channelHeads[c];
        while (*tail) tail = &(*tail)->link;
        e->start = start;
        e->end = mixer::playEnd(start, loops, e->length);
        *tail = e;
        return e;
    }

    // Plays out the oldest queued block and lets the mixer handle the message.
    void playBlock(size_t n = 1) {
        wave.complete(n);
        DispatchPostedMessages();
    }
};

// The session (SOUNDMIX.INI, the config record, the device), the pump that
// keeps the blocks filled, and the summing kernel.
#include <random>

#include "kernel.h"
#include "mixer_test.h"

namespace {

using Session = MixerTest;
using Pump = MixerTest;

// What SOUNDMIX.INI chooses, in the settings and in the blocks that reach the device.
TEST_F(Session, ProfileValuesAndTheirClamps) {
    struct Case { const char* ini; int blockLength, blocks; uint32_t rate; int goodWavePos; bool deferred; } cases[] = {
        {"", 2048, 3, 11025, 0, false},
        {"[Virtual Wave Out]\nWaveBlockLen=5000\n", 4096, 3, 11025, 0, false},
        {"[default]\nWaveBlockLen=3000\n[Virtual Wave Out]\nWaveBlockLen=-7\n", 512, 3, 11025, 0, false},
        {"[default]\nWaveBlockLen=1027\n", 1024, 3, 11025, 0, false},
        {"[default]\nWaveBlockLen=1027\n[Virtual Wave Out]\nWaveBlockLen=601\n", 601, 3, 11025, 0, false},
        {"[default]\nWaveBlocks=1\nGoodWavePos=257\nRemix=2\n", 2048, 2, 11025, 1, true},
        {"[default]\nWaveBlocks=7\n", 2048, 6, 11025, 0, false},
        {"[default]\nRemix=2\n[Virtual Wave Out]\nWaveBlocks=9\nGoodWavePos=2\nRemix=1\nSamplesPerSec=44\n", 4096, 6,
         44100, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        ini(c.ini);
        h = SoundMixInit(nullptr);
        const view::Settings s = *view::settings(h);
        EXPECT_EQ(std::tuple(s.blockLength, s.blocksInUse, s.format.samplesPerSec, int(s.goodWavePos), s.deferredRemix),
                  std::tuple(c.blockLength, c.blocks, c.rate, c.goodWavePos, c.deferred));
        SoundMixActivate(h, true);
        SoundMixOpenChannel(h, 0, MIX_OPEN_ONE);
        play(0, load(Bytes(30000, 7)));
        ASSERT_EQ(wave.queued(), size_t(c.blocks));
        EXPECT_EQ(wave.written().back().size(), size_t(c.blockLength));
        EXPECT_EQ(wave.openedFormat().samplesPerSec, c.rate);
        SoundMixCloseSession(h);
    }
}

// Blocks of any length carry the stream unchanged; in stereo they keep whole
// frames, so a play queued behind one still starts with a left sample.
TEST_F(Session, OddBlockLengths) {
    start("WaveBlockLen=601\n");
    const Bytes a = ramp(1500, 3);
    play(1, load(a));
    EXPECT_EQ(wave.written().front().size(), 601u);
    EXPECT_EQ(upTo(hear(), 1500), a);

    const MixConfig stereo{10, MIX_CONFIG_CHANNELS, 2, 11};
    start("WaveBlockLen=601\n", 0x01, &stereo);
    Bytes shortOne, leftRight;
    for (int i = 0; i < 100; ++i) shortOne.insert(shortOne.end(), {60, 200});
    for (int i = 0; i < 400; ++i) leftRight.insert(leftRight.end(), {uint8_t(10 + i % 50), 240});
    play(0, load(shortOne, 2));  // sounds in the first block only
    play(0, load(leftRight, 2));  // starts at the mix position, one block on
    EXPECT_EQ(wave.written().front().size(), 600u);
    EXPECT_EQ(upTo(hear(), 1400), shortOne + silence(400) + leftRight);
}

// WaveOutDevice, the config record and the device's own caps decide the device and the format.
TEST_F(Session, DeviceAndFormat) {
    const MixConfig nine{9, 3, 2, 44}, rate22{10, MIX_CONFIG_RATE, 2, 22}, rate33{10, MIX_CONFIG_RATE, 1, 33};
    wave.setDevices({{"Card A", 2, 0}, {"Card B", 1, 0}, {std::string(40, 'x'), 2, 0}});
    struct Case { const char* device; const MixConfig* config; int id, channels, rate; std::string name; };
    for (const Case& c : {Case{"0", &kStereo44, 0, 2, 44100, "Card A"}, {"1", &kStereo44, 1, 1, 44100, "Card B"},
                          {"0", &nine, 0, 1, 11025, "Card A"}, {"0", &rate22, 0, 1, 22050, "Card A"},
                          {"0", &rate33, 0, 1, 11025, "Card A"}, {"3", nullptr, -1, 1, 11025, "Card A"},
                          {"-3", nullptr, -1, 1, 11025, "Card A"}, {"2", nullptr, 2, 1, 11025, std::string(31, 'x')}}) {
        ini(std::string("[general]\nWaveOutDevice=") + c.device + "\n");
        h = SoundMixInit(c.config);
        const view::Settings s = *view::settings(h);
        EXPECT_EQ(std::tuple(s.name, int(s.format.channels), int(s.format.samplesPerSec), int(s.format.avgBytesPerSec)),
                  std::tuple(c.name, c.channels, c.rate, c.rate * c.channels));
        SoundMixActivate(h, true);
        EXPECT_EQ(wave.openedId(), c.id) << c.device;
        SoundMixCloseSession(h);
    }
    wave.failCaps(true);  // a device that cannot describe itself is taken as a mono one
    h = SoundMixInit(&kStereo44);
    EXPECT_EQ(std::tuple(view::settings(h)->name, view::settings(h)->format.channels), std::tuple("Unknown Device", 1));
}

TEST_F(Session, RefusalsLeaveNoSessionAndClosedHandlesStayInvalid) {
    ini("[not compatible]\nOld Card=1\n");
    const char* sync = "Slow Card is a syncronous (blocking) wave output device.";
    using Devices = std::vector<VirtualWaveOut::Device>;
    for (auto [devices, message] : {std::pair{Devices{{"Slow Card", 2, WAVECAPS_SYNC}}, sync},
                                    {{{"Old Card", 2, 0}}, "Old Card is not compatible with the realtime sound mixer"},
                                    {{}, "No wave output devices available"}}) {
        wave.setDevices(devices);
        EXPECT_TRUE(errorOf([] { SoundMixInit(nullptr); }).starts_with(message));
        EXPECT_EQ(view::sessionHandle(), 0u);
    }
    wave.setDevices({{"Good Card", 2, 0}});
    start();
    play(0, load(ramp(5000)), 0, kEndless);
    EXPECT_EQ(errorOf([] { SoundMixInit(nullptr); }), "Session already initialized");
    const hMixSession old = h;
    SoundMixCloseSession(old);
    EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
    h = SoundMixInit(nullptr);
    for (hMixSession bad : {old, hMixSession(0), h + 1}) {
        EXPECT_EQ(errorOf([bad] { SoundMixActivate(bad, true); }), "Invalid Session handle");
        EXPECT_EQ(errorOf([bad] { SoundMixCloseSession(bad); }), "Invalid Session handle");
    }
}

TEST_F(Session, ActivationTakesTheDeviceAndRefusalsKeepTheClaim) {
    h = SoundMixInit(nullptr);
    SoundMixActivate(h, true);
    EXPECT_TRUE(wave.prepared() == view::kBlockCount && wave.written().empty());  // nothing plays, nothing is queued
    const hMixWindow window = wave.callbackWindow();
    SoundMixActivate(h, false);
    EXPECT_FALSE(wave.isOpen() || wave.prepared() || IsCallbackWindow(window));
    wave.refuseOpen(MMSYSERR_ALLOCATED);
    EXPECT_EQ(errorOf([this] { SoundMixActivate(h, true); }), "Failed to open waveform output device #4");
    EXPECT_TRUE(view::deviceClaimed());
    wave.refuseOpen(0);
    SoundMixActivate(h, true);  // claimed already: nothing happens until a deactivation
    EXPECT_FALSE(wave.isOpen() || view::activated(h));
    SoundMixActivate(h, false);
    EXPECT_FALSE(view::deviceClaimed());
    wave.refusePrepare(3, 11);
    EXPECT_EQ(errorOf([this] { SoundMixActivate(h, true); }), "Unable to prepare wave header #11");
    EXPECT_FALSE(wave.isOpen() || wave.prepared());
    wave.refuseFormat(true);  // asked before any wave is loaded
    EXPECT_EQ(errorOf([this] { load(ramp(10)); }), "The waveform device can\xB4t play this format");
}

// A play retires, with its notice, exactly when its last byte has been heard.
TEST_F(Pump, PlaysRetireAtTheirLastByte) {
    start();
    const hMixWave exact = load(ramp(512, 5)), longer = load(ramp(513, 7));
    play(1, exact, MIX_PLAY_DEFER);
    play(2, longer);
    hear(1);
    EXPECT_EQ(notices, (Notices{{1, exact}}));
    EXPECT_EQ(view::channelPlays(h, 2).size(), 1u);  // one byte short of its end
    hear(1);
    EXPECT_EQ(notices, (Notices{{1, exact}, {2, longer}}));
}

// After silence the position restarts at 0, whatever the clock says; over two months by the
// clock alone its 32-bit count wraps and the position goes on.
TEST_F(Pump, ClockPositionsOutlastTheClockWrapping) {
    start("GoodWavePos=0\n");
    const Bytes a = ramp(700, 4);
    play(1, load(a));
    clockNow += 400;
    hear();
    clockNow += 10000;  // the clock alone would say 115000 bytes on
    play(1, loaded[0]);
    EXPECT_EQ(view::block(0)->start, 0);
    EXPECT_EQ(view::mixPosition(h), 1024);
    EXPECT_EQ(upTo(hear(), 700), a);
    const int64_t idle = view::clockPosition(h);
    for (int64_t day = 1; day <= 60; ++day) {
        clockNow += 86400000u;
        EXPECT_EQ(view::clockPosition(h) - idle, day * 86400 * 11025);
    }
    // In stereo the clock never puts the position between the two bytes of a frame.
    start("GoodWavePos=0\n", 0, &kStereo44);
    const int64_t from = view::clockPosition(h);
    clockNow += 5;  // 441 bytes at 88200 bytes a second
    EXPECT_EQ(view::clockPosition(h) - from, 440);
}

// A refused write (here a remix's second block) frees its block; the device runs on and the pump carries on.
TEST_F(Pump, ARefusedWriteLeavesTheDeviceRunning) {
    start();
    play(1, load(ramp(20000, 2)));
    hear(1);
    wave.refuseWrite(1, MMSYSERR_NOMEM);
    EXPECT_EQ(errorOf([this] { play(2, load(ramp(5000, 70)), MIX_PLAY_NOW); }), "Failed to write block to device");
    EXPECT_FALSE(wave.isPaused());
    EXPECT_EQ(view::deviceQueueLength(), 1);
    EXPECT_EQ(wave.queued(), 1u);
    wave.refuseWrite(-1, 0);
    hear(1);
    EXPECT_EQ(wave.queued(), 3u);
}

// Sums around the 128 bias, clipped once at the end; the vector loops agree with this
// reference for any number of sources, length and alignment.
TEST(Kernel, SumsAroundSilenceAndClipsOnce) {
    const std::pair<std::vector<Bytes>, Bytes> cases[] = {
        {{{200, 50, 100, 128, 128, 0}, {200, 50, 180, 77, 255, 255}}, {255, 0, 152, 77, 255, 127}},
        {{{255}, {255}, {0}, {0}}, {126}},  // clipped after each add: 0
        {{{0}, {255}, {0}, {255}}, {126}},  // clipped after each add: 127
        {std::vector<Bytes>(8, {255, 0, 129}), {255, 0, 136}},
    };
    for (const auto& [sources, sum] : cases) {
        std::vector<const uint8_t*> src;
        for (const Bytes& s : sources) src.push_back(s.data());
        Bytes out(sum.size());
        mixer::mixSamplesReference(out.data(), src.data(), int(src.size()), uint16_t(out.size()));
        EXPECT_EQ(out, sum);
    }
    std::mt19937 rng(7);
    Bytes pool(8 * 4200), fast(4200), slow(4200);
    for (auto& b : pool) b = uint8_t(rng());
    for (auto loop : {mixer::VectorLoop::Baseline, mixer::VectorLoop::Widest})
        for (int k = 1; k <= 8; ++k)
            for (unsigned n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 1023u, 4096u}) {
                const uint8_t* src[8];
                for (int j = 0; j < k; ++j) src[j] = pool.data() + j * 4200 + rng() % 64;  // unaligned too
                const size_t at = rng() % 64;
                mixer::mixSamples(fast.data() + at, src, k, uint16_t(n), loop);
                mixer::mixSamplesReference(slow.data() + at, src, k, uint16_t(n));
                ASSERT_TRUE(std::equal(fast.begin() + long(at), fast.begin() + long(at + n), slow.begin() + long(at)))
                    << k << " sources, " << n << " bytes";
            }
}

}  // namespace

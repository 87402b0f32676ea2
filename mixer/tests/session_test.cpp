// Creating and closing sessions: the profile, the config record, refusals.
#include "mixer_fixture.h"

namespace {

using Session = MixerTest;

TEST_F(Session, WithoutProfileTheDefaultsHold) {
    hMixSession h = SoundMixInit(nullptr);
    mixer::Session& s = session(h);
    EXPECT_EQ(s.remix, mixer::Remix::Immediate);
    EXPECT_EQ(s.goodWavePos, 0);
    EXPECT_EQ(s.blocksInUse, 3);
    EXPECT_EQ(s.blockLength, 2048);
    EXPECT_EQ(s.format.samplesPerSec, 11025u);
    EXPECT_EQ(s.format.channels, 1);
    EXPECT_EQ(s.format.avgBytesPerSec, 11025u);
    EXPECT_EQ(s.deviceId, 0);
    EXPECT_STREQ(s.name, "Virtual Wave Out");
    EXPECT_FALSE(s.activated);
    for (int c = 0; c < mixer::kChannelCount; ++c) EXPECT_FALSE(mx().channelIsOpen(s, c));
    EXPECT_EQ(current(), &s);
}

TEST_F(Session, ConfigRecordIsHonouredOnlyAtSizeTen) {
    MixConfig nine{9, MIX_CONFIG_RATE | MIX_CONFIG_CHANNELS, 2, 44};
    SoundMixCloseSession(SoundMixInit(&nine));
    // A fresh init reads the record again.
    MixConfig ten{10, MIX_CONFIG_RATE, 0, 44};
    hMixSession h = SoundMixInit(&ten);
    EXPECT_EQ(session(h).format.samplesPerSec, 44100u);
    EXPECT_EQ(session(h).blockLength, 4096);
    EXPECT_EQ(session(h).format.channels, 1);
}

TEST_F(Session, ConfigOfSizeNineIsIgnored) {
    MixConfig nine{9, MIX_CONFIG_RATE | MIX_CONFIG_CHANNELS, 2, 44};
    hMixSession h = SoundMixInit(&nine);
    EXPECT_EQ(session(h).format.samplesPerSec, 11025u);
    EXPECT_EQ(session(h).format.channels, 1);
}

TEST_F(Session, BlockLengthsAreClampedAndWholeFrames) {
    struct Case {
        const char* ini;
        int expected;
    } cases[] = {
        {"[Virtual Wave Out]\nWaveBlockLen=100\n", 512},
        {"[Virtual Wave Out]\nWaveBlockLen=5000\n", 4096},
        {"[default]\nWaveBlockLen=1027\n", 1024},
        {"[Virtual Wave Out]\nWaveBlockLen=1027\n", 1024},  // rounded like the default section's
        {"[Virtual Wave Out]\nWaveBlockLen=-7\n", 512},
        {"[default]\nWaveBlockLen=65536\n", 2048},  // its low 16 bits are 0: none given
        {"[default]\nSamplesPerSec=22\n", 4096},
        {"[default]\nWaveBlockLen=3000\n[Virtual Wave Out]\nWaveBlockLen=777\n", 776},
    };
    for (const Case& c : cases) {
        writeIni(c.ini);
        hMixSession h = SoundMixInit(nullptr);
        EXPECT_EQ(session(h).blockLength, c.expected) << c.ini;
        EXPECT_EQ(session(h).blockLength % 4, 0) << c.ini;
        SoundMixCloseSession(h);
    }
}

TEST_F(Session, ProfileValuesAreClampedOrMasked) {
    writeIni("[default]\nWaveBlocks=1\nGoodWavePos=257\nRemix=2\n");
    hMixSession h = SoundMixInit(nullptr);
    EXPECT_EQ(session(h).blocksInUse, 2);
    EXPECT_EQ(session(h).goodWavePos, 1);
    EXPECT_EQ(session(h).remix, mixer::Remix::Deferred);
    SoundMixCloseSession(h);

    // The device section overrides the defaults.
    writeIni("[default]\nRemix=2\n[Virtual Wave Out]\nWaveBlocks=9\nGoodWavePos=2\nRemix=1\nSamplesPerSec=44\n");
    h = SoundMixInit(nullptr);
    EXPECT_EQ(session(h).blocksInUse, 6);
    EXPECT_EQ(session(h).goodWavePos, 2);
    EXPECT_EQ(session(h).remix, mixer::Remix::Immediate);
    EXPECT_EQ(session(h).format.samplesPerSec, 44100u);
}

TEST_F(Session, DeviceChoice) {
    wave.setDevices({{"Card A", 2, 0}, {"Card B", 1, 0}});
    writeIni("[general]\nWaveOutDevice=1\n");
    hMixSession h = SoundMixInit(nullptr);
    EXPECT_EQ(session(h).deviceId, 1);
    EXPECT_STREQ(session(h).name, "Card B");
    SoundMixCloseSession(h);

    writeIni("[general]\nWaveOutDevice=2\n");  // the number of devices: the default device
    h = SoundMixInit(nullptr);
    EXPECT_EQ(session(h).deviceId, WAVE_MAPPER);
    EXPECT_STREQ(session(h).name, "Card A");
    SoundMixCloseSession(h);

    writeIni("[general]\nWaveOutDevice=-3\n");  // names no device: the default one, which opens
    h = SoundMixInit(nullptr);
    EXPECT_EQ(session(h).deviceId, WAVE_MAPPER);
    EXPECT_STREQ(session(h).name, "Card A");
    SoundMixActivate(h, true);
    EXPECT_TRUE(wave.isOpen());
    SoundMixCloseSession(h);
}

TEST_F(Session, StereoNeedsTheRecordAndAStereoDevice) {
    MixConfig stereo{10, MIX_CONFIG_CHANNELS, 2, 0};
    wave.setDevices({{"Mono Card", 1, 0}});
    hMixSession h = SoundMixInit(&stereo);
    EXPECT_EQ(session(h).format.channels, 1);
    SoundMixCloseSession(h);

    wave.setDevices({{"Stereo Card", 2, 0}});
    h = SoundMixInit(&stereo);
    EXPECT_EQ(session(h).format.channels, 2);
    EXPECT_EQ(session(h).format.blockAlign, 2);
    EXPECT_EQ(session(h).format.avgBytesPerSec, 22050u);
    SoundMixCloseSession(h);

    h = SoundMixInit(nullptr);
    EXPECT_EQ(session(h).format.channels, 1);
}

TEST_F(Session, UnusableDevicesAreRefused) {
    wave.setDevices({{"Blocking Card", 2, WAVECAPS_SYNC}});
    expectError([] { SoundMixInit(nullptr); },
                "Blocking Card is a syncronous (blocking) wave output device.  This will not permit audio to play "
                "while other applications are running");
    EXPECT_EQ(mx().sessionHandle(), 0u);
    EXPECT_EQ(current(), nullptr);

    wave.setDevices({{"Old Card", 2, 0}});
    writeIni("[not compatible]\nOld Card=1\n");
    expectError([] { SoundMixInit(nullptr); }, "Old Card is not compatible with the realtime sound mixer");
    EXPECT_EQ(mx().sessionHandle(), 0u);

    wave.setDevices({});
    expectError([] { SoundMixInit(nullptr); }, "No wave output devices available");
    EXPECT_EQ(mx().sessionHandle(), 0u);

    // None of the refusals leaves anything behind.
    wave.setDevices({{"Good Card", 2, 0}});
    EXPECT_NE(SoundMixInit(nullptr), 0u);
}

TEST_F(Session, LongNamesAreCutAndFailedCapsMeanUnknown) {
    wave.setDevices({{std::string(40, 'x'), 2, 0}});
    hMixSession h = SoundMixInit(nullptr);
    EXPECT_EQ(std::string(session(h).name), std::string(31, 'x'));
    SoundMixCloseSession(h);

    wave.failCaps(true);
    MixConfig stereo{10, MIX_CONFIG_CHANNELS, 2, 0};
    h = SoundMixInit(&stereo);
    EXPECT_STREQ(session(h).name, "Unknown Device");
    EXPECT_EQ(session(h).format.channels, 1);
}

TEST_F(Session, SecondInitLeavesTheFirstAndThePool) {
    hMixSession h = SoundMixInit(nullptr);
    mixer::Session& s = session(h);
    queuePlay(s, 0, keep(ramp(100)), 0);
    queuePlay(s, 1, keep(ramp(100)), 0);
    int free = pool().freeCount();
    expectError([] { SoundMixInit(nullptr); }, "Session already initialized");
    EXPECT_EQ(mx().findSession(h), &s);
    EXPECT_EQ(pool().freeCount(), free);
    EXPECT_EQ(free, mixer::kPoolSize - 2);
    ASSERT_NE(s.channelHeads[1], nullptr);
    EXPECT_EQ(s.channelHeads[1]->length, 100);
}

TEST_F(Session, ClosedHandlesAreInvalid) {
    hMixSession old = SoundMixInit(nullptr);
    mixer::Session& s = session(old);
    for (int i = 0; i < 30; ++i) queuePlay(s, i % 8, keep(ramp(10)), 0);
    SoundMixCloseSession(old);
    EXPECT_EQ(current(), nullptr);
    expectError([old] { SoundMixActivate(old, true); }, "Invalid Session handle");
    expectError([old] { SoundMixCloseSession(old); }, "Invalid Session handle");
    expectError([] { SoundMixActivate(0, true); }, "Invalid Session handle");

    hMixSession fresh = SoundMixInit(nullptr);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(pool().freeCount(), mixer::kPoolSize);
    expectError([old] { SoundMixActivate(old, false); }, "Invalid Session handle");
    expectError([fresh] { SoundMixActivate(fresh + 1, false); }, "Invalid Session handle");
    EXPECT_NO_THROW(SoundMixActivate(fresh, true));
}

TEST_F(Session, PoolHoldsExactlyOneHundred) {
    SoundMixInit(nullptr);
    std::vector<mixer::PlayEntry*> taken;
    for (int i = 0; i < mixer::kPoolSize; ++i) taken.push_back(pool().take());
    EXPECT_EQ(std::count(taken.begin(), taken.end(), nullptr), 0);
    std::sort(taken.begin(), taken.end());
    EXPECT_EQ(std::unique(taken.begin(), taken.end()), taken.end());
    EXPECT_EQ(pool().take(), nullptr);

    pool().giveBack(taken[42]);
    pool().giveBack(nullptr);
    EXPECT_EQ(pool().take(), taken[42]);
    EXPECT_EQ(pool().take(), nullptr);
}

TEST_F(Session, PlayEndsNeverOverflow) {
    EXPECT_EQ(mixer::playEnd(100, 0, 50), 150);
    EXPECT_EQ(mixer::playEnd(100, 2, 50), 250);
    EXPECT_EQ(mixer::playEnd(100, mixer::kLoopForever, 50), mixer::kNever);
    EXPECT_EQ(mixer::playEnd(mixer::kNever, 0, 50), mixer::kNever);
    EXPECT_EQ(mixer::playEnd(mixer::kNever - 10, 3, 50), mixer::kNever);
    // Past 32 bits, where a 32-bit count would have wrapped negative.
    EXPECT_EQ(mixer::playEnd(int64_t{3} << 31, 0xFFFE, 0x7FFFFFFF), (int64_t{3} << 31) + int64_t{0xFFFF} * 0x7FFFFFFF);
    EXPECT_EQ(mixer::playEnd(77, 5, 0), 77);
}

}  // namespace

namespace {

using SessionSeam = MixerTest;

// What the wave loader leans on: validation that makes the session current,
// and the device's answer for the session's own format and device.
TEST_F(SessionSeam, ValidationAndTheFormatQuery) {
    wave.setDevices({{"Card A", 2, 0}, {"Card B", 2, 0}});
    writeIni("[general]\nWaveOutDevice=5\n");
    MixConfig stereo{10, MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, 2, 22};
    hMixSession h = SoundMixInit(&stereo);
    setCurrent(nullptr);
    expectError([h] { useSession(h + 1); }, "Invalid Session handle");
    EXPECT_EQ(current(), nullptr);
    mixer::Session& s = useSession(h);
    EXPECT_EQ(current(), &s);

    mixer::WaveTarget target = s.waveTarget();
    EXPECT_EQ(target.channels, 2);
    EXPECT_EQ(target.rate, 22050);
    EXPECT_TRUE(deviceCanPlay(s));  // asked of the default device, -1
    wave.refuseFormat(true);
    EXPECT_FALSE(deviceCanPlay(s));
    wave.refuseFormat(false);
    s.deviceId = 7;  // a device that does not exist cannot play anything
    EXPECT_FALSE(deviceCanPlay(s));
}

}  // namespace

// Creating and closing sessions: the profile, the config record, refusals.
#include "tests/mixer/mixer_fixture.h"

namespace {

using Session = MixerTest;

TEST_F(Session, WithoutProfileTheDefaultsHold) {
    hMixSession h = SoundMixInit(nullptr);
    MixSession& s = session(h);
    EXPECT_EQ(s.remix, MixRemix::Immediate);
    EXPECT_EQ(s.devicePositionFlag, 0);
    EXPECT_EQ(s.blocksInUse, 3);
    EXPECT_EQ(s.blockLength, 2048);
    EXPECT_EQ(s.format.samplesPerSec, 11025u);
    EXPECT_EQ(s.format.channels, 1);
    EXPECT_EQ(s.format.avgBytesPerSec, 11025u);
    EXPECT_EQ(s.deviceId, 0);
    EXPECT_STREQ(s.name, "Virtual Wave Out");
    EXPECT_FALSE(s.activated);
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c) EXPECT_FALSE(MixChannelIsOpen(s, c));
    EXPECT_EQ(CurrentSession, &s);
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
    EXPECT_EQ(session(h).devicePositionFlag, 1);
    EXPECT_EQ(session(h).remix, MixRemix::Deferred);
    SoundMixCloseSession(h);

    // The device section overrides the defaults.
    writeIni("[default]\nRemix=2\n[Virtual Wave Out]\nWaveBlocks=9\nGoodWavePos=2\nRemix=1\nSamplesPerSec=44\n");
    h = SoundMixInit(nullptr);
    EXPECT_EQ(session(h).blocksInUse, 6);
    EXPECT_EQ(session(h).devicePositionFlag, 2);
    EXPECT_EQ(session(h).remix, MixRemix::Immediate);
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
    EXPECT_EQ(MixSessionHandle(), 0u);
    EXPECT_EQ(CurrentSession, nullptr);

    wave.setDevices({{"Old Card", 2, 0}});
    writeIni("[not compatible]\nOld Card=1\n");
    expectError([] { SoundMixInit(nullptr); }, "Old Card is not compatible with the realtime sound mixer");
    EXPECT_EQ(MixSessionHandle(), 0u);

    wave.setDevices({});
    expectError([] { SoundMixInit(nullptr); }, "No wave output devices available");
    EXPECT_EQ(MixSessionHandle(), 0u);

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
    MixSession& s = session(h);
    queuePlay(s, 0, keep(ramp(100)), 0);
    queuePlay(s, 1, keep(ramp(100)), 0);
    int free = MixPoolFreeCount();
    expectError([] { SoundMixInit(nullptr); }, "Session already initialized");
    EXPECT_EQ(MixFindSession(h), &s);
    EXPECT_EQ(MixPoolFreeCount(), free);
    EXPECT_EQ(free, MIX_POOL_SIZE - 2);
    ASSERT_NE(s.channelHeads[1], nullptr);
    EXPECT_EQ(s.channelHeads[1]->length, 100);
}

TEST_F(Session, ClosedHandlesAreInvalid) {
    hMixSession old = SoundMixInit(nullptr);
    MixSession& s = session(old);
    for (int i = 0; i < 30; ++i) queuePlay(s, i % 8, keep(ramp(10)), 0);
    SoundMixCloseSession(old);
    EXPECT_EQ(CurrentSession, nullptr);
    expectError([old] { SoundMixActivate(old, true); }, "Invalid Session handle");
    expectError([old] { SoundMixCloseSession(old); }, "Invalid Session handle");
    expectError([] { SoundMixActivate(0, true); }, "Invalid Session handle");

    hMixSession fresh = SoundMixInit(nullptr);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(MixPoolFreeCount(), MIX_POOL_SIZE);
    expectError([old] { SoundMixActivate(old, false); }, "Invalid Session handle");
    expectError([fresh] { SoundMixActivate(fresh + 1, false); }, "Invalid Session handle");
    EXPECT_NO_THROW(SoundMixActivate(fresh, true));
}

TEST_F(Session, PoolHoldsExactlyOneHundred) {
    SoundMixInit(nullptr);
    std::vector<MixPlayEntry*> taken;
    for (int i = 0; i < MIX_POOL_SIZE; ++i) taken.push_back(MixPoolTake());
    EXPECT_EQ(std::count(taken.begin(), taken.end(), nullptr), 0);
    std::sort(taken.begin(), taken.end());
    EXPECT_EQ(std::unique(taken.begin(), taken.end()), taken.end());
    EXPECT_EQ(MixPoolTake(), nullptr);

    MixPoolGiveBack(taken[42]);
    MixPoolGiveBack(nullptr);
    EXPECT_EQ(MixPoolTake(), taken[42]);
    EXPECT_EQ(MixPoolTake(), nullptr);
}

TEST_F(Session, PlayEndsNeverOverflow) {
    EXPECT_EQ(MixPlayEnd(100, 0, 50), 150);
    EXPECT_EQ(MixPlayEnd(100, 2, 50), 250);
    EXPECT_EQ(MixPlayEnd(100, MIX_LOOP_FOREVER, 50), MIX_NEVER);
    EXPECT_EQ(MixPlayEnd(MIX_NEVER, 0, 50), MIX_NEVER);
    EXPECT_EQ(MixPlayEnd(MIX_NEVER - 10, 3, 50), MIX_NEVER);
    // Past 32 bits, where a 32-bit count would have wrapped negative.
    EXPECT_EQ(MixPlayEnd(int64_t{3} << 31, 0xFFFE, 0x7FFFFFFF), (int64_t{3} << 31) + int64_t{0xFFFF} * 0x7FFFFFFF);
    EXPECT_EQ(MixPlayEnd(77, 5, 0), 77);
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
    CurrentSession = nullptr;
    expectError([h] { MixUseSession(h + 1); }, "Invalid Session handle");
    EXPECT_EQ(CurrentSession, nullptr);
    MixSession& s = MixUseSession(h);
    EXPECT_EQ(CurrentSession, &s);

    MixWaveTarget target = MixSessionWaveTarget(s);
    EXPECT_EQ(target.channels, 2);
    EXPECT_EQ(target.rate, 22050);
    EXPECT_TRUE(MixDeviceCanPlaySessionFormat(s));  // asked of the default device, -1
    wave.refuseFormat(true);
    EXPECT_FALSE(MixDeviceCanPlaySessionFormat(s));
    wave.refuseFormat(false);
    s.deviceId = 7;  // a device that does not exist cannot play anything
    EXPECT_FALSE(MixDeviceCanPlaySessionFormat(s));
}

}  // namespace

// Channels and plays through the public operations, heard on the virtual device.
#include "tests/sound/sound_fixture.h"

namespace {

namespace view = mixer::view;
using Channels = SoundTest;

TEST_F(Channels, TwoPlaysOnOneChannelFollowEachOtherExactly) {
    start();
    const auto a = ramp(2300, 3), b = ramp(900, 60);
    const hMixWave wa = load(a), wb = load(b);
    play(1, wa);  // three blocks mixed, a goes on past them
    play(1, wb);
    EXPECT_EQ(upTo(hearAll(), 3200), cat({a, b}));
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].channel, 1);
    EXPECT_EQ(notices[0].wave, wa);
    EXPECT_EQ(notices[1].wave, wb);
    EXPECT_EQ(view::poolFreeCount(), 100);
    EXPECT_FALSE(wave.isPaused());
}

TEST_F(Channels, APlayBehindOneMixedInFullLeavesTheQueuedBlocksAlone) {
    start();
    const auto a = ramp(1300, 3), b = ramp(900, 60);
    const hMixWave wa = load(a), wb = load(b);
    play(1, wa);  // a ends inside the three blocks already queued
    wave.clearLog();
    play(1, wb);
    // Nothing the device holds is paused, taken back or written again: b waits behind the mixed blocks.
    EXPECT_TRUE(wave.written().empty());
    EXPECT_TRUE(wave.calls().empty());
    EXPECT_EQ(upTo(hearAll(), 1536 + 900), cat({a, silence(1536 - 1300), b}));
    DispatchPostedMessages();
    EXPECT_EQ(notices.size(), 2u);
}

TEST_F(Channels, APlayQueuedBehindOneAlreadyHeardStartsAfterTheMixedBlocks) {
    start();
    const auto a = ramp(700, 3), b = ramp(400, 60);
    const hMixWave wa = load(a), wb = load(b);
    play(1, wa);  // two blocks
    const auto heardFirst = cat({std::vector<uint8_t>(wave.queuedHeader(0)->data, wave.queuedHeader(0)->data + 512),
                                 std::vector<uint8_t>(wave.queuedHeader(1)->data, wave.queuedHeader(1)->data + 512)});
    wave.complete(2);  // a has been played out; the device's messages are not handled yet
    play(1, wb);
    EXPECT_EQ(upTo(cat({heardFirst, hearAll()}), 1024 + 400), cat({a, silence(324), b}));
}

TEST_F(Channels, ReplaceWithImmediateRemixSilencesAtOnce) {
    start("Remix=1\n");
    const auto a = ramp(20000, 1), b = ramp(700, 90);
    const hMixWave wa = load(a), wb = load(b);
    play(1, wa);
    const auto heardFirst = hear(1);
    play(1, wb, MIX_PLAY_REPLACE);
    EXPECT_EQ(upTo(cat({heardFirst, hearAll()}), 512 + 700), cat({first(a, 512), b}));
    DispatchPostedMessages();
    ASSERT_EQ(notices.size(), 1u);  // the replaced play goes without a notice
    EXPECT_EQ(notices[0].wave, wb);
    EXPECT_EQ(view::poolFreeCount(), 100);
}

TEST_F(Channels, ReplaceWithDeferredRemixLetsTheQueuedBlocksPlayOut) {
    start("Remix=2\n");
    const auto a = ramp(20000, 1), b = ramp(700, 90);
    const hMixWave wa = load(a), wb = load(b);
    play(1, wa);
    const auto heardFirst = hear(1);  // 512 heard, 1536 more already mixed
    play(1, wb, MIX_PLAY_REPLACE | MIX_PLAY_NOW);
    EXPECT_EQ(upTo(cat({heardFirst, hearAll()}), 2048 + 700), cat({first(a, 2048), b}));
    DispatchPostedMessages();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].wave, wb);
}

TEST_F(Channels, PlayNowStartsWhereTheListenerIs) {
    start("Remix=1\n");
    const auto a = ramp(20000, 1), b = ramp(600, 90);
    const hMixWave wa = load(a), wb = load(b);
    play(1, wa);
    const auto heardFirst = hear(2);
    play(2, wb, MIX_PLAY_NOW);  // another channel: summed with a from position 1024 on
    const auto rest = hear(2);
    std::vector<uint8_t> expected = first(a, 2048);
    for (size_t i = 0; i < b.size(); ++i) expected[1024 + i] = uint8_t(std::clamp(a[1024 + i] + b[i] - 128, 0, 255));
    EXPECT_EQ(cat({heardFirst, rest}), expected);
}

TEST_F(Channels, DeferredPlaysWaitThenArePlacedOldestFirst) {
    start();
    const auto a = ramp(500, 5), b = ramp(400, 40), c = ramp(300, 70), d = ramp(800, 100);
    const hMixWave wa = load(a), wb = load(b), wc = load(c), wd = load(d);
    play(1, wa, MIX_PLAY_DEFER);
    play(1, wb, MIX_PLAY_DEFER);
    play(3, wd, MIX_PLAY_DEFER);
    EXPECT_TRUE(wave.written().empty());
    EXPECT_TRUE(view::channelPlays(h, 1).empty());
    play(1, wc);
    // Channel 1 holds a, b, c in that order; d sounds beside them on channel 3.
    std::vector<uint8_t> ch1 = cat({a, b, c}), expected(1200);
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = uint8_t(std::clamp(int(ch1[i]) + (i < d.size() ? d[i] - 128 : 0), 0, 255));
    EXPECT_EQ(upTo(hearAll(), 1200), expected);
    DispatchPostedMessages();
    ASSERT_EQ(notices.size(), 4u);
    EXPECT_EQ(view::poolFreeCount(), 100);
}

TEST_F(Channels, DeferredPlayOfAClosedChannelOrFreedWaveIsDropped) {
    start();
    const auto a = ramp(500, 5), b = ramp(400, 40), c = ramp(300, 70);
    const hMixWave wa = load(a), wb = load(b), wc = load(c);
    play(2, wa, MIX_PLAY_DEFER);
    play(1, wb, MIX_PLAY_DEFER);
    SoundMixCloseChannel(h, 2, 0);
    SoundMixFreeWave(h, wb);
    EXPECT_EQ(view::poolFreeCount(), 99);  // the freed wave's pending play is back already
    play(1, wc);
    EXPECT_EQ(upTo(hearAll(), 300), c);
    DispatchPostedMessages();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].wave, wc);
    EXPECT_EQ(view::poolFreeCount(), 100);
}

// The end notice waits for the play's last byte: one byte short of it, the
// play is still sounding.
TEST_F(Channels, ANoticeComesOnlyWhenTheLastByteHasBeenHeard) {
    start();
    const hMixWave wa = load(ramp(513, 7));
    play(1, wa);
    hear(1);  // 512 of its 513 bytes
    DispatchPostedMessages();
    EXPECT_TRUE(notices.empty());
    hear(1);
    DispatchPostedMessages();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].wave, wa);
}

TEST_F(Channels, LoopsPlayExtraPassesAndEndlessNeverEnds) {
    start();
    const auto a = ramp(300, 9);
    const hMixWave wa = load(a);
    play(1, wa, 0, 2);
    EXPECT_EQ(upTo(hearAll(), 900), cat({a, a, a}));
    DispatchPostedMessages();
    EXPECT_EQ(notices.size(), 1u);

    notices.clear();
    play(2, wa, 0, kEndless);
    const auto heard = hear(40);  // 20480 bytes: many passes, and still going
    ASSERT_EQ(heard.size(), 40u * 512);
    for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], a[i % a.size()]) << i;
    DispatchPostedMessages();
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(wave.queued(), 3u);
    SoundMixFlushChannel(h, 2, MIX_NO_REMIX);
    hearAll();
    DispatchPostedMessages();
    EXPECT_TRUE(notices.empty());  // dropped, not ended
    EXPECT_EQ(wave.queued(), 0u);
}

TEST_F(Channels, AnyChannelTakesAnIdleOneOrTheLeastRecentlyUsed) {
    start();
    const hMixWave w = load(ramp(5000));
    MixPlayParams p = params(7, w, MIX_PLAY_ANY_CHANNEL);
    SoundMixPlay(&p);
    // The record is packed: its fields are compared as values, never bound to a reference.
    EXPECT_EQ(int32_t(p.channel), 0);  // channel 0 open and idle
    p.channel = 7;
    SoundMixPlay(&p);
    EXPECT_EQ(int32_t(p.channel), 1);
    SoundMixPlay(&p);
    EXPECT_EQ(int32_t(p.channel), 2);
    SoundMixPlay(&p);
    EXPECT_EQ(int32_t(p.channel), 3);
    SoundMixPlay(&p);  // all four busy: the smallest stamp
    EXPECT_EQ(int32_t(p.channel), 0);
    play(0, w);        // channel 0 used again: now 1 is the oldest
    SoundMixPlay(&p);
    EXPECT_EQ(int32_t(p.channel), 1);
}

TEST_F(Channels, AnyChannelSearchStartsAtTheFirstOpenChannel) {
    start("", 0b0110);  // channels 1 and 2
    const hMixWave w = load(ramp(5000));
    MixPlayParams p = params(0, w, MIX_PLAY_ANY_CHANNEL);
    SoundMixPlay(&p);
    EXPECT_EQ(int32_t(p.channel), 1);
    SoundMixPlay(&p);
    EXPECT_EQ(int32_t(p.channel), 2);
}

TEST_F(Channels, PlayChecksInOrder) {
    expectError([] { SoundMixPlay(nullptr); }, "nil parameters pointer passed to SoundMixPlay");
    writeIni("");
    h = SoundMixInit(nullptr);
    const hMixWave w = [this] {
        const Bytes image = pcmWave(1, 11025, 8, ramp(100));
        MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
        loaded.push_back(SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY));
        return loaded.back();
    }();
    MixPlayParams p{24, h + 1, 1, w, 0, 0, 0};
    expectError([&] { SoundMixPlay(&p); }, "Invalid Session handle");
    p.session = h;
    p.wave = 0;
    expectError([&] { SoundMixPlay(&p); }, "nil wave pointer passed to SoundMixPlay!");
    p.wave = w + 1000;  // never handed out
    expectError([&] { SoundMixPlay(&p); }, "nil wave pointer passed to SoundMixPlay!");
    p.wave = w;
    expectError([&] { SoundMixPlay(&p); }, "Wave device not allocated, call SoundMixActivate(hMixSession,TRUE)");
    SoundMixActivate(h, true);
    expectError([&] { SoundMixPlay(&p); }, "You must open a channel before you can play a wave");
    SoundMixOpenChannel(h, 0, MIX_OPEN_ONE);
    const int32_t counter = view::playCounter(h);
    for (int32_t bad : {8, -1, 1 << 30}) {
        p.channel = bad;
        expectError([&] { SoundMixPlay(&p); }, "Invalid channel number");
    }
    EXPECT_EQ(view::playCounter(h), counter);  // refused before any array is touched
    p.channel = 1;
    expectError([&] { SoundMixPlay(&p); }, "The specified channel was not open");
    EXPECT_EQ(view::playCounter(h), counter + 1);  // the stamp came first
    EXPECT_EQ(view::lastUsed(h, 1), counter + 1);

    SoundMixFreeWave(h, w);
    p.channel = 0;
    expectError([&] { SoundMixPlay(&p); }, "nil wave pointer passed to SoundMixPlay!");  // stale
    expectError([&] { SoundMixFreeWave(h, w); }, "The given pointer was not valid");
    expectError([&] { SoundMixFreeWave(h, 0); }, "The given pointer was not valid");
    expectError([&] { SoundMixFreeWave(h + 1, w); }, "Invalid Session handle");
}

TEST_F(Channels, TheHundredAndFirstPlayIsRefused) {
    start();
    const auto a = ramp(50);
    const hMixWave w = load(a);
    for (int i = 0; i < 100; ++i) play(i % 4, w);
    EXPECT_EQ(view::poolFreeCount(), 0);
    expectError([&] { play(1, w); }, "Not enough memory");
    hearAll();
    EXPECT_EQ(view::poolFreeCount(), 100);
    DispatchPostedMessages();
    EXPECT_EQ(notices.size(), 100u);
}

TEST_F(Channels, OpenCloseAndFlushChecks) {
    writeIni("");
    h = SoundMixInit(nullptr);
    expectError([&] { SoundMixOpenChannel(h, 0, 3); }, "Invalid Flags");
    expectError([&] { SoundMixOpenChannel(h, 8, MIX_OPEN_ONE); }, "Invalid channel number");
    expectError([&] { SoundMixOpenChannel(h, 0, MIX_OPEN_FIRST_N); }, "Invalid number of channels");
    expectError([&] { SoundMixOpenChannel(h, 9, MIX_OPEN_FIRST_N); }, "Invalid number of channels");
    expectError([&] { SoundMixOpenChannel(h, 0, -1); }, "Invalid flag");
    expectError([&] { SoundMixOpenChannel(h + 1, 0, 0); }, "Invalid Session handle");
    EXPECT_EQ(view::openChannelCount(h), 0);

    SoundMixOpenChannel(h, 2, MIX_OPEN_ONE);
    SoundMixOpenChannel(h, 5, MIX_OPEN_ONE);
    expectError([&] { SoundMixOpenChannel(h, 5, MIX_OPEN_ONE); }, "The channel has already been opened");
    SoundMixOpenChannel(h, 0, MIX_OPEN_ALL);  // the six others, no error
    EXPECT_EQ(view::openChannelCount(h), 8);
    for (int c = 0; c < 8; ++c) EXPECT_TRUE(view::channelOpen(h, c));

    SoundMixCloseChannel(h, 0, MIX_CHANNELS_ALL);
    EXPECT_EQ(view::openChannelCount(h), 0);
    SoundMixOpenChannel(h, 3, MIX_OPEN_FIRST_N);
    EXPECT_EQ(view::openChannelCount(h), 3);
    EXPECT_FALSE(view::channelOpen(h, 3));
    expectError([&] { SoundMixFlushChannel(h, 8, 0); }, "Invalid channel number");
    expectError([&] { SoundMixCloseChannel(h, -1, 0); }, "Invalid channel number");
    expectError([&] { SoundMixFlushChannel(h, 3, 0); }, "The specified channel was not open");
    expectError([&] { SoundMixCloseChannel(h, 3, MIX_NO_REMIX); }, "The specified channel was not open");
    SoundMixFlushChannel(h, 99, MIX_CHANNELS_ALL);  // the channel is ignored with all
    SoundMixCloseChannel(h, 1, 0);
    EXPECT_EQ(view::openChannelCount(h), 2);
    EXPECT_FALSE(view::channelOpen(h, 1));
}

TEST_F(Channels, FreeingAPlayingWaveStopsItAfterTheQueuedBlocks) {
    start();
    const auto a = ramp(20000, 2), b = ramp(3000, 50);
    const hMixWave wa = load(a), wb = load(b);
    play(1, wa, MIX_PLAY_DEFER);
    play(1, wb, MIX_PLAY_DEFER);
    play(2, wb);
    const auto heardFirst = hear(1);
    SoundMixFreeWave(h, wa);
    EXPECT_EQ(view::poolFreeCount(), 98);
    EXPECT_EQ(SoundMixWaveInfo(wa), nullptr);
    const auto rest = hear(2);  // what was mixed already still plays
    EXPECT_EQ(cat({heardFirst, rest}).size(), 1536u);
    for (size_t i = 0; i < 1536; ++i)
        ASSERT_EQ(cat({heardFirst, rest})[i], uint8_t(std::clamp(a[i] + b[i] - 128, 0, 255))) << i;
    // Then b on channel 1 moves up to where a was cut: it starts after the last mixed byte.
    const auto after = hearAll();
    DispatchPostedMessages();
    for (const auto& n : notices) EXPECT_NE(n.wave, wa);
    EXPECT_EQ(notices.size(), 2u);
    EXPECT_EQ(view::poolFreeCount(), 100);
    EXPECT_FALSE(after.empty());
}

TEST_F(Channels, AfterSilenceTheNextPlayStartsAtPositionZero) {
    writeIni("[default]\nWaveBlockLen=512\n");  // the clock gives the play position
    h = SoundMixInit(nullptr);
    SoundMixActivate(h, true);
    SoundMixOpenChannel(h, 1, MIX_OPEN_ONE);
    const auto a = ramp(700, 4);
    const hMixWave wa = load(a);
    play(1, wa);
    clockNow += 400;
    hearAll();
    clockNow += 10000;  // long silence: the clock alone would say 115000 bytes on
    play(1, wa);
    EXPECT_EQ(view::block(0)->start, 0);
    EXPECT_EQ(upTo(hearAll(), 700), a);
}

TEST_F(Channels, FlushWithImmediateRemixSilencesQueuedSound) {
    start("Remix=1\n");
    const auto a = ramp(20000, 2);
    play(1, load(a));
    const auto heardFirst = hear(1);
    SoundMixFlushChannel(h, 1, 0);
    EXPECT_EQ(upTo(cat({heardFirst, hearAll()}), 512), first(a, 512));
    DispatchPostedMessages();
    EXPECT_TRUE(notices.empty());
}

TEST_F(Channels, CloseLetsQueuedBlocksPlayOut) {
    start("Remix=1\n");
    const auto a = ramp(20000, 2);
    play(1, load(a));
    SoundMixCloseChannel(h, 1, 0);
    EXPECT_EQ(upTo(hearAll(), 1536), first(a, 1536));
}

TEST_F(Channels, ARefusedWriteInARemixLeavesTheDeviceRunningAndTheQueueTrue) {
    start("Remix=1\n");
    const auto a = ramp(20000, 2), b = ramp(5000, 70);
    play(1, load(a));
    hear(1);
    wave.refuseWrite(1, MMSYSERR_NOMEM);  // the remix's second block
    expectError([&] { play(2, load(b), MIX_PLAY_NOW); }, "Failed to write block to device");
    EXPECT_FALSE(wave.isPaused());
    EXPECT_EQ(view::deviceQueueLength(), 1);
    EXPECT_EQ(wave.queued(), 1u);
    int free = 0;
    const int blocksInUse = view::settings(h)->blocksInUse;
    for (int i = 0; i < blocksInUse; ++i) free += view::block(i)->free;
    EXPECT_EQ(free, blocksInUse - 1);
    // The pump carries on from the one written block.
    wave.refuseWrite(-1, 0);
    hear(1);
    EXPECT_EQ(wave.queued(), 3u);
}

TEST_F(Channels, ARefusedWriteInARefillLeavesTheDeviceRunning) {
    start();
    wave.refuseWrite(0, MMSYSERR_NOMEM);
    expectError([&] { play(1, load(ramp(5000))); }, "Failed to write block to device");
    EXPECT_FALSE(wave.isPaused());
    EXPECT_EQ(view::deviceQueueLength(), 0);
    wave.refuseWrite(-1, 0);
    play(1, load(ramp(100)));  // the failed play stayed queued and is heard now
    EXPECT_EQ(wave.queued(), 3u);
}


// A play queued behind an endless one can never start. Being the last of a
// late batch must not drag the session's positions to "never", nor turn it
// into an endless play when the deferred remix moves it.
bool positionsAreFinite(hMixSession s) {
    return view::mixPosition(s) != view::kNever && view::clockAnchor(s) != view::kNever &&
           view::deviceOffset(s) != view::kNever && view::mixPosition(s) < (view::Position(1) << 40);
}

TEST_F(Channels, DeferredRemixNeverMovesAPlayThatCannotStart) {
    start("Remix=2\n");
    const auto a = ramp(300, 3), b = ramp(100, 60), c = ramp(64, 90);
    const hMixWave wa = load(a), wb = load(b), wc = load(c);
    play(0, wa, 0, kEndless);
    play(1, wb, MIX_PLAY_REPLACE | MIX_PLAY_DEFER);
    play(0, wc);  // behind the endless play: starts never
    SoundMixFreeWave(h, wa);
    hear(3);  // the blocks mixed before wb was placed
    EXPECT_TRUE(positionsAreFinite(h));
    // wb follows the queued blocks; wc, stuck behind what was the endless play, stays silent.
    EXPECT_EQ(hear(2), cat({b, silence(1024 - 100)}));
    DispatchPostedMessages();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].wave, wb);
    EXPECT_TRUE(positionsAreFinite(h));
}

TEST_F(Channels, ALateBatchWhoseLastPlayCannotStartRemixesFromOneThatCan) {
    for (const char* position : {"GoodWavePos=0", "GoodWavePos=1"}) {
        SCOPED_TRACE(position);
        notices.clear();
        writeIni(std::string("[default]\nWaveBlockLen=512\nWaveBlocks=3\n") + position + "\n");
        h = SoundMixInit(nullptr);
            SoundMixActivate(h, true);
        SoundMixOpenChannel(h, 0, MIX_OPEN_ALL);
        const auto a = ramp(300, 3), b = ramp(700, 60), c = ramp(64, 90);
        const hMixWave wa = load(a), wb = load(b), wc = load(c);
        play(0, wa, 0, kEndless);
        play(1, wb, MIX_PLAY_REPLACE | MIX_PLAY_DEFER);
        play(0, wc);
        EXPECT_TRUE(positionsAreFinite(h));
        clockNow += 100;
        // The endless play sounds on with wb summed in; nothing is retired but wb.
        const auto heard = hear(4);
        ASSERT_EQ(heard.size(), 4u * 512);
        EXPECT_TRUE(positionsAreFinite(h));
        DispatchPostedMessages();
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].wave, wb);
        ASSERT_FALSE(view::channelPlays(h, 0).empty());
        EXPECT_EQ(view::channelPlays(h, 0).front().wave, wa);
        size_t sounding = 0;
        for (uint8_t v : std::vector<uint8_t>(heard.end() - 512, heard.end())) sounding += v != 128;
        EXPECT_GT(sounding, 400u);  // the endless play, alone again
        SoundMixCloseSession(h);
        wave.clearLog();
    }
}

}  // namespace

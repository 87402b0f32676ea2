// Channels and plays through soundmix.h, heard on the virtual device: every
// expected stream is built from the test's own waves.
#include "mixer_test.h"

namespace {

using Channels = MixerTest;

// A play queued behind another on its channel follows its last byte, or the
// blocks already mixed, whichever is later; the blocks the device holds stay.
TEST_F(Channels, PlaysOnOneChannelJoinByteExactly) {
    struct Case { size_t lengthA, heardBeforeB, gap; };
    for (const Case& c : {Case{2300, 0, 0}, {1300, 0, 1536 - 1300}, {700, 2, 1024 - 700}}) {
        start();
        const Bytes a = ramp(c.lengthA, 3), b = ramp(900, 60);
        const hMixWave wa = load(a), wb = load(b);
        play(1, wa);
        const Bytes heard = c.heardBeforeB ? wave.writtenStream() : Bytes{};  // played, messages not yet handled
        wave.complete(c.heardBeforeB);
        wave.clearLog();
        play(1, wb);
        EXPECT_EQ(wave.calls().empty(), c.heardBeforeB == 0);
        EXPECT_EQ(upTo(hear(-1, heard), a.size() + c.gap + b.size()), a + silence(c.gap) + b) << c.lengthA;
        EXPECT_EQ(notices, (Notices{{1, wa}, {1, wb}}));
        EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
    }
}

// Immediate remix: silence at once; deferred: the queued blocks play out first.
TEST_F(Channels, ReplaceCutsThePlayingWave) {
    for (auto [remix, flags, heardOfA] :
         {std::tuple{"Remix=1\n", MIX_PLAY_REPLACE, 512}, {"Remix=2\n", MIX_PLAY_REPLACE | MIX_PLAY_NOW, 2048}}) {
        start(remix);
        const Bytes a = ramp(20000, 1), b = ramp(700, 90);
        play(1, load(a));
        const Bytes first = hear(1);
        play(1, load(b), flags);
        EXPECT_EQ(upTo(hear(-1, first), size_t(heardOfA) + 700), slice(a, 0, size_t(heardOfA)) + b) << remix;
        EXPECT_EQ(notices, (Notices{{1, loaded.back()}}));  // the replaced play goes without a notice
        EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
    }
}

TEST_F(Channels, PlayNowStartsWhereTheListenerIs) {
    start();
    const Bytes a = ramp(20000, 1), b = ramp(600, 90);
    play(1, load(a));
    const Bytes first = hear(2);
    play(2, load(b), MIX_PLAY_NOW);  // another channel: summed with a from 1024 on
    Bytes expected = slice(a, 0, 2048);
    for (size_t i = 0; i < b.size(); ++i) expected[1024 + i] = together(a[1024 + i], b[i]);
    EXPECT_EQ(hear(2, first), expected);
}

// Deferred plays wait for the next ordinary play and are placed oldest first;
// those of a channel closed or a wave freed meanwhile are dropped.
TEST_F(Channels, DeferredPlaysArePlacedOldestFirst) {
    start();
    const Bytes a = ramp(500, 5), b = ramp(400, 40), c = ramp(300, 70), d = ramp(800, 100);
    const hMixWave wa = load(a), wb = load(b), wc = load(c), wd = load(d), gone = load(ramp(99));
    for (auto [channel, w] : {std::pair{1, wa}, {2, wc}, {1, gone}, {1, wb}, {3, wd}}) play(channel, w, MIX_PLAY_DEFER);
    SoundMixCloseChannel(h, 2, 0);
    SoundMixFreeWave(h, gone);
    EXPECT_TRUE(wave.written().empty());
    EXPECT_EQ(view::pendingPlays(h).size(), 4u);
    EXPECT_EQ(view::poolFreeCount(), view::kPoolSize - 4);
    play(1, wc);
    Bytes expected = a + b + c;
    for (size_t i = 0; i < d.size(); ++i) expected[i] = together(expected[i], d[i]);
    EXPECT_EQ(upTo(hear(), expected.size()), expected);
    EXPECT_EQ(notices, (Notices{{1, wa}, {1, wb}, {3, wd}, {1, wc}}));
    EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
}

TEST_F(Channels, LoopsRepeatAndEndlessPlaysNeverEnd) {
    start();
    const Bytes a = ramp(300, 9);
    play(1, load(a), 0, 2);
    EXPECT_EQ(upTo(hear(), 900), a + a + a);
    EXPECT_EQ(notices.size(), 1u);
    play(2, loaded[0], 0, kEndless);
    EXPECT_EQ(hear(40), repeated(a, 40 * 512));
    EXPECT_EQ(notices.size(), 1u);
}

// MIX_PLAY_ANY_CHANNEL: an idle channel, else the one asked of longest ago;
// the search starts at the first open channel. -1: an ordinary play on 0.
TEST_F(Channels, AnyChannelPicksIdleOrLeastRecentlyUsed) {
    for (auto [open, picks] : {std::pair{0x0F, std::vector{0, 1, 2, 3, -1, 1}}, {0x06, {1, 2, 1}}}) {
        start("", open);
        const hMixWave w = load(ramp(5000));
        MixPlayParams p{24, h, 7, w, 0, MIX_PLAY_ANY_CHANNEL, 0};
        for (int want : picks) {
            if (want < 0) { play(0, w); continue; }
            SoundMixPlay(&p);
            EXPECT_EQ(int32_t(p.channel), want);  // packed: compared as a value
        }
    }
}

TEST_F(Channels, RefusedPlaysAndChannels) {
    EXPECT_EQ(errorOf([] { SoundMixPlay(nullptr); }), "nil parameters pointer passed to SoundMixPlay");
    h = SoundMixInit(nullptr);
    const hMixWave w = load(ramp(100));
    MixPlayParams p{24, h + 1, 0, w, 0, 0, 0};
    auto refusal = [&p] { return errorOf([&p] { SoundMixPlay(&p); }); };
    EXPECT_EQ(refusal(), "Invalid Session handle");
    p.session = h, p.wave = w + 1000;
    EXPECT_EQ(refusal(), "nil wave pointer passed to SoundMixPlay!");
    p.wave = w;
    EXPECT_EQ(refusal(), "Wave device not allocated, call SoundMixActivate(hMixSession,TRUE)");
    SoundMixActivate(h, true);
    EXPECT_EQ(refusal(), "You must open a channel before you can play a wave");
    for (auto [n, mode, message] : {std::tuple{0, 3, "Invalid Flags"}, {8, MIX_OPEN_ONE, "Invalid channel number"},
                                    {9, MIX_OPEN_FIRST_N, "Invalid number of channels"}, {0, -1, "Invalid flag"}})
        EXPECT_EQ(errorOf([&] { SoundMixOpenChannel(h, n, mode); }), message);
    SoundMixOpenChannel(h, 1, MIX_OPEN_FIRST_N);  // channel 0 alone
    EXPECT_EQ(errorOf([&] { SoundMixCloseChannel(h, -1, 0); }), "Invalid channel number");
    EXPECT_TRUE(errorOf([&] { SoundMixFlushChannel(h, 1, 0); }).ends_with(" channel was not open"));
    const int32_t counter = view::playCounter(h);
    for (int32_t bad : {8, -1, 1 << 30}) EXPECT_EQ((p.channel = bad, refusal()), "Invalid channel number");
    EXPECT_EQ(view::playCounter(h), counter);  // refused before any table is touched
    p.channel = 1;
    EXPECT_TRUE(refusal().ends_with(" channel was not open"));
    EXPECT_EQ(view::lastUsed(h, 1), counter + 1);  // stamped first
    SoundMixFreeWave(h, w);
    p.channel = 0;
    EXPECT_EQ(refusal(), "nil wave pointer passed to SoundMixPlay!");  // stale from now on
    EXPECT_EQ(errorOf([&] { SoundMixFreeWave(h, w); }), "The given pointer was not valid");
    EXPECT_EQ(errorOf([&] { SoundMixFreeWave(h + 1, w); }), "Invalid Session handle");
}

TEST_F(Channels, TheHundredAndFirstPlayIsRefused) {
    start();
    const hMixWave w = load(ramp(50));
    for (int i = 0; i < view::kPoolSize; ++i) play(i % 4, w);
    EXPECT_EQ(errorOf([&] { play(1, w); }), "Not enough memory");
    hear();
    EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
    EXPECT_EQ(notices.size(), size_t(view::kPoolSize));
}

// An endless play flushed or closed after one block heard: a flush remixes at
// once unless told not to; a close leaves the queued blocks to play out. No notices.
TEST_F(Channels, FlushAndCloseDropPlaysWithoutNotices) {
    for (auto [close, flags, heard] : {std::tuple{false, 0, 512}, {false, MIX_NO_REMIX, 2048}, {true, 0, 2048}}) {
        start();
        const Bytes a = ramp(300, 2);
        play(1, load(a), 0, kEndless);
        const Bytes first = hear(1);
        if (close) SoundMixCloseChannel(h, 1, flags);
        else SoundMixFlushChannel(h, 1, flags);
        EXPECT_EQ(upTo(hear(-1, first), size_t(heard)), repeated(a, size_t(heard))) << close << flags;
        EXPECT_TRUE(notices.empty());
        EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
    }
}

bool positionsAreFinite(hMixSession s) {
    const view::Position far = view::Position(1) << 40;
    return view::mixPosition(s) < far && view::clockAnchor(s) < far && view::deviceOffset(s) < far;
}

// A play queued behind an endless one can never start. A deferred remix must
// not move it, nor read the endless play's samples once they are freed.
TEST_F(Channels, DeferredRemixNeverMovesAPlayThatCannotStart) {
    start("Remix=2\n");
    const Bytes b = ramp(100, 60);
    const hMixWave wa = load(ramp(300, 3)), wb = load(b);
    play(0, wa, 0, kEndless);
    play(1, wb, MIX_PLAY_REPLACE | MIX_PLAY_DEFER);
    play(0, load(ramp(64, 90)));  // behind the endless play: starts never
    SoundMixFreeWave(h, wa);
    hear(3);  // the blocks mixed before wb was placed
    EXPECT_TRUE(positionsAreFinite(h));
    EXPECT_EQ(hear(2), b + silence(1024 - 100));
    EXPECT_EQ(notices, (Notices{{1, wb}}));
    EXPECT_TRUE(positionsAreFinite(h));
}

// The last of a late batch may be one that can never start: the remix starts
// from the last one that can, and the positions stay finite.
TEST_F(Channels, ALateBatchWhoseLastPlayCannotStartRemixesFromOneThatCan) {
    for (const char* position : {"GoodWavePos=0\n", "GoodWavePos=1\n"}) {
        SCOPED_TRACE(position);
        start(position, 0xFF);
        const Bytes a = ramp(300, 3);
        const hMixWave wa = load(a), wb = load(ramp(700, 60));
        play(0, wa, 0, kEndless);
        play(1, wb, MIX_PLAY_REPLACE | MIX_PLAY_DEFER);
        play(0, load(ramp(64, 90)));
        EXPECT_TRUE(positionsAreFinite(h));
        clockNow += 100;
        const Bytes heard = hear(4), aa = a + a;
        EXPECT_TRUE(positionsAreFinite(h));
        EXPECT_EQ(notices, (Notices{{1, wb}}));
        EXPECT_EQ(view::channelPlays(h, 0).at(0).wave, wa);
        EXPECT_NE(std::search(aa.begin(), aa.end(), heard.end() - 300, heard.end()), aa.end());  // a alone again
    }
}

}  // namespace

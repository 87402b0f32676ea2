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
    }
}

// An endless play cut after one block heard, by a replacing play, a flush or a close: an immediate remix cuts at
// once; a deferred one, MIX_NO_REMIX or a close lets the queued blocks play out. The play cut goes without a notice.
TEST_F(Channels, CutsAfterOneBlockHeard) {
    enum Cut { Replace, Flush, Close };
    struct Case { const char* remix; Cut cut; int32_t flags; size_t heardOfA; } cases[] = {
        {"Remix=1\n", Replace, MIX_PLAY_REPLACE, 512}, {"Remix=2\n", Replace, MIX_PLAY_REPLACE | MIX_PLAY_NOW, 2048},
        {"", Flush, 0, 512}, {"", Flush, MIX_NO_REMIX, 2048}, {"", Close, 0, 2048}};
    for (const Case& c : cases) {
        start(c.remix);
        const Bytes a = ramp(300, 2), b = c.cut == Replace ? ramp(700, 90) : Bytes{};
        play(1, load(a), 0, kEndless);
        const Bytes first = hear(1);
        if (c.cut == Replace) play(1, load(b), uint32_t(c.flags));
        else if (c.cut == Flush) SoundMixFlushChannel(h, 1, c.flags);
        else SoundMixCloseChannel(h, 1, c.flags);
        EXPECT_EQ(upTo(hear(-1, first), c.heardOfA + b.size()), repeated(a, c.heardOfA) + b) << c.cut << c.flags;
        EXPECT_EQ(notices, (c.cut == Replace ? Notices{{1, loaded.back()}} : Notices{}));
        EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
    }
}

// Deferred plays wait for the next ordinary play and are placed oldest first (a looped
// one repeats its wave); those of a channel closed or a wave freed meanwhile are dropped.
TEST_F(Channels, DeferredPlaysArePlacedOldestFirst) {
    start();
    const Bytes a = ramp(500, 5), b = ramp(400, 40), c = ramp(300, 70), d = ramp(800, 100);
    const hMixWave wa = load(a), wb = load(b), wc = load(c), wd = load(d), gone = load(ramp(99));
    for (auto [channel, w] : {std::pair{1, wa}, {2, wc}, {1, gone}, {1, wb}}) play(channel, w, MIX_PLAY_DEFER);
    play(3, wd, MIX_PLAY_DEFER, 1);
    SoundMixCloseChannel(h, 2, 0);
    SoundMixFreeWave(h, gone);
    EXPECT_TRUE(wave.written().empty());
    play(1, wc);
    Bytes expected = a + b + c + silence(400);
    const Bytes dd = d + d;
    for (size_t i = 0; i < dd.size(); ++i) expected[i] = uint8_t(std::clamp(expected[i] + dd[i] - 128, 0, 255));
    EXPECT_EQ(upTo(hear(), expected.size()), expected);
    EXPECT_EQ(notices, (Notices{{1, wa}, {1, wb}, {1, wc}, {3, wd}}));
    EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
}

// MIX_PLAY_ANY_CHANNEL: an idle channel, else the one asked of longest ago;
// the search starts at the first open channel. -1: an ordinary play on 0.
TEST_F(Channels, AnyChannelPicksIdleOrLeastRecentlyUsed) {
    for (auto [open, picks] : {std::pair{0x0F, std::vector{0, 1, 2, 3, -1, 1}}, {0x06, {1, 2, 1}}}) {
        start("", open);
        const hMixWave w = load(ramp(5000));
        for (int want : picks) {
            const bool any = want >= 0;
            MixPlayParams p{24, h, any ? 7 : 0, w, 0, any ? MIX_PLAY_ANY_CHANNEL : 0u, 0};
            SoundMixPlay(&p);
            EXPECT_EQ(int32_t(p.channel), any ? want : 0);  // packed: compared as a value
        }
    }
}

TEST_F(Channels, RefusedPlaysAndChannels) {
    EXPECT_EQ(errorOf([] { SoundMixPlay(nullptr); }), "nil parameters pointer passed to SoundMixPlay");
    h = SoundMixInit(nullptr);
    const hMixWave w = load(ramp(100));
    MixPlayParams p{24, h + 1, 0, w, 0, 0, 0};
    auto refusal = [&p](int32_t channel = 0) {
        p.channel = channel;
        return errorOf([&p] { SoundMixPlay(&p); });
    };
    EXPECT_EQ(refusal(), "Invalid Session handle");
    p.session = h;
    p.wave = w + 1000;
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
    for (int32_t bad : {8, -1, 1 << 30}) EXPECT_EQ(refusal(bad), "Invalid channel number");
    EXPECT_TRUE(refusal(1).ends_with(" channel was not open"));
    SoundMixFreeWave(h, w);
    EXPECT_EQ(refusal(), "nil wave pointer passed to SoundMixPlay!");  // stale from now on
    EXPECT_EQ(errorOf([&] { SoundMixFreeWave(h, w); }), "The given pointer was not valid");
}

TEST_F(Channels, TheHundredAndFirstPlayIsRefused) {
    start();
    const hMixWave w = load(ramp(50));
    for (int i = 0; i < view::kPoolSize; ++i) play(i % 4, w);
    EXPECT_EQ(errorOf([&] { play(1, w); }), "Not enough memory");
    hear();
    EXPECT_EQ(notices.size(), size_t(view::kPoolSize));
}

bool positionsAreFinite(hMixSession s) {
    const view::Position far = view::Position(1) << 40;
    return view::mixPosition(s) < far && view::clockAnchor(s) < far && view::deviceOffset(s) < far;
}

// A play queued behind an endless one can never start. A deferred remix must not move it,
// nor read the endless play's samples once freed; the last of a late batch may be such a
// play, and the remix then starts from the last one that can. The positions stay finite.
TEST_F(Channels, APlayThatCanNeverStartIsNeverMoved) {
    for (const char* profile : {"Remix=2\n", "GoodWavePos=0\n", "GoodWavePos=1\n"}) {
        SCOPED_TRACE(profile);
        const bool deferred = profile[0] == 'R';
        start(profile, 0xFF);
        const Bytes a = ramp(300, 3), b = ramp(deferred ? 100 : 700, 60);
        const hMixWave wa = load(a), wb = load(b);
        play(0, wa, 0, kEndless);
        play(1, wb, MIX_PLAY_REPLACE | MIX_PLAY_DEFER);
        play(0, load(ramp(64, 90)));  // behind the endless play: starts never
        EXPECT_TRUE(positionsAreFinite(h));
        if (deferred) {
            SoundMixFreeWave(h, wa);
            hear(3);  // the blocks mixed before wb was placed
            EXPECT_EQ(hear(2), b + silence(1024 - 100));
        } else {
            clockNow += 100;
            const Bytes heard = hear(4), aa = a + a;
            EXPECT_EQ(view::channelPlays(h, 0).at(0).wave, wa);
            EXPECT_NE(std::search(aa.begin(), aa.end(), heard.end() - 300, heard.end()), aa.end());  // a alone again
        }
        EXPECT_TRUE(positionsAreFinite(h));
        EXPECT_EQ(notices, (Notices{{1, wb}}));
    }
}

}  // namespace

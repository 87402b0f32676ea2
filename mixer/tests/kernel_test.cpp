// The summing kernel and the cutting of blocks into stretches.
#include <algorithm>
#include <numeric>
#include <random>

#include "mixer_fixture.h"

namespace {

std::vector<uint8_t> mix(std::vector<std::vector<uint8_t>> sources, bool reference = false) {
    std::vector<const uint8_t*> ptrs;
    for (auto& s : sources) ptrs.push_back(s.data());
    std::vector<uint8_t> out(sources[0].size());
    auto n = static_cast<uint16_t>(out.size());
    if (reference) mixer::mixSamplesReference(out.data(), ptrs.data(), static_cast<int>(ptrs.size()), n);
    else mixer::mixSamples(out.data(), ptrs.data(), static_cast<int>(ptrs.size()), n);
    return out;
}

std::vector<uint8_t> bytes(std::initializer_list<int> v) { return std::vector<uint8_t>(v.begin(), v.end()); }

TEST(MixSamples, SumsAroundSilenceAndClipsOnce) {
    EXPECT_EQ(mix({bytes({200, 50, 100, 128, 128, 0}), bytes({200, 50, 180, 77, 255, 255})}),
              bytes({255, 0, 152, 77, 255, 127}));
    EXPECT_EQ(mix({bytes({255}), bytes({255}), bytes({0}), bytes({0})}), bytes({126}));
    EXPECT_EQ(mix({bytes({9, 250, 128})}), bytes({9, 250, 128}));
    // Eight loud sources at the limits.
    EXPECT_EQ(mix(std::vector<std::vector<uint8_t>>(8, bytes({255, 0, 129}))), bytes({255, 0, 136}));
}

TEST(MixSamples, OrderOfSourcesDoesNotMatter) {
    // A clamp after each add would give 0 for one order and 126 for another.
    std::vector<std::vector<uint8_t>> s = {bytes({255, 10}), bytes({255, 250}), bytes({0, 30}), bytes({0, 250})};
    std::vector<int> order = {0, 1, 2, 3};
    auto first = mix(s);
    do {
        std::vector<std::vector<uint8_t>> permuted;
        for (int i : order) permuted.push_back(s[static_cast<size_t>(i)]);
        EXPECT_EQ(mix(permuted), first);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(MixSamples, EveryVectorLoopAgreesWithReference) {
  for (mixer::VectorLoop loop : {mixer::VectorLoop::Baseline, mixer::VectorLoop::Widest}) {
    SCOPED_TRACE(loop == mixer::VectorLoop::Widest ? "widest" : "baseline");
    std::mt19937 rng(7);
    std::vector<uint8_t> pool(8 * 4200);
    for (auto& b : pool) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> fast(4200), slow(4200);
    for (int k = 1; k <= 8; ++k)
        for (unsigned n : {0u, 1u, 3u, 15u, 16u, 17u, 31u, 32u, 33u, 47u, 63u, 100u, 1023u, 4096u}) {
            const uint8_t* src[8];
            for (int j = 0; j < k; ++j) src[j] = pool.data() + j * 4200 + (rng() % 64);  // unaligned too
            size_t at = rng() % 64;
            mixer::mixSamples(fast.data() + at, src, k, static_cast<uint16_t>(n), loop);
            mixer::mixSamplesReference(slow.data() + at, src, k, static_cast<uint16_t>(n));
            ASSERT_TRUE(std::equal(fast.begin() + at, fast.begin() + at + n, slow.begin() + at)) << k << " " << n;
        }
  }
}

class Fill : public MixerTest {
protected:
    mixer::Session* s = nullptr;
    mixer::Block* block = nullptr;
    std::vector<uint8_t> out;

    void SetUp() override {
        MixerTest::SetUp();
        writeIni("[default]\nWaveBlockLen=512\n");
        hMixSession h = SoundMixInit(nullptr);
        SoundMixActivate(h, true);
        s = &session(h);
        block = takeFreeBlock(*s);
        ASSERT_NE(block, nullptr);
    }

    bool fill() {
        bool produced = fillBlock(*s, block, mixer::AfterFill::Keep);
        out.assign(block->data, block->data + s->blockLength);
        return produced;
    }

    static std::vector<uint8_t> silence(size_t n) { return std::vector<uint8_t>(n, 128); }
    static std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> all;
        for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }
    static std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
        return std::vector<uint8_t>(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(from + n));
    }
};

TEST_F(Fill, NothingSoundingProducesNothing) {
    s->mixPosition = 1000;
    EXPECT_FALSE(fill());
    EXPECT_EQ(s->mixPosition, 1000);
    EXPECT_FALSE(fillBlock(*s, nullptr, mixer::AfterFill::Write));
    EXPECT_TRUE(fillBlock(*s, block, mixer::AfterFill::Write) == false && block->free);
}

TEST_F(Fill, PlayStartingMidBlockIsACopyWithSilenceAround) {
    const auto& w = keep(ramp(300));
    queuePlay(*s, 3, w, 100);
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({silence(100), w, silence(112)}));
    EXPECT_EQ(block->start, 0);
    EXPECT_EQ(s->mixPosition, 512);
}

TEST_F(Fill, PlaysOneByteShorterOrLongerThanABlock) {
    const auto& shorter = keep(ramp(511, 3));
    queuePlay(*s, 0, shorter, 0);
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({shorter, silence(1)}));
    EXPECT_FALSE(fill());  // it has ended: nothing left to produce

    const auto& longer = keep(ramp(513, 5));
    queuePlay(*s, 1, longer, 512);
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, slice(longer, 0, 512));
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({slice(longer, 512, 1), silence(511)}));
}

TEST_F(Fill, LoopsWrapBackToTheFirstByte) {
    const auto& w = keep(ramp(200, 9));
    queuePlay(*s, 0, w, 10, 1);
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({silence(10), w, w, silence(102)}));

    s->mixPosition = 0;
    s->channelHeads[0]->end = mixer::playEnd(10, mixer::kLoopForever, 200);
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({silence(10), w, w, slice(w, 0, 102)}));
    ASSERT_TRUE(fill());  // position 512 is offset 102 of the third pass
    EXPECT_EQ(slice(out, 0, 98), slice(w, 102, 98));
    EXPECT_EQ(slice(out, 98, 200), w);
}

TEST_F(Fill, BackToBackPlaysOnOneChannelJoinSeamlessly) {
    const auto& a = keep(ramp(150, 11));
    const auto& b = keep(ramp(170, 90));
    mixer::PlayEntry* first = queuePlay(*s, 2, a, 40);
    queuePlay(*s, 2, b, first->end);
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({silence(40), a, b, silence(512 - 360)}));
}

TEST_F(Fill, ChannelsSumWithinTheirOverlap) {
    std::vector<uint8_t> a(100, 200), b(100, 180);
    const auto& wa = keep(a);
    const auto& wb = keep(b);
    queuePlay(*s, 0, wa, 0);
    queuePlay(*s, 7, wb, 50);
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({std::vector<uint8_t>(50, 200), std::vector<uint8_t>(50, 252), std::vector<uint8_t>(50, 180),
                        silence(362)}));
}

TEST_F(Fill, EndedButUnretiredPlaysAreSilent) {
    const auto& old = keep(std::vector<uint8_t>(100, 30));
    const auto& now = keep(std::vector<uint8_t>(100, 140));
    queuePlay(*s, 0, old, 0);
    queuePlay(*s, 1, now, 600);
    s->mixPosition = 512;  // the first play has ended, nobody retired it
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({silence(88), std::vector<uint8_t>(100, 140), silence(324)}));
    EXPECT_EQ(s->channelHeads[0]->length, 100);
}

TEST_F(Fill, ClosedChannelsAreNotHeard) {
    const auto& w = keep(std::vector<uint8_t>(512, 1));
    queuePlay(*s, 4, w, 0);
    mixer::PlayEntry* queue = s->channelHeads[4];
    s->channelHeads[4] = pool().closedChannel();
    EXPECT_FALSE(fill());
    s->channelHeads[4] = queue;
    EXPECT_TRUE(fill());
}

TEST_F(Fill, PositionsBeyondThirtyTwoBits) {
    const auto& w = keep(ramp(300, 17));
    mixer::Position far = (mixer::Position{1} << 33) + 1000;
    s->mixPosition = far - 100;
    queuePlay(*s, 0, w, far, mixer::kLoopForever);
    ASSERT_TRUE(fill());
    EXPECT_EQ(out, cat({silence(100), w, slice(w, 0, 112)}));
    EXPECT_EQ(s->mixPosition, far + 412);
}

}  // namespace

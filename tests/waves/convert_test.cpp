#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "mixer/convert.h"
#include "mixer/soundmix.h"
#include "wave_image.h"

namespace {

uint8_t* copyOf(const Bytes& b) {
    auto* p = static_cast<uint8_t*>(std::malloc(b.size()));
    std::memcpy(p, b.data(), b.size());
    return p;
}

// Runs one conversion on a malloc'd copy and returns the result as bytes.
Bytes convert(mixer::SampleFormat to, mixer::SampleFormat from, const Bytes& in) {
    int32_t length = int32_t(in.size());
    uint8_t* out = mixer::convertSamples(to, from, copyOf(in), length);
    Bytes result(out, out + length);
    std::free(out);
    return result;
}

std::string convertError(mixer::SampleFormat to, mixer::SampleFormat from, const Bytes& in) {
    int32_t length = int32_t(in.size());
    try {
        std::free(mixer::convertSamples(to, from, copyOf(in), length));
    } catch (const ESoundMixError& e) {
        return e.message();
    }
    return "no error";
}

const mixer::SampleFormat kMono11{1, 11025, 8};

}  // namespace

TEST(Convert, SixteenBitSamplesKeepTheHighByteWithItsTopBitInverted) {
    EXPECT_EQ(convert(kMono11, {1, 11025, 16}, samples16({0, -1, -32768, 32767, 256, -257})),
              (Bytes{128, 127, 0, 255, 129, 126}));
    // A trailing odd byte is dropped.
    EXPECT_EQ(convert(kMono11, {1, 11025, 16}, Bytes{0x00, 0x40, 0x7f}), (Bytes{0xc0}));
}

TEST(Convert, ChannelsAreAveragedDownAndDuplicatedUp) {
    EXPECT_EQ(convert(kMono11, {2, 11025, 8}, {255, 0, 10, 13, 200, 201}), (Bytes{127, 11, 200}));
    EXPECT_EQ(convert({2, 11025, 8}, kMono11, {7, 250}), (Bytes{7, 7, 250, 250}));
    // An unpaired trailing byte is no frame.
    EXPECT_EQ(convert(kMono11, {2, 11025, 8}, {100, 102, 9}), (Bytes{101}));
}

TEST(Convert, MoreThanTwoChannelsKeepTheFirstTwo) {
    const Bytes quad{10, 20, 250, 250, 30, 40, 0, 0, 99};
    EXPECT_EQ(convert(kMono11, {4, 11025, 8}, quad), (Bytes{15, 35}));
    EXPECT_EQ(convert({2, 11025, 8}, {4, 11025, 8}, quad), (Bytes{10, 20, 30, 40}));
    EXPECT_EQ(convert({2, 11025, 8}, {3, 11025, 8}, {1, 2, 3, 4, 5, 6, 7}), (Bytes{1, 2, 4, 5}));
}

TEST(Convert, RateUpStepsLinearlyAndRepeatsTheLastFrame) {
    EXPECT_EQ(convert({1, 22050, 8}, kMono11, {0, 100}), (Bytes{0, 50, 100, 100}));
    // 3 / 4 truncates to a step of 0.
    EXPECT_EQ(convert({1, 44100, 8}, kMono11, {10, 13}), (Bytes{10, 10, 10, 10, 13, 13, 13, 13}));
    // Steps downwards truncate toward zero too: (0 - 101) / 4 = -25.
    EXPECT_EQ(convert({1, 44100, 8}, kMono11, {101, 0}), (Bytes{101, 76, 51, 26, 0, 0, 0, 0}));
    // Stereo frames step per channel.
    EXPECT_EQ(convert({2, 22050, 8}, {2, 11025, 8}, {0, 200, 100, 100}), (Bytes{0, 200, 50, 150, 100, 100, 100, 100}));
}

TEST(Convert, RateDownAveragesAroundSilenceAndCopiesTheLastFrame) {
    // (0-128 + 1-128) / 2 = -127 (toward zero) → 1; (255-128 + 254-128) / 2 = 126 → 254.
    EXPECT_EQ(convert(kMono11, {1, 22050, 8}, {0, 1, 255, 254, 40, 90}), (Bytes{1, 254, 40}));
    // 48000 → 11025 rounds to k = 4; 32000 → k = 3; 8000 → k = 1 keeps the data as it is.
    EXPECT_EQ(convert(kMono11, {1, 48000, 8}, {128, 132, 136, 140, 7, 8, 9, 10}), (Bytes{134, 7}));
    EXPECT_EQ(convert(kMono11, {1, 32000, 8}, {100, 110, 120, 5, 6, 7, 8}), (Bytes{110, 5}));
    EXPECT_EQ(convert(kMono11, {1, 8000, 8}, {1, 2, 3}), (Bytes{1, 2, 3}));
}

TEST(Convert, SixteenBitStereo44100IntoMono11025TruncatesAtEveryStep) {
    Bytes in(4 * 37 + 3, 0);  // 151 bytes: 75 samples, 37 frames, 9 output frames
    EXPECT_EQ(convert(kMono11, {2, 44100, 16}, in).size(), size_t(((151 / 2) / 2) / 4));
    EXPECT_EQ(convert(kMono11, {2, 44100, 16}, in), Bytes(9, 128));
}

TEST(Convert, TheSameFormatIsHandedBackUntouched) {
    const Bytes in{1, 2, 3};
    int32_t length = 3;
    uint8_t* buffer = copyOf(in);
    EXPECT_EQ(mixer::convertSamples({2, 22050, 8}, {2, 22050, 8}, buffer, length), buffer);
    EXPECT_EQ(length, 3);
    std::free(buffer);
}

TEST(Convert, RefusesWhatItCannotConvert) {
    EXPECT_EQ(convertError(kMono11, {1, 11025, 24}, {1, 2, 3}), "File format not supported");
    EXPECT_EQ(convertError(kMono11, {1, 11025, 0}, {1, 2, 3}), "File format not supported");
    const std::string divide = "0 \x82\xc9\x82\xe6\x82\xe9\x8f\x9c\x8e\x5a";  // 0 による除算
    EXPECT_EQ(mixer::divisionByZeroMessage(), divide);
    EXPECT_EQ(convertError(kMono11, {0, 11025, 8}, {1, 2}), divide);
    EXPECT_EQ(convertError(kMono11, {0, 22050, 16}, {1, 2}), divide);
    EXPECT_EQ(convertError(kMono11, {1, 0, 8}, {1, 2}), divide);
    EXPECT_EQ(convertError({2, 44100, 8}, {2, 0, 16}, {1, 2, 3, 4}), divide);
}

TEST(Convert, EmptyOrOversizedResultsAreOutOfMemory) {
    const std::string oom = mixer::kOutOfMemory;
    EXPECT_NE(oom.find("data.  Try"), std::string::npos);
    EXPECT_EQ(convertError(kMono11, {1, 11025, 16}, {1}), oom);           // no whole 16-bit sample
    EXPECT_EQ(convertError({2, 11025, 8}, {3, 11025, 8}, {1, 2}), oom);   // no whole frame
    EXPECT_EQ(convertError(kMono11, {1, 44100, 8}, {1, 2, 3}), oom);      // fewer frames than the factor
    // A rate of 1 into 44100 multiplies by 44100: 25000 stereo frames would pass 2^31 bytes.
    EXPECT_EQ(convertError({2, 44100, 8}, {2, 1, 8}, Bytes(2 * 25000, 128)), oom);
}

// The shipped cg/ directory: every picture and sound loads, has the format it
// should, and the faces really differ.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "art/art.h"

namespace {

std::vector<uint8_t> readFile(const std::string& name) {
    std::ifstream in(std::string(PIKO_CG_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

// Checks the file's headers and decodes it with Qt, as the window will.
QImage checkBmp(const std::string& name, int width, int height) {
    const std::vector<uint8_t> b = readFile(name);
    EXPECT_GT(b.size(), 1078u) << name;
    if (b.size() <= 1078) return {};
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), b.size()) << name;
    EXPECT_EQ(le32(b, 14), 40u);
    EXPECT_EQ(int32_t(le32(b, 18)), width);
    EXPECT_EQ(int32_t(le32(b, 22)), height);
    EXPECT_EQ(le16(b, 28), 8) << name;
    EXPECT_EQ(le32(b, 30), 0u);  // uncompressed
    EXPECT_EQ(le32(b, 10), 14u + 40u + 256u * 4u);
    QImage image;
    EXPECT_TRUE(image.loadFromData(b.data(), int(b.size()), "BMP")) << name;
    EXPECT_EQ(image.width(), width);
    EXPECT_EQ(image.height(), height);
    EXPECT_EQ(image.format(), QImage::Format_Indexed8) << name;
    EXPECT_GE(image.colorCount(), 16) << name;
    return image;
}

QImage frame(const QImage& strip, int n) { return strip.copy(n * 100, 0, 100, 100); }

int differingPixels(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

}  // namespace

TEST(CgPictures, FaceStripsAreTwoDistinctFramesAndDifferFromEachOther) {
    std::vector<QImage> firstFrames;
    for (const char* name : art::kFaceNames) {
        const QImage strip = checkBmp(std::string(name) + ".bmp", 200, 100);
        ASSERT_FALSE(strip.isNull()) << name;
        // Frame 1 is a blink or a breath: visibly different, but the same creature.
        const int changed = differingPixels(frame(strip, 0), frame(strip, 1));
        EXPECT_GT(changed, 20) << name;
        EXPECT_LT(changed, 100 * 100 / 3) << name;
        firstFrames.push_back(frame(strip, 0));
    }
    for (size_t i = 0; i < firstFrames.size(); ++i)
        for (size_t j = i + 1; j < firstFrames.size(); ++j)
            EXPECT_GT(differingPixels(firstFrames[i], firstFrames[j]), 60)
                << art::kFaceNames[i] << " looks like " << art::kFaceNames[j];
}

TEST(CgPictures, TheRoomAndTheStartStrip) {
    const QImage door = checkBmp("door.bmp", 100, 100);
    ASSERT_FALSE(door.isNull());
    std::set<QRgb> colours;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) colours.insert(door.pixel(x, y));
    EXPECT_GE(colours.size(), 6u);  // a drawn room, not a flat fill

    const art::Indexed8 start = art::startStrip();
    ASSERT_EQ(start.width, 200);
    ASSERT_EQ(start.height, 100);
    int changed = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) changed += start.pixels[size_t(y) * 200 + size_t(x)] != start.pixels[size_t(y) * 200 + size_t(x) + 100];
    EXPECT_GT(changed, 10);  // the eyes close
}

TEST(CgPictures, TheFilesAreWhatTheGeneratorDraws) {
    // cg/ is rebuilt by the build; a stale or hand-made file would show here.
    for (int c = 0; c < 11; ++c)
        EXPECT_EQ(readFile(std::string(art::kFaceNames[size_t(c)]) + ".bmp"), art::encodeBmp(art::faceStrip(c)));
    EXPECT_EQ(readFile("door.bmp"), art::encodeBmp(art::room()));
    for (int n = 1; n <= 7; ++n) EXPECT_EQ(readFile(std::to_string(n) + ".wav"), art::encodeWav(art::effect(n)));
}

TEST(CgSounds, EveryEffectIsAShortCleanPcmWaveInItsOwnFormat) {
    struct Format {
        int channels, rate, bits;
    };
    // One format each, so that loading them exercises every conversion.
    const Format formats[7] = {{1, 11025, 8},  {1, 22050, 16}, {2, 44100, 16}, {2, 22050, 8},
                               {1, 22050, 8},  {1, 11025, 16}, {2, 22050, 16}};
    for (int n = 1; n <= 7; ++n) {
        SCOPED_TRACE(n);
        const std::vector<uint8_t> b = readFile(std::to_string(n) + ".wav");
        ASSERT_GE(b.size(), 44u);
        EXPECT_EQ(std::memcmp(b.data(), "RIFF", 4), 0);
        EXPECT_EQ(le32(b, 4), b.size() - 8);
        EXPECT_EQ(std::memcmp(b.data() + 8, "WAVE", 4), 0);
        EXPECT_EQ(std::memcmp(b.data() + 12, "fmt ", 4), 0);
        EXPECT_EQ(le32(b, 16), 16u);
        EXPECT_EQ(le16(b, 20), 1);  // PCM
        const Format& f = formats[n - 1];
        EXPECT_EQ(le16(b, 22), f.channels);
        EXPECT_EQ(le32(b, 24), uint32_t(f.rate));
        const uint32_t align = uint32_t(f.channels * f.bits / 8);
        EXPECT_EQ(le32(b, 28), uint32_t(f.rate) * align);
        EXPECT_EQ(le16(b, 32), align);
        EXPECT_EQ(le16(b, 34), f.bits);
        EXPECT_EQ(std::memcmp(b.data() + 36, "data", 4), 0);
        const uint32_t size = le32(b, 40);
        ASSERT_LE(44 + size, b.size());
        EXPECT_EQ(size % align, 0u);
        const double seconds = double(size) / (f.rate * align);
        EXPECT_GT(seconds, 0.1);
        EXPECT_LT(seconds, 1.5);

        // Samples as -1..1: never at full scale (no clipping), silent at both ends (no clicks).
        std::vector<double> s;
        for (uint32_t i = 0; i < size; i += uint32_t(f.bits / 8))
            s.push_back(f.bits == 8 ? (b[44 + i] - 128) / 128.0 : int16_t(le16(b, 44 + i)) / 32768.0);
        double peak = 0;
        for (double v : s) peak = std::max(peak, std::abs(v));
        EXPECT_GT(peak, 0.3);
        EXPECT_LT(peak, 0.95);
        for (int c = 0; c < f.channels; ++c) {
            EXPECT_LT(std::abs(s[size_t(c)]), 0.02);
            EXPECT_LT(std::abs(s[s.size() - size_t(f.channels) + size_t(c)]), 0.02);
        }
    }
}

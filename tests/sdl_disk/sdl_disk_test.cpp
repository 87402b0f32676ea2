// Mixed tones played through SDL's disk driver: the file must hold exactly
// the mixed bytes (SDL pads the stream with silence before and after).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "mixer/mixer_internal.h"
#include "platform/profile_ini.h"

namespace {

const std::filesystem::path kDir = std::filesystem::temp_directory_path() / ("sdl-disk-test-" + std::to_string(getpid()));
const std::filesystem::path kStream = kDir / "stream.u8";

const bool kDiskDriver = [] {
    std::filesystem::create_directories(kDir);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", kStream.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    return true;
}();

std::vector<uint8_t> tone(size_t n, double hz, double amplitude) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(std::lround(128 + amplitude * std::sin(2 * M_PI * hz * double(i + 1) / 22050)));
    return v;
}

TEST(SdlDisk, FileHoldsExactlyTheMixedBytes) {
    std::ofstream(kDir / "SOUNDMIX.INI") << "[default]\nWaveBlocks=6\nWaveBlockLen=4096\nSamplesPerSec=22\n";
    SetProfileDirectory(kDir.string());

    hMixSession h = SoundMixInit(nullptr);
    MixSession& s = *MixFindSession(h);
    ASSERT_EQ(s.format.samplesPerSec, 22050u);
    SoundMixActivate(h, true);

    // Two tones that overlap, loud enough together to clip.
    const std::vector<uint8_t> a = tone(15000, 440, 100), b = tone(9000, 660, 90);
    const MixPosition bStart = 6001;
    auto place = [&s](int c, const std::vector<uint8_t>& w, MixPosition start) {
        s.channelHeads[c] = nullptr;
        ++s.openChannels;
        MixPlayEntry* e = MixPoolTake();
        e->data = w.data();
        e->length = int32_t(w.size());
        e->start = start;
        e->end = MixPlayEnd(start, 0, e->length);
        s.channelHeads[c] = e;
    };
    place(0, a, 0);
    place(3, b, bStart);
    MixRefillPaused(s);  // every block is queued before the device starts

    std::vector<uint8_t> expected(4 * 4096, 128);
    for (size_t i = 0; i < expected.size(); ++i) {
        int v = 128;
        if (i < a.size()) v += a[i] - 128;
        if (i >= size_t(bStart) && i < size_t(bStart) + b.size()) v += b[i - size_t(bStart)] - 128;
        expected[i] = uint8_t(std::clamp(v, 0, 255));
    }

    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((!MixQueueEmpty() || s.channelHeads[0] || s.channelHeads[3]) && std::chrono::steady_clock::now() < until) {
        DispatchPostedMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(MixQueueEmpty());
    EXPECT_EQ(PlayPosition(s, 1), MixPosition(expected.size()));
    SoundMixActivate(h, false);
    SoundMixCloseSession(h);

    std::ifstream in(kStream, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(kDir);
    auto first = std::find_if(file.begin(), file.end(), [](uint8_t x) { return x != 128; });
    ASSERT_NE(first, file.end());
    size_t at = size_t(first - file.begin());
    ASSERT_GE(file.size() - at, expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + long(at)));
    EXPECT_TRUE(std::all_of(file.begin() + long(at + expected.size()), file.end(), [](uint8_t x) { return x == 128; }));
}

}  // namespace

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

#include "mixer/views.h"
#include "platform/callback_window.h"
#include "platform/profile_ini.h"
#include "tests/support/wave_image.h"

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
    ASSERT_EQ(mixer::view::settings(h)->format.samplesPerSec, 22050u);
    SoundMixActivate(h, true);
    SoundMixOpenChannel(h, 0, MIX_OPEN_ONE);
    SoundMixOpenChannel(h, 3, MIX_OPEN_ONE);

    // Two tones that overlap, loud enough together to clip.
    const std::vector<uint8_t> a = tone(15000, 440, 100), b = tone(9000, 660, 90);
    const size_t bStart = 6001;
    // b starts bStart bytes in: its lead-in of silence adds nothing to the mix.
    std::vector<uint8_t> lateB(bStart, 128);
    lateB.insert(lateB.end(), b.begin(), b.end());
    auto open = [h](const std::vector<uint8_t>& samples) {
        const std::vector<uint8_t> image = pcmWave(1, 22050, 8, samples);
        MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
        return SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY);
    };
    const hMixWave wa = open(a), wb = open(lateB);
    // The second play places both at position 0 and queues every block
    // before the device starts.
    MixPlayParams pa{24, h, 0, wa, 0, MIX_PLAY_DEFER, 0}, pb{24, h, 3, wb, 0, 0, 0};
    SoundMixPlay(&pa);
    SoundMixPlay(&pb);

    std::vector<uint8_t> expected(4 * 4096, 128);
    for (size_t i = 0; i < expected.size(); ++i) {
        int v = 128;
        if (i < a.size()) v += a[i] - 128;
        if (i >= size_t(bStart) && i < size_t(bStart) + b.size()) v += b[i - size_t(bStart)] - 128;
        expected[i] = uint8_t(std::clamp(v, 0, 255));
    }

    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto sounding = [h] {
        return mixer::view::deviceQueueLength() > 0 || !mixer::view::channelPlays(h, 0).empty() ||
               !mixer::view::channelPlays(h, 3).empty();
    };
    while (sounding() && std::chrono::steady_clock::now() < until) {
        DispatchPostedMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(mixer::view::deviceQueueLength(), 0);
    EXPECT_EQ(mixer::view::heardPosition(h), mixer::view::Position(expected.size()));
    SoundMixFreeWave(h, wa);
    SoundMixFreeWave(h, wb);
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

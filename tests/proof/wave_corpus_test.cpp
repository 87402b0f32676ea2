#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/wave_entry.h"
#include "mixer/views.h"
#include "mixer/wave_load.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

// Every kept fuzzer input goes through the fuzzer's own entry again; a regression aborts.
TEST(WaveCorpus, EveryKeptInputLoadsOrFailsCleanly) {
    size_t files = 0;
    int loads = 0;
    for (const auto& e : fs::directory_iterator(PIKO_WAVE_CORPUS)) {
        if (!e.is_regular_file()) continue;
        const auto bytes = readAll(e.path());
        SCOPED_TRACE(e.path().filename().string());
        loads += FeedWaveImage(bytes.data(), bytes.size());
        EXPECT_EQ(mixer::view::liveWaveCount(), 0u);
        ++files;
    }
    EXPECT_GE(files, 10u);
    EXPECT_GT(loads, 0);  // the corpus holds loadable waves, not only rejects
}

// The sounds the program ships load into a session of every format.
TEST(CgWaves, EverySoundLoadsIntoEverySessionFormat) {
    for (int n = 1; n <= 7; ++n) {
        const std::string path = std::string(PIKO_CG_DIR) + "/" + std::to_string(n) + ".wav";
        SCOPED_TRACE(path);
        for (int channels : {1, 2})
            for (int rate : {11025, 22050, 44100}) {
                hMixWave h = 0;
                ASSERT_NO_THROW(h = mixer::loadWave({channels, rate}, path.c_str(), 0, MIX_WAVE_FILE));
                const MixWave* w = mixer::lookupWave(h);
                ASSERT_NE(w, nullptr);
                EXPECT_GT(w->header.bufferLength, 0u);
                EXPECT_EQ(w->header.bufferLength % unsigned(channels), 0u);
                mixer::releaseWave(h);
            }
    }
    EXPECT_EQ(mixer::view::liveWaveCount(), 0u);
}

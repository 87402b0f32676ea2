// Every input the fuzzers kept (fuzz/corpus/<name>/) through their entries
// again: a broken property aborts, a stray read stops the sanitizer build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/entries.h"
#include "mixer/views.h"

TEST(FuzzCorpus, EveryKeptInputStillHoldsItsFuzzersProperties) {
    for (const auto& [name, feed] : {std::pair{"ini", &FeedSoundMixIni}, {"ops", &FeedMixerOps}, {"wave", &FeedWaveImage},
                                     {"mydat", &FeedMyDat}}) {
        size_t files = 0, through = 0;
        for (const auto& e : std::filesystem::directory_iterator(std::string(PIKO_SOURCE_DIR) + "/fuzz/corpus/" + name)) {
            std::ifstream in(e.path(), std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            SCOPED_TRACE(e.path().string());
            through += size_t(feed(bytes.data(), bytes.size()));
            ++files;
        }
        // A corpus that went missing, or no longer reaches past the first refusal, proves nothing.
        EXPECT_GE(files, 10u) << name;
        EXPECT_GT(through, files / 10) << name;
        EXPECT_EQ(mixer::view::sessionHandle(), 0u);
        EXPECT_EQ(mixer::view::liveWaveCount(), 0u);
    }
}

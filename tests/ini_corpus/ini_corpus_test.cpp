#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/ini_entry.h"
#include "mixer/views.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

IniFeedResult feed(const std::string& text) {
    return FeedSoundMixIni(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace

// Every kept fuzzer input goes through the fuzzer's own entry again; a regression aborts.
TEST(IniCorpus, EveryKeptInputGivesOnlyDefaultsClampsOrValues) {
    size_t files = 0;
    IniFeedResult total;
    for (const auto& e : fs::directory_iterator(PIKO_INI_CORPUS)) {
        if (!e.is_regular_file()) continue;
        const auto bytes = readAll(e.path());
        SCOPED_TRACE(e.path().filename().string());
        const IniFeedResult r = FeedSoundMixIni(bytes.data(), bytes.size());
        total.valuesFound += r.valuesFound;
        total.sessions += r.sessions;
        total.refusals += r.refusals;
        ++files;
    }
    EXPECT_GE(files, 8u);
    // The corpus reaches values, opened sessions and refusals, not only defaults.
    EXPECT_GT(total.valuesFound, 0);
    EXPECT_GT(total.sessions, 0);
    EXPECT_GT(total.refusals, 0);
    EXPECT_EQ(mixer::view::sessionHandle(), 0u);
}

// The entry's counts follow the file: nothing found in an empty one, the
// listed card refused under every set-up that reaches it.
TEST(IniCorpus, EntryCountsWhatTheFileSays) {
    const IniFeedResult empty = feed("");
    EXPECT_EQ(empty.valuesFound, 0);
    EXPECT_EQ(empty.sessions, 5);
    EXPECT_EQ(empty.refusals, 0);

    // Four set-ups reach the first card; the fifth cannot describe its device.
    const IniFeedResult refused = feed("[not compatible]\nVirtual Wave Out=1\n");
    EXPECT_EQ(refused.valuesFound, 1);
    EXPECT_EQ(refused.refusals, 4);
    EXPECT_EQ(refused.sessions, 1);

    const IniFeedResult lookups = feed("[general]\r\nWaveOutDevice=1\r\n[default]\r\nWaveBlockLen=1027\r\n");
    EXPECT_EQ(lookups.valuesFound, 2);
    EXPECT_EQ(lookups.sessions, 5);
}

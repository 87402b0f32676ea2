#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/ops_entry.h"

namespace fs = std::filesystem;

// Every kept input of the mixer-operations fuzzer runs through its entry
// again: a broken invariant aborts, a stray read stops the sanitizer pass.
TEST(OpsCorpus, EveryKeptSequenceKeepsTheMixerSound) {
    size_t files = 0;
    OpsFeedResult total;
    for (const auto& e : fs::directory_iterator(PIKO_OPS_CORPUS)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        SCOPED_TRACE(e.path().filename().string());
        const OpsFeedResult r = FeedMixerOps(bytes.data(), bytes.size());
        total.plays += r.plays;
        total.refusals += r.refusals;
        total.blocksHeard += r.blocksHeard;
        ++files;
    }
    EXPECT_GE(files, 8u);
    // The corpus reaches plays that sound, and refusals, not only set-ups.
    EXPECT_GT(total.plays, 0);
    EXPECT_GT(total.blocksHeard, 0);
    EXPECT_GT(total.refusals, 0);
}

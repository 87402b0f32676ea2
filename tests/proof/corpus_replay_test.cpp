#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz/mydat_check.h"

// Every input the fuzzer kept must still meet the reader's rules here too.
TEST(MyDatCorpus, EveryKeptInputReadsCleanly) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PIKO_MYDAT_CORPUS)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(checkParsedPet(bytes.str()), "") << entry.path();
        ++files;
    }
    EXPECT_GE(files, 10u) << "the corpus went missing";
}

// The checker itself must notice a broken reader; these are the faults it exists for.
TEST(MyDatCorpus, CheckerSeesTheFaultsItGuards) {
    PetState p;
    p.word_count = 300;
    EXPECT_EQ(parsePet(serializePet(p), p), 0);
    EXPECT_EQ(p.word_count, kWordSlots);
    p.word_count = -4;
    EXPECT_EQ(parsePet(serializePet(p), p), 0);
    EXPECT_EQ(p.word_count, 0);
    EXPECT_EQ(checkParsedPet("x\r\n1\r\n2\r\nthree\r\n"), "");
    EXPECT_EQ(checkParsedPet(std::string("\x1a\r\n\0\0", 5)), "");
}

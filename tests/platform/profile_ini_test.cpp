// Integer lookup in SOUNDMIX.INI-style files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/profile_ini.h"

namespace {

class Profile : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        char tmpl[] = "/tmp/profile-test-XXXXXX";
        dir = mkdtemp(tmpl);
        SetProfileDirectory(dir.string() + "/");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void write(const std::string& text) { std::ofstream(dir / "TEST.INI") << text; }
    int get(const char* section, const char* key, int def = -99) {
        return GetPrivateProfileInt(section, key, def, "TEST.INI");
    }
};

TEST_F(Profile, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(get("general", "WaveOutDevice", 7), 7);
    write("[general]\nWaveOutDevice=3\n");
    EXPECT_EQ(get("general", "WaveOutDevice"), 3);
    EXPECT_EQ(get("general", "Other"), -99);
    EXPECT_EQ(get("default", "WaveOutDevice"), -99);
}

TEST_F(Profile, ValuesAreReadLeniently) {
    write("; tuning\r\n[Default]\r\n"
          "digits = 12abc\r\nword=abc\r\nempty=\r\nneg=  -40\r\nplus=+8\r\nwrap=4294967297\r\n"
          "REMIX=2\r\n[Card A (stereo)]\r\nRemix=5\r\n");
    EXPECT_EQ(get("default", "digits"), 12);
    EXPECT_EQ(get("default", "word"), 0);
    EXPECT_EQ(get("default", "empty"), -99);
    EXPECT_EQ(get("default", "neg"), -40);
    EXPECT_EQ(get("default", "plus"), 8);
    EXPECT_EQ(get("default", "wrap"), 1);
    EXPECT_EQ(get("DEFAULT", "remix"), 2);
    EXPECT_EQ(get("Card A (stereo)", "Remix"), 5);
}

TEST_F(Profile, BareNamesAreLookedUpInTheProfileDirectory) {
    EXPECT_EQ(ProfileDirectory(), dir.string());
    write("[s]\nk=1\n");
    EXPECT_EQ(GetPrivateProfileInt("s", "k", 0, (dir / "TEST.INI").string()), 1);
    SetProfileDirectory("/nonexistent-dir");
    EXPECT_EQ(get("s", "k", 4), 4);
}

}  // namespace

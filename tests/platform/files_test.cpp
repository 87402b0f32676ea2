// What the program finds beside itself: its folders, SOUNDMIX.INI, my.dat's
// text and wave resources. RIFF chunks are walked in tests/mixer's wave loads.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/cp932.h"
#include "platform/folders.h"
#include "platform/profile_ini.h"
#include "platform/riff_reader.h"
#include "platform/wave_resources.h"
#include "tests/support/support.h"

// Where my.dat and cg/ are; the real program's --where (real_program_test.sh) finds its own folder.
TEST(Folders, BesideTheProgramOrInTheUsersDataHome) {
    // The packaged program keeps each user's pet in their XDG data home.
    const std::string exe = "/usr/games/", data = "../share/games/piko/";
    const Folders xdg = foldersFor(FolderLayout::System, exe, data, "/home/a/data/", "/home/a");
    EXPECT_EQ(xdg.pet, "/home/a/data/piko/");
    EXPECT_EQ(xdg.profile, xdg.pet);
    EXPECT_EQ(xdg.cg, "/usr/share/games/piko/cg/");
    // Unset, empty or relative: ~/.local/share.
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "data"})
        EXPECT_EQ(foldersFor(FolderLayout::System, exe, data, unusable, "/home/a").pet, "/home/a/.local/share/piko/");
    // A build or `make install` folder keeps everything beside the program, whatever the environment.
    const Folders beside = foldersFor(FolderLayout::Beside, "/opt/p/", data, "/home/a/data", "/home/a");
    EXPECT_EQ(beside.pet + beside.cg + beside.profile, "/opt/p//opt/p/cg//opt/p/");

    // The pet's folder is made for its user alone.
    TempDir root;
    const std::string pet = root.path() + "share/piko/";
    EXPECT_EQ(makePetFolder(pet), "");
    for (const std::string& dir : {root.path() + "share", pet})
        EXPECT_EQ(std::filesystem::status(dir).permissions(), std::filesystem::perms::owner_all) << dir;
    EXPECT_EQ(makePetFolder(pet), "");  // the next start finds it there
    root.write("file", "");  // where the folder should be: reported, not taken for the folder
    EXPECT_NE(makePetFolder(root.path() + "file/piko/"), "");
}

TEST(ProfileIni, ReadsLenientlyWithoutRegardToCaseAndFallsBackToTheDefault) {
    TempDir dir;
    SetProfileDirectory(dir.path());
    auto get = [](const char* section, const char* key, int def = -99) {
        return GetPrivateProfileInt(section, key, def, "TEST.INI");
    };
    EXPECT_EQ(get("general", "WaveOutDevice", 7), 7) << "no file";
    dir.write("TEST.INI", "; tuning\r\n[Default]\r\ndigits = 12abc\r\nword=abc\r\nempty=\r\nneg=  -40\r\n"
                          "plus=+8\r\nwrap=4294967297\r\nREMIX=2\r\n[Card A (stereo)]\r\nRemix=5\r\n");
    for (const auto& [key, value] : {std::pair{"digits", 12}, {"word", 0}, {"empty", -99}, {"neg", -40},
                                     {"plus", 8}, {"wrap", 1}, {"remix", 2}, {"missing", -99}})
        EXPECT_EQ(get("DEFAULT", key), value) << key;
    EXPECT_EQ(get("card a (STEREO)", "Remix"), 5);
    EXPECT_EQ(get("general", "digits"), -99) << "a key of another section";
    // A bare name is looked up in the profile directory, a path as it stands.
    EXPECT_EQ(ProfileDirectory() + "/", dir.path());
    EXPECT_EQ(GetPrivateProfileInt("default", "neg", 0, dir.path() + "TEST.INI"), -40);
}

// A pipe, a device, a folder or an outsized file is no profile and no wave file: read as none, at once.
// A UTF-8 mark before the first section hides nothing.
TEST(BoundedReads, PipesDevicesFoldersAndOutsizedFilesReadAsNone) {
    TempDir dir;
    SetProfileDirectory(dir.path());
    const std::string ini = dir.path() + "SOUNDMIX.INI";
    const auto blocks = [] { return GetPrivateProfileInt("default", "WaveBlocks", 3, "SOUNDMIX.INI"); };
    dir.write("SOUNDMIX.INI", "\xEF\xBB\xBF[default]\r\nWaveBlocks=5\r\n");
    EXPECT_EQ(blocks(), 5);
    const std::pair<const char*, std::function<int()>> hostile[] = {
        {"pipe", [&] { return ::mkfifo(ini.c_str(), 0600); }},
        {"device", [&] { return ::symlink("/dev/zero", ini.c_str()); }},
        {"folder", [&] { return ::mkdir(ini.c_str(), 0700); }},
        {"outsized", [&] {
             dir.write("SOUNDMIX.INI", "[default]\nWaveBlocks=5\n");
             return ::truncate(ini.c_str(), off_t(kMaxWaveFileBytes) + 1);  // sparse: no disk is used
         }},
    };
    for (const auto& [what, make] : hostile) {
        std::filesystem::remove_all(ini);
        ASSERT_EQ(make(), 0) << what;
        EXPECT_EQ(blocks(), 3) << what;
        EXPECT_EQ(RiffReader::openFile(ini), nullptr) << what;
    }
}

TEST(WaveResources, ModulesKeepTheirOwnNamesAndWhatIsLoadedOutlivesThem) {
    const WaveModule a = CreateWaveModule(), b = CreateWaveModule();
    AddWaveResource(a, "Bell", {1, 2, 3});
    AddWaveResource(b, "BELL", {5, 6});
    EXPECT_EQ(SizeofWaveResource(FindWaveResource(b, "bell")), 2u);
    const WaveResourceData loaded = LoadWaveResource(FindWaveResource(a, "bELL"));
    RemoveWaveModule(a);
    RemoveWaveModule(b);
    EXPECT_EQ(FindWaveResource(a, "BELL"), 0u);
    ASSERT_NE(LockWaveResource(loaded), nullptr);
    EXPECT_EQ(LockWaveResource(loaded)[2], 3);
    FreeWaveResource(loaded);
    EXPECT_EQ(LockWaveResource(loaded), nullptr);
}

// 0x5C stays a backslash (not a yen sign) both ways; the marks input methods type for ～, －, ∥ and ―
// find their CP932 codes, and what CP932 cannot hold is refused, or a '?'.
TEST(Cp932, BackslashInputMethodMarksAndWhatItCannotHold) {
    EXPECT_EQ(cp932("\\"), "\x5c");
    EXPECT_EQ(fromCp932("\x5c\x81\x60\x83\x5c"), "\\～ソ");
    EXPECT_EQ(toCp932("\u301c\u2212\u2016\u2014"), std::optional<std::string>("\x81\x60\x81\x7c\x81\x61\x81\x5c"));
    EXPECT_EQ(toCp932("a\U0001F600b"), std::nullopt);
    EXPECT_EQ(toCp932Lossy("a\U0001F600b"), "a?b");
    EXPECT_EQ(fromCp932("a\x81"), "a\xEF\xBF\xBD") << "a lone lead byte at the end";
}

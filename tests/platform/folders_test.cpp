// Where the pet lives in each layout.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/folders.h"

namespace {

TEST(Folders, ThePackagedProgramKeepsEachUsersPetInTheirXdgDataHome) {
    const std::string exe = "/usr/games/";
    const std::string data = "../share/games/piko/";
    const Folders xdg = foldersFor(FolderLayout::System, exe, data, "/home/a/data/", "/home/a");
    EXPECT_EQ(xdg.pet, "/home/a/data/piko/");
    EXPECT_EQ(xdg.profile, xdg.pet);
    EXPECT_EQ(xdg.cg, "/usr/share/games/piko/cg/");
    // Unset, empty or relative: ~/.local/share.
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "data"})
        EXPECT_EQ(foldersFor(FolderLayout::System, exe, data, unusable, "/home/a").pet, "/home/a/.local/share/piko/");
    // A build or `make install` folder keeps everything beside the program, whatever the environment.
    const Folders beside = foldersFor(FolderLayout::Beside, "/opt/p/", data, "/home/a/data", "/home/a");
    EXPECT_EQ(beside.pet, "/opt/p/");
    EXPECT_EQ(beside.cg, "/opt/p/cg/");
    EXPECT_EQ(beside.profile, "/opt/p/");
}

TEST(Folders, ThePetFolderIsMadeForItsUserAlone) {
    char tmpl[] = "/tmp/folders-test-XXXXXX";
    const std::filesystem::path root = ::mkdtemp(tmpl);
    const std::string pet = (root / "share/piko/").string();
    EXPECT_EQ(makePetFolder(pet), "");
    for (const auto& dir : {root / "share", root / "share/piko"}) {
        struct stat st {};
        ASSERT_EQ(::stat(dir.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u) << dir;
    }
    EXPECT_EQ(makePetFolder(pet), "");  // the next start finds it there
    // A file where the folder should be is reported, not taken for the folder.
    ::close(::creat((root / "file").c_str(), 0600));
    EXPECT_NE(makePetFolder((root / "file/piko/").string()), "");
    std::filesystem::remove_all(root);
}

}  // namespace

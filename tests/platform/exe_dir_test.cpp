#include <gtest/gtest.h>

#include <filesystem>

#include "platform/exe_dir.h"

// my.dat and cg/ are looked up here, whatever the working directory is.
TEST(ExecutableDir, IsTheDirectoryHoldingTheRunningProgram) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path("/");
    const std::string dir = executableDir();
    std::filesystem::current_path(cwd);
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir.front(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(dir + "test_app"));
}

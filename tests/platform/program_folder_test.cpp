#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace {

TEST(ProgramFolder, IsTheFolderOfTheRunningProgram) {
    std::string folder = platform::GetAppFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(::access((folder + "platform_program_folder_test").c_str(), X_OK), 0) << folder;
}

TEST(ConfigFolder, FollowsXdgConfigHomeElseHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";
    struct Case {
        const char* xdg; // null: unset
        const char* home;
        const char* folder;
    } cases[] = {
        {"/cfg", "/home/ann", "/cfg/Pellam/"},
        {"/cfg/", "/home/ann", "/cfg/Pellam/"},
        {nullptr, "/home/ann", "/home/ann/.config/Pellam/"},
        {"", "/home/ann", "/home/ann/.config/Pellam/"},
        {"relative/cfg", "/home/ann", "/home/ann/.config/Pellam/"}, // relative ones are ignored
    };
    for (const Case& c : cases) {
        if (c.xdg)
            ::setenv("XDG_CONFIG_HOME", c.xdg, 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        ::setenv("HOME", c.home, 1);
        EXPECT_EQ(platform::ConfigFolder(), c.folder) << (c.xdg ? c.xdg : "(unset)");
    }
    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

} // namespace

#include "platform/folders.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

TEST(Folders, ExistsMeansAFolderThatCanBeEntered) {
    platform::PrivateTempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    const std::string file = tmp.Path() + "file";
    std::ofstream(file) << "x";
    EXPECT_TRUE(platform::FolderExists(tmp.Path()));
    EXPECT_TRUE(platform::FolderExists(tmp.Path().substr(0, tmp.Path().size() - 1)));
    EXPECT_FALSE(platform::FolderExists(file));
    EXPECT_FALSE(platform::FolderExists(tmp.Path() + "none"));
    EXPECT_FALSE(platform::FolderExists(""));
}

TEST(Folders, MakeCreatesEveryLevel) {
    platform::PrivateTempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    const std::string deep = tmp.Path() + "a/b c/ü/d/";
    EXPECT_TRUE(platform::MakeFolders(deep));
    EXPECT_TRUE(platform::FolderExists(deep));
    EXPECT_TRUE(platform::MakeFolders(deep)) << "an existing folder is fine";
    std::ofstream(tmp.Path() + "file") << "x";
    EXPECT_FALSE(platform::MakeFolders(tmp.Path() + "file/sub"));
    EXPECT_FALSE(platform::MakeFolders(tmp.Path() + "file"));
}

TEST(Folders, DeleteRemovesEverythingButNeverFollowsLinks) {
    platform::PrivateTempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    const std::string keep = tmp.Path() + "keep/";
    ASSERT_TRUE(platform::MakeFolders(keep + "inner"));
    std::ofstream(keep + "inner/precious") << "x";

    const std::string job = tmp.Path() + "job/";
    ASSERT_TRUE(platform::MakeFolders(job + "VIDEO_TS/sub"));
    std::ofstream(job + "VIDEO_TS/VTS_01_1.VOB") << "data";
    std::ofstream(job + "VIDEO_TS/sub/x") << "data";
    ASSERT_EQ(::symlink((keep + "inner").c_str(), (job + "link").c_str()), 0);
    ASSERT_EQ(::symlink("/nonexistent", (job + "dangling").c_str()), 0);

    EXPECT_TRUE(platform::DeleteFolder(job));
    EXPECT_FALSE(Exists(job));
    EXPECT_TRUE(Exists(keep + "inner/precious")) << "the link's target must survive";
    EXPECT_TRUE(platform::DeleteFolder(job)) << "nothing left to delete";
    EXPECT_FALSE(platform::DeleteFolder("/"));
}

TEST(Folders, FreeSpaceMatchesDf) {
    platform::PrivateTempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    std::int64_t mb = platform::FreeSpaceMB(tmp.Path());
    EXPECT_GE(mb, 0);
    EXPECT_EQ(platform::FreeSpaceMB(tmp.Path() + "none"), -1);

    std::string cmd = "df -P -B1048576 '" + tmp.Path() + "' 2>/dev/null | tail -n 1";
    FILE* df = ::popen(cmd.c_str(), "r");
    if (!df) GTEST_SKIP() << "df is not available";
    char line[512] = {};
    bool read = std::fgets(line, sizeof line, df) != nullptr;
    ::pclose(df);
    if (!read) GTEST_SKIP() << "df gave nothing";
    char fs[256];
    long long blocks, used, avail;
    ASSERT_EQ(std::sscanf(line, "%255s %lld %lld %lld", fs, &blocks, &used, &avail), 4) << line;
    // df rounds up and other writers may change the disk between the two reads.
    EXPECT_NEAR(static_cast<double>(mb), static_cast<double>(avail), 256.0);
}

} // namespace

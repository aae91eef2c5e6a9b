// Built only where Qt is installed.
#if __has_include(<QFile>)

#include "platform/qt/trash.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(Trash, MovesAFolderToTheUsersTrashWhereItCanBeRestored) {
    platform::PrivateTempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    // A trash of the test's own, on the same file system as the folder.
    const std::string data = tmp.Path() + "data";
    ::mkdir(data.c_str(), 0700);
    const char* old = std::getenv("XDG_DATA_HOME");
    std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";
    ::setenv("HOME", tmp.Path().c_str(), 1);

    const std::string dvd = tmp.Path() + "My Disc/";
    ::mkdir(dvd.c_str(), 0700);
    ::mkdir((dvd + "VIDEO_TS").c_str(), 0700);
    ::mkdir((dvd + "AUDIO_TS").c_str(), 0700);
    std::ofstream(dvd + "VIDEO_TS/VIDEO_TS.IFO") << "ifo";

    bool moved = platform::MoveToTrash(dvd);
    if (old)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
    if (!moved) GTEST_SKIP() << "no desktop trash usable here";
    EXPECT_NE(::access(dvd.c_str(), F_OK), 0);
    EXPECT_EQ(::access((data + "/Trash/files/My Disc/VIDEO_TS/VIDEO_TS.IFO").c_str(), F_OK), 0);
    EXPECT_EQ(::access((data + "/Trash/info/My Disc.trashinfo").c_str(), F_OK), 0);

    EXPECT_FALSE(platform::MoveToTrash(tmp.Path() + "absent"));
}

} // namespace

#endif

#include "platform/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(PrivateTempFolder, IsTheUsersAloneAndGoesWithItsContent) {
    std::string path;
    {
        platform::PrivateTempFolder a, b;
        ASSERT_TRUE(a.Ok());
        ASSERT_TRUE(b.Ok());
        EXPECT_NE(a.Path(), b.Path());
        path = a.Path();
        EXPECT_EQ(path.back(), '/');
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(st.st_uid, ::getuid());
        ::mkdir((path + "sub").c_str(), 0700);
        std::ofstream(path + "sub/vcd.xml") << "<videocd/>";
    }
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

TEST(PrivateTempFolder, LivesUnderTmpdirWhenSet) {
    platform::PrivateTempFolder outer;
    ASSERT_TRUE(outer.Ok());
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    ::setenv("TMPDIR", outer.Path().c_str(), 1);
    {
        platform::PrivateTempFolder inner;
        ASSERT_TRUE(inner.Ok());
        EXPECT_EQ(inner.Path().rfind(outer.Path(), 0), 0u) << inner.Path();
    }
    ::setenv("TMPDIR", (outer.Path() + "missing").c_str(), 1);
    {
        platform::PrivateTempFolder fallback;
        ASSERT_TRUE(fallback.Ok());
        EXPECT_EQ(fallback.Path().rfind("/tmp/", 0), 0u) << fallback.Path();
    }
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

} // namespace

#include "platform/instance_lock.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Runtime : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.Ok());
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        m_had = old != nullptr;
        if (old) m_old = old;
        ::setenv("XDG_RUNTIME_DIR", m_tmp.Path().c_str(), 1);
    }
    void TearDown() override {
        if (m_had)
            ::setenv("XDG_RUNTIME_DIR", m_old.c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }
    // Whether another process could take the lock now.
    static bool OtherProcessGets(const char* name) {
        pid_t pid = ::fork();
        if (pid == 0) {
            platform::InstanceLock lock(name);
            ::_exit(lock.Acquired() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    platform::PrivateTempFolder m_tmp;
    bool m_had = false;
    std::string m_old;
};

TEST_F(Runtime, OneHolderAtATimeUntilItGoesAway) {
    {
        platform::InstanceLock first("Pellam");
        ASSERT_TRUE(first.Acquired());
        EXPECT_EQ(first.Path(), m_tmp.Path() + "Pellam.lock");
        platform::InstanceLock second("Pellam");
        EXPECT_FALSE(second.Acquired());
        EXPECT_FALSE(OtherProcessGets("Pellam"));
        EXPECT_TRUE(OtherProcessGets("Other"));
    }
    EXPECT_TRUE(OtherProcessGets("Pellam"));
    platform::InstanceLock again("Pellam");
    EXPECT_TRUE(again.Acquired());
}

TEST_F(Runtime, WithoutARuntimeFolderAFolderOfTheUsersOwnIsUsed) {
    ::unsetenv("XDG_RUNTIME_DIR");
    const char* oldTmp = std::getenv("TMPDIR");
    std::string savedTmp = oldTmp ? oldTmp : "";
    ::setenv("TMPDIR", m_tmp.Path().c_str(), 1);
    {
        platform::InstanceLock lock("Pellam");
        ASSERT_TRUE(lock.Acquired());
        std::string folder = m_tmp.Path() + "pellam-" + std::to_string(::getuid());
        EXPECT_EQ(lock.Path(), folder + "/Pellam.lock");
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_FALSE(OtherProcessGets("Pellam"));
    }
    // A folder anyone may write into is not taken.
    std::string folder = m_tmp.Path() + "pellam-" + std::to_string(::getuid());
    ::chmod(folder.c_str(), 0777);
    platform::InstanceLock refused("Pellam");
    EXPECT_FALSE(refused.Acquired());
    if (oldTmp)
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

} // namespace

#include "platform/shell_open.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A folder of fake programs named by PELLAM_TOOLS, with PATH pointed away from the real ones.
class Tools : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.Ok());
        m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        m_empty = m_tmp.Path() + "empty";
        ::mkdir(m_empty.c_str(), 0700);
        ::setenv("PATH", m_empty.c_str(), 1);
        ::setenv("PELLAM_TOOLS", m_tmp.Path().c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", m_oldPath.c_str(), 1);
        ::unsetenv("PELLAM_TOOLS");
    }
    std::string Script(const std::string& name, const std::string& body, mode_t mode = 0755) {
        std::string path = m_tmp.Path() + name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ::chmod(path.c_str(), mode);
        return path;
    }
    platform::PrivateTempFolder m_tmp;
    std::string m_oldPath, m_empty;
};

TEST_F(Tools, MediaPlayerIsTheFirstInstalledOfMpvMplayerFfplay) {
    EXPECT_EQ(platform::FindMediaPlayer(), "");
    std::string ffplay = Script("ffplay", "exit 0");
    EXPECT_EQ(platform::FindMediaPlayer(), ffplay);
    Script("mplayer", "exit 0", 0644); // not executable: not installed
    EXPECT_EQ(platform::FindMediaPlayer(), ffplay);
    std::string mplayer = Script("mplayer", "exit 0");
    EXPECT_EQ(platform::FindMediaPlayer(), mplayer);
    std::string mpv = Script("mpv", "exit 0");
    EXPECT_EQ(platform::FindMediaPlayer(), mpv);
}

TEST_F(Tools, PellamToolsComesBeforePath) {
    std::string other = m_tmp.Path() + "other";
    ::mkdir(other.c_str(), 0700);
    std::ofstream(other + "/mpv") << "#!/bin/sh\n";
    ::chmod((other + "/mpv").c_str(), 0755);
    ::setenv("PATH", other.c_str(), 1);
    EXPECT_EQ(platform::FindProgram("mpv"), other + "/mpv");
    std::string mine = Script("mpv", "exit 0");
    EXPECT_EQ(platform::FindProgram("mpv"), mine);
}

TEST_F(Tools, OpenReportsTheOpenersOutcomeAboveOrBelow32) {
    platform::DesktopShell shell;
    EXPECT_LE(shell.Open("/x.mpg"), 32) << "no xdg-open at all";
    std::string log = m_tmp.Path() + "opened";
    Script("xdg-open", "echo \"$1\" >> '" + log +
                           "'\n"
                           "case \"$1\" in *missing*) exit 2;; *broken*) exit 4;; esac\nexit 0");
    struct Case {
        const char* target;
        bool ok;
    } cases[] = {
        {"/media/my film.mpg", true},
        {"mailto:support@example.com", true},
        {"/media/missing.mpg", false},
        {"/media/broken.mpg", false},
    };
    for (const Case& c : cases) {
        std::intptr_t r = shell.Open(c.target);
        EXPECT_EQ(r > 32, c.ok) << c.target << " gave " << r;
    }
    // An opener that stays in the foreground with the program it started counts as success.
    Script("xdg-open", "exec /bin/sleep 5");
    EXPECT_GT(shell.Open("/media/film.mpg"), 32);

    std::ifstream in(log);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "/media/my film.mpg") << "the target is one argument";
}

TEST_F(Tools, StartRunsTheProgramWithItsArguments) {
    platform::DesktopShell shell;
    std::string out = m_tmp.Path() + "args";
    Script("mplayer",
           "printf '%s|' \"$@\" > '" + out + ".part' && /bin/mv '" + out + ".part' '" + out + "'");
    EXPECT_GT(shell.Start("mplayer", {"/a b.mpg", "-fs"}), 32);
    EXPECT_LE(shell.Start("nosuchplayer", {}), 32);
    for (int i = 0; i < 500 && ::access(out.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(out);
    std::string args;
    std::getline(in, args);
    EXPECT_EQ(args, "/a b.mpg|-fs|");
}

} // namespace

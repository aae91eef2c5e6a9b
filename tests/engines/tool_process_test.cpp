#include "engines/tools/tool_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A folder on PELLAM_TOOLS holding one script, restored afterwards.
class ToolFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pellam-tools-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        const char* old = std::getenv("PELLAM_TOOLS");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("PELLAM_TOOLS", dir_.c_str(), 1);
    }
    void TearDown() override {
        if (hadOld_)
            setenv("PELLAM_TOOLS", old_.c_str(), 1);
        else
            unsetenv("PELLAM_TOOLS");
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    void Script(const std::string& name, const std::string& body) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), 0755);
    }
    std::string dir_, old_;
    bool hadOld_ = false;
};

TEST_F(ToolFolder, ToolsFolderComesBeforePath) {
    Script("ls", "echo fake\n");
    EXPECT_EQ(engines::FindTool("ls"), dir_ + "/ls");
    EXPECT_EQ(engines::FindTool("pellam-no-such-tool"), "");
    std::vector<std::string> out;
    EXPECT_EQ(engines::RunTool({"ls"}, &out), 0);
    EXPECT_EQ(out, std::vector<std::string>{"fake"});
}

TEST_F(ToolFolder, SplitsLinesOnCrAndLfAndMergesStderr) {
    // Progress counters end in '\r'; "\r\n" is one line end; a last line without end is kept;
    // the locale is C whatever the caller's.
    Script("talk", "printf 'a\\r\\nb 10%%\\rb 20%%\\r\\n' ; echo err >&2 ; printf \"$LC_ALL\"\n"
                   "exit 3\n");
    std::vector<std::string> out;
    EXPECT_EQ(engines::RunTool({"talk"}, &out), 3);
    EXPECT_EQ(out, (std::vector<std::string>{"a", "b 10%", "b 20%", "err", "C"}));
}

TEST_F(ToolFolder, WorkDirAndArguments) {
    Script("where", "pwd; for a in \"$@\"; do echo \"[$a]\"; done\n");
    std::vector<std::string> out;
    EXPECT_EQ(engines::RunTool({"where", "two words", "it's"}, &out, "/"), 0);
    EXPECT_EQ(out, (std::vector<std::string>{"/", "[two words]", "[it's]"}));
}

TEST_F(ToolFolder, SignalStopsTheWholeGroup) {
    // The script's child sleeps too; only a signal to the group ends the output pipe early.
    Script("slow", "echo started; sleep 30 & wait\n");
    engines::ToolProcess process;
    ASSERT_TRUE(process.Start({"slow"}));
    std::thread stopper;
    int status = process.Wait([&](const std::string& line) {
        if (line == "started") stopper = std::thread([&] { process.Signal(SIGTERM); });
    });
    stopper.join();
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_FALSE(process.Running());
}

TEST(ToolProcess, MissingProgramIsReported) {
    engines::ToolProcess process;
    EXPECT_FALSE(process.Start({"pellam-no-such-tool"}));
    EXPECT_NE(process.ErrorText().find("not found"), std::string::npos);
    std::vector<std::string> out;
    EXPECT_EQ(engines::RunTool({"pellam-no-such-tool"}, &out), -1);
    EXPECT_EQ(out.size(), 1u);
}

} // namespace

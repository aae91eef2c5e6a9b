#include "burn_settings.h"
#include "test_files.h"

#include "platform/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

using testfiles::ReadAll;
using testfiles::WriteAll;

// A home and a configuration folder of the test's own.
class Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.Ok());
        Save("HOME");
        Save("XDG_CONFIG_HOME");
        ::setenv("HOME", (m_tmp.Path() + "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_tmp.Path() + "config").c_str(), 1);
        m_path = m_tmp.Path() + "config/Pellam/param.ini";
    }
    void TearDown() override {
        for (auto& [name, value] : m_env) {
            if (value.first)
                ::setenv(name.c_str(), value.second.c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    void Save(const char* name) {
        const char* v = std::getenv(name);
        m_env.push_back({name, {v != nullptr, v ? v : ""}});
    }
    void Seed(const std::string& text) {
        ::mkdir((m_tmp.Path() + "config").c_str(), 0700);
        ::mkdir((m_tmp.Path() + "config/Pellam").c_str(), 0700);
        WriteAll(m_path, text);
    }
    platform::PrivateTempFolder m_tmp;
    std::string m_path;
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> m_env;
};

TEST_F(Settings, FreshObjectIsEmptyAndZero) {
    BurnSettings s;
    EXPECT_STREQ(s.outputFolder, "");
    EXPECT_STREQ(s.tempFolder, "");
    EXPECT_EQ(s.aspectRatio, 0);
    EXPECT_EQ(s.letterBox, 0);
    EXPECT_EQ(s.tvType, 0);
    EXPECT_FALSE(s.Loaded());
}

TEST_F(Settings, WithoutAFileTheDefaultsAreUsedAndAllFiveKeysWritten) {
    EXPECT_EQ(BurnSettings::FilePath(), m_path);
    BurnSettings s;
    s.Load();
    EXPECT_EQ(std::string(s.outputFolder), m_tmp.Path() + "home/Pellam/");
    EXPECT_STREQ(s.tempFolder, "");
    EXPECT_EQ(s.aspectRatio, 0);
    EXPECT_EQ(s.letterBox, 1);
    EXPECT_EQ(s.tvType, 0);
    ASSERT_TRUE(s.Save()) << "the configuration folder is made";
    EXPECT_EQ(ReadAll(m_path), "[Vandrel]\r\n"
                               "OutputFolder=" +
                                   m_tmp.Path() +
                                   "home/Pellam/\r\n"
                                   "TempFolder=\r\n"
                                   "AspectRatio=0\r\n"
                                   "LetterBox=1\r\n"
                                   "[main]\r\n"
                                   "TVType=0\r\n");
}

TEST_F(Settings, ReadsEachKeyFromItsOwnSection) {
    struct Case {
        const char* file;
        int aspect, letterBox, tv;
    } cases[] = {
        {"[Vandrel]\nTVType=1\n", 0, 1, 0}, // TVType is read from "main" only
        {"[vandrel]\r\naspectratio=1\r\nLETTERBOX=0\r\n[MAIN]\r\ntvtype=1\r\n", 1, 0, 1},
        {"[Vandrel]\nAspectRatio=2\nLetterBox=7\n[main]\nTVType=-1\n", 2, 7, -1},
        {"[Vandrel]\nAspectRatio=1junk\nLetterBox=junk\n[main]\nTVType=\n", 1, 0, 0},
        {"\x01\x02 binary\0 garbage\n[main\n[Vandrel]]\nLetterBox 0\n", 0, 1, 0},
    };
    for (const Case& c : cases) {
        Seed(c.file);
        BurnSettings s;
        s.Load();
        EXPECT_EQ(s.aspectRatio, c.aspect) << c.file;
        EXPECT_EQ(s.letterBox, c.letterBox) << c.file;
        EXPECT_EQ(s.tvType, c.tv) << c.file;
    }
}

TEST_F(Settings, ValuesOutsideTheirMeaningsAreKept) {
    Seed("[Vandrel]\r\nAspectRatio=2\r\n");
    BurnSettings s;
    s.Load();
    EXPECT_EQ(s.aspectRatio, 2);
    ASSERT_TRUE(s.Save());
    BurnSettings back;
    back.Load();
    EXPECT_EQ(back.aspectRatio, 2);
}

TEST_F(Settings, SaveKeepsEverythingElseInTheFile) {
    Seed("; written by hand\n[Other]\nKey=value\n\n[Vandrel]\nOutputFolder=/old/\nExtra=1\n\n"
         "[main]\nAppVer=6.0\n");
    BurnSettings s;
    s.Load();
    EXPECT_STREQ(s.outputFolder, "/old/");
    s.SetOutputFolder("/media/Фильмы & \"Tom's\"/");
    s.SetTempFolder("/data/tmpPellam/");
    s.tvType = 1;
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(ReadAll(m_path), "; written by hand\r\n[Other]\r\nKey=value\r\n\r\n"
                               "[Vandrel]\r\nOutputFolder=/media/Фильмы & \"Tom's\"/\r\nExtra=1\r\n"
                               "TempFolder=/data/tmpPellam/\r\nAspectRatio=0\r\nLetterBox=1\r\n\r\n"
                               "[main]\r\nAppVer=6.0\r\nTVType=1\r\n");
    BurnSettings back;
    back.Load();
    EXPECT_STREQ(back.outputFolder, "/media/Фильмы & \"Tom's\"/");
    EXPECT_STREQ(back.tempFolder, "/data/tmpPellam/");
}

TEST_F(Settings, TextsAreCutTo1023Characters) {
    std::string longPath = "/" + std::string(1500, 'a') + "/";
    Seed("[Vandrel]\nOutputFolder=" + longPath + "\nTempFolder= spaced \n");
    BurnSettings s;
    s.Load();
    EXPECT_EQ(std::string(s.outputFolder), longPath.substr(0, 1023));
    EXPECT_STREQ(s.tempFolder, "spaced");
    s.SetTempFolder(longPath);
    EXPECT_EQ(std::string(s.tempFolder).size(), 1023u);
}

TEST_F(Settings, ARunThatEndedBeforeLoadingLeavesTheFileAlone) {
    const std::string stored = "[Vandrel]\r\nOutputFolder=/mine/\r\nAspectRatio=1\r\n";
    Seed(stored);
    BurnSettings s; // start-up stopped before the settings were read
    EXPECT_FALSE(s.Save());
    EXPECT_EQ(ReadAll(m_path), stored);

    ::unlink(m_path.c_str());
    EXPECT_FALSE(s.Save());
    EXPECT_NE(::access(m_path.c_str(), F_OK), 0) << "nothing is created either";
}

TEST_F(Settings, AFileThatCannotBeWrittenLosesOnlyTheRunsChanges) {
    // The configuration path is taken by a plain file: no folder can be made there.
    WriteAll(m_tmp.Path() + "config", "not a folder");
    BurnSettings s;
    s.Load();
    EXPECT_EQ(s.letterBox, 1);
    EXPECT_FALSE(s.Save());
    EXPECT_EQ(ReadAll(m_tmp.Path() + "config"), "not a folder");
}

} // namespace

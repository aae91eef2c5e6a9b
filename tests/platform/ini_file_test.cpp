#include "platform/ini_file.h"
#include "platform/temp_folder.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testfiles::ReadAll;
using testfiles::WriteAll;

TEST(ProfileInt, ReadsLeadingDigits) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"12", 12},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"  7", 7},
        {"-3", -3},
        {"+4", 4},
        {"- 3", 0},
        {"0x10", 0},
        {"1 2", 1},
        {"2147483647", 2147483647},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::ParseProfileInt(c.text), c.value) << c.text;
}

TEST(IniFile, LooksUpWithoutRegardToCaseAndDefaultsOnlyWhenAbsent) {
    platform::IniFile ini;
    ini.Parse("[Vandrel]\r\nAspectRatio=2\r\nLetterBox=\r\nName = a b \r\n"
              "Quoted=\" x \"\r\n[MAIN]\nTVType=1\n");
    EXPECT_EQ(ini.GetInt("vandrel", "aspectratio", 9), 2);
    EXPECT_EQ(ini.GetInt("Vandrel", "LetterBox", 1), 0) << "an empty value is present";
    EXPECT_EQ(ini.GetInt("Vandrel", "Missing", 5), 5);
    EXPECT_EQ(ini.GetInt("main", "TVType", 0), 1);
    EXPECT_EQ(ini.GetInt("Vandrel", "TVType", 0), 0) << "keys belong to their section";
    EXPECT_EQ(ini.GetString("Vandrel", "Name", "d"), "a b");
    EXPECT_EQ(ini.GetString("Vandrel", "Quoted", "d"), " x ");
    EXPECT_EQ(ini.GetString("Nowhere", "Name", "d"), "d");
}

TEST(IniFile, FirstOfDuplicatesWinsAndGarbageIsKept) {
    const std::string text = "stray line before sections\r\n"
                             "[a]\r\n"
                             "k=1\r\n"
                             "; comment=not a key\r\n"
                             "=no key\r\n"
                             "garbage without equals\r\n"
                             "[broken\r\n"
                             "k=2\r\n"
                             "[A]\r\n"
                             "k=3\r\n";
    platform::IniFile ini;
    ini.Parse(text);
    EXPECT_EQ(ini.GetInt("a", "k", 0), 1) << "the first key of the first such section";
    EXPECT_FALSE(ini.Get("broken", "k")) << "a header without ']' is no header";
    EXPECT_FALSE(ini.Get("a", "; comment"));
    EXPECT_EQ(ini.Serialize(), text);
}

TEST(IniFile, SetReplacesAppendsAndCreates) {
    platform::IniFile ini;
    ini.Parse("[Other]\nx=1\n\n[Vandrel]\nOutputFolder=/old/\n\n[Tail]\ny=2\n");
    ini.Set("VANDREL", "outputfolder", "/new/");
    ini.Set("Vandrel", "TempFolder", "/t/");
    ini.Set("main", "TVType", "1");
    EXPECT_EQ(ini.Serialize(), "[Other]\r\nx=1\r\n\r\n"
                               "[Vandrel]\r\nOutputFolder=/new/\r\nTempFolder=/t/\r\n\r\n"
                               "[Tail]\r\ny=2\r\n"
                               "[main]\r\nTVType=1\r\n");
}

TEST(IniFile, ValuesReadBackAsTheyWereSet) {
    const std::string values[] = {" lead", "trail ", "\"quoted\"", "a=b;c", "/päth/ü/", "", "x\"y"};
    for (const std::string& v : values) {
        platform::IniFile out;
        out.Set("s", "k", v);
        platform::IniFile in;
        in.Parse(out.Serialize());
        EXPECT_EQ(in.GetString("s", "k", "default"), v) << "[" << v << "]";
    }
    platform::IniFile ini;
    ini.Set("s", "k", "one\r\ntwo");
    ini.Set("s", "next", "3");
    platform::IniFile back;
    back.Parse(ini.Serialize());
    EXPECT_EQ(back.GetInt("s", "next", 0), 3) << "a line break in a value must not make a key";
}

TEST(IniFile, FileCalls) {
    platform::PrivateTempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    const std::string path = tmp.Path() + "param.ini";
    char buf[8];

    EXPECT_EQ(platform::GetPrivateProfileInt("s", "k", 7, path), 7);
    EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "dflt", buf, sizeof buf, path), 4u);
    EXPECT_STREQ(buf, "dflt");

    ASSERT_TRUE(platform::WritePrivateProfileString("s", "k", "0123456789", path));
    EXPECT_EQ(ReadAll(path), "[s]\r\nk=0123456789\r\n");
    EXPECT_EQ(platform::GetPrivateProfileString("S", "K", "", buf, sizeof buf, path), 7u);
    EXPECT_STREQ(buf, "0123456");
    EXPECT_EQ(platform::GetPrivateProfileInt("s", "k", 7, path), 123456789);

    // LF files are read and rewritten with CR LF, other content intact.
    WriteAll(path, "# hand-written\n[s]\nk=1\nz=9\n");
    ASSERT_TRUE(platform::WritePrivateProfileString("s", "k", "2", path));
    EXPECT_EQ(ReadAll(path), "# hand-written\r\n[s]\r\nk=2\r\nz=9\r\n");

    // The folder of the file must exist; nothing is created above it.
    EXPECT_FALSE(platform::WritePrivateProfileString("s", "k", "1", tmp.Path() + "no/param.ini"));
}

TEST(IniFile, SaveReplacesAtomicallyAndLeavesNoTemporaryFile) {
    platform::PrivateTempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    const std::string path = tmp.Path() + "param.ini";
    WriteAll(path, "[s]\r\nk=1\r\n");
    ::chmod(path.c_str(), 0640);
    platform::IniFile ini;
    ASSERT_EQ(ini.Load(path), platform::IniFile::LoadResult::Ok);
    ini.Set("s", "k", "2");
    ASSERT_TRUE(ini.Save(path));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the file keeps its permissions";
    int entries = 0;
    if (DIR* dir = ::opendir(tmp.Path().c_str())) {
        while (dirent* e = ::readdir(dir))
            entries += e->d_name[0] == '.' ? 0 : 1;
        ::closedir(dir);
    }
    EXPECT_EQ(entries, 1) << "no temporary file is left beside it";
    EXPECT_EQ(ReadAll(path), "[s]\r\nk=2\r\n");

    // A save that cannot happen leaves the old file as it was.
    ::chmod(tmp.Path().c_str(), 0500);
    if (::access(tmp.Path().c_str(), W_OK) != 0) {
        ini.Set("s", "k", "3");
        EXPECT_FALSE(ini.Save(path));
        EXPECT_EQ(ReadAll(path), "[s]\r\nk=2\r\n");
    }
    ::chmod(tmp.Path().c_str(), 0700);
}

TEST(IniFile, UnreadableFileIsNotOverwritten) {
    platform::PrivateTempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    // A folder where the file should be reads as an error, not as a missing file.
    const std::string path = tmp.Path() + "param.ini";
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    platform::IniFile ini;
    EXPECT_EQ(ini.Load(path), platform::IniFile::LoadResult::Error);
    EXPECT_FALSE(platform::WritePrivateProfileString("s", "k", "1", path));
    EXPECT_EQ(ini.Load(tmp.Path() + "absent.ini"), platform::IniFile::LoadResult::Missing);
}

} // namespace

#include "iso_path_rules.h"
#include "log_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(IsSystemPath, FirstComponentIgnoringCase) {
    struct {
        const char* path;
        bool want;
    } cases[] = {{"VCD", true},   {"vcd/INFO.VCD", true}, {"MpegAv", true}, {"segment/x", true},
                 {"CDDA", true},  {"CDI", true},          {"EXT", true},    {"KARAOKE", true},
                 {"MPEG2", true}, {"SVCD", true},         {"VCDX", false},  {"X/VCD", false},
                 {"", false},     {nullptr, false},       {"/VCD", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsSystemPath(c.path), c.want) << (c.path ? c.path : "(null)");
}

struct PathCase {
    const char* path;
    int want;
    const char* error; // the exact error line, or null
};

void RunCases(int (*check)(CVcdLog&, const char*), const PathCase* cases, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const PathCase& c = cases[i];
        CapturedLog cap;
        const std::string shown = c.path ? c.path : "(null)";
        EXPECT_EQ(check(cap, c.path), c.want) << shown;
        if (c.error) {
            ASSERT_EQ(cap.lines().size(), 1u) << shown << "\n" << cap.Dump();
            EXPECT_EQ(cap.lines()[0].level, VCD_LOG_ERROR);
            EXPECT_EQ(cap.lines()[0].text, std::string(c.error) + "\n") << shown;
        } else {
            EXPECT_TRUE(cap.lines().empty()) << shown << "\n" << cap.Dump();
        }
    }
}

const std::string k256(256, 'a');
// Seven 31-character folders and one more: exactly 255 characters.
const std::string k255 = [] {
    std::string s;
    for (int i = 0; i < 7; ++i)
        s += std::string(31, 'b') + "/";
    return s + std::string(31, 'c');
}();

TEST(CheckDirPath, LevelsLengthsAndMessages) {
    ASSERT_EQ(k255.size(), 255u);
    const std::string tooLong =
        "Pathname <" + k256 + "> exceeds the max. allowed length of 255 chars.";
    const PathCase cases[] = {
        {"mpegav", 1, nullptr},
        {"MPEGAV/Clips", 1, nullptr},
        {"SEGMENT/A_1", 1, nullptr},
        {"MPEGAV/CLIPS1234", 0, "(sub)Path <CLIPS1234> exceeds max. allowed length of 8chars."},
        {"vcd/a-b", 0, "(sub)Path <A-B> contains a non-ISO9660 level 1 character (-)."},
        {"Extra/My_Clips", 1, nullptr},
        {"Extra/my clips", 0, "(sub)Path <my clips> contains a non-ISO9660 level 2 character ( )."},
        {"Extra/a.b", 0, "(sub)Path <a.b> contains a non-ISO9660 level 2 character (.)."},
        {"Extra/abcdefghijklmnopqrstuvwxyz01234", 1, nullptr},
        {"Extra/ABCDEFGHIJKLMNOPQRSTUVWXYZ_12345", 0,
         "(sub)Path <ABCDEFGHIJKLMNOPQRSTUVWXYZ_12345> exceeds max. allowed length of 31chars."},
        {"abcdefghijklmnopqrstuvwxyz01234"
         "5",
         0, "(sub)Path <abcdefghijklmnopqrstuvwxyz012345> exceeds max. allowed length of 31chars."},
        {"/Extra", 0, "sub-path should not start with '/', '.' or '\\0'"},
        {"Extra/", 0, "sub-path should not start with '/', '.' or '\\0'"},
        {"Extra//x", 0, "sub-path should not start with '/', '.' or '\\0'"},
        {"Extra/.hidden", 0, "sub-path should not start with '/', '.' or '\\0'"},
        {"", 0, nullptr},
        {nullptr, 0, nullptr},
        {k255.c_str(), 1, nullptr},
        {k256.c_str(), 0, tooLong.c_str()},
    };
    RunCases(CheckDirPath, cases, std::size(cases));
}

TEST(CheckFilePath, LevelsLengthsAndMessages) {
    const std::string path250 = "DATA/" + std::string(241, 'a') + ".dat";
    const std::string tooLong =
        "Length of path exceeds max. allowed length of 249chars. (" + path250 + ")";
    const PathCase cases[] = {
        {"VCD/INFO.VCD", 1, nullptr},
        {"vcd/info.vcd", 1, nullptr},
        {"MPEGAV/AVSEQ01.DAT", 1, nullptr},
        {"SEGMENT/ITEM0001.MPG", 1, nullptr},
        {"readme.txt", 1, nullptr},
        {"README", 1, nullptr},
        {"Extra/Sub/notes_2024.txt", 1, nullptr},
        {"abcdefghijklmnopqrstuvwxyz01234", 1, nullptr},
        {"abcdefghijklmnopqrstuvwxyz0.txt", 1, nullptr},
        {"abcdefghijklmnopqrstuvwxyz01.tx", 1, nullptr},
        {"abcdefghijklmnopqrstuvwxyz012.tx", 0,
         "Length of file exceeds max. allowed length of 31chars. "
         "(abcdefghijklmnopqrstuvwxyz012.tx)"},
        {"Extra/my file.dat", 0,
         "File <my file.dat> contains a _no_ ISO9660 level-2 character. (' ')"},
        {"readme.text", 0,
         "Length of file-extension exceeds max. allowed length of 3chars. "
         "(readme.text)."},
        {"VCD/info-1.vcd", 0, "File <INFO-1.VCD> contains a _no_ ISO9660 level-1 character. ('-')"},
        {"VCD/ABCDEFGHI.VCD", 0,
         "Length of file exceeds max. allowed length of 8chars. (ABCDEFGHI.VCD)"},
        {"VCD/ABCDEFGH.VCD", 1, nullptr},
        {"VCD/A.VCDX", 0,
         "Length of file-extension exceeds max. allowed length of 3chars. "
         "(A.VCDX)."},
        {".profile", 0, "File <.profile> should not start with a dot '.'"},
        {"a..b", 0, "File <a..b> should not start with a dot '.'"},
        {"a.b.c", 0, "File <a.b.c> only may contain 1 extension."},
        {"Extra/x;1", 0, "File <x;1> contains a _no_ ISO9660 level-2 character. (';')"},
        {"Bad Dir/x.dat", 0, "(sub)Path <Bad Dir> contains a non-ISO9660 level 2 character ( )."},
        {"/x.dat", 0, nullptr},
        {"VCD/", 0, "File <VCD/> has an empty name"},
        {"", 0, nullptr},
        {nullptr, 0, nullptr},
        {path250.c_str(), 0, tooLong.c_str()},
    };
    RunCases(CheckFilePath, cases, std::size(cases));
}

TEST(VersionedName, NameSemicolonVersion) {
    EXPECT_EQ(VersionedName("INFO.VCD", 1), "INFO.VCD;1");
    EXPECT_EQ(VersionedName("INFO.VCD", 1).size(), 10u);
    EXPECT_EQ(VersionedName("A", 12), "A;12");
}

} // namespace

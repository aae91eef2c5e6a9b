// The dvdauthor control file, read back with xmllint.
#include "dvd_media_support.h"
#include "engines/dvdauthor/dvdauthor_project.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace {

using dvdmedia::Quote;
using dvdmedia::Shell;

// The XPath value of the document, as xmllint reads it.
std::string XPath(const std::string& file, const std::string& expression) {
    int status = 0;
    std::string out =
        Shell("xmllint --noout --xpath " + Quote(expression) + " " + Quote(file), &status);
    if (status != 0) return "<xmllint failed: " + out + ">";
    if (!out.empty() && out.back() == '\n') out.pop_back(); // xmllint ends the value with one
    return out;
}

TEST(DvdauthorProject, PathsComeBackAsTheyWere) {
    dvdmedia::TempDir dir;
    engines::DvdauthorProject project;
    project.vobs = {"/tmp/a&b/<c>/000_1.mpg", "/tmp/\"quoted\" 'single'/001_1.mpg",
                    "/tmp/Grüße €/002_1.mpg", "/tmp/&amp;/003_1.mpg"};
    project.chapterAt = {true, true, true, true};
    std::string file = dir / "project.xml";
    testfiles::WriteAll(file, engines::MakeDvdauthorXml(project));
    int status = 0;
    std::string lint = Shell("xmllint --noout " + Quote(file), &status);
    ASSERT_EQ(status, 0) << lint;
    for (std::size_t i = 0; i < project.vobs.size(); ++i)
        EXPECT_EQ(XPath(file, "string(//pgc/vob[" + std::to_string(i + 1) + "]/@file)"),
                  project.vobs[i]);
}

TEST(DvdauthorProject, ChaptersBeginWithTheFirstSegmentOfEachFile) {
    dvdmedia::TempDir dir;
    engines::DvdauthorProject project;
    for (const char* name : {"000_1.mpg", "000_2.mpg", "001_1.mpg", "002_1.mpg", "002_2.mpg",
                             "002_3.mpg", "002_10.mpg"}) {
        std::string path = std::string("/w/tmpPellam/") + name;
        project.vobs.push_back(path);
        project.chapterAt.push_back(engines::StartsSourceFile(path));
    }
    std::string file = dir / "project.xml";
    testfiles::WriteAll(file, engines::MakeDvdauthorXml(project));
    EXPECT_EQ(XPath(file, "count(/dvdauthor/titleset/titles/pgc)"), "1");
    EXPECT_EQ(XPath(file, "count(//pgc/vob)"), "7");
    // One cell that begins no chapter for each segment after a file's first.
    EXPECT_EQ(XPath(file, "count(//vob[cell[@chapter='0']])"), "4");
    for (int i : {2, 5, 6, 7})
        EXPECT_EQ(XPath(file, "string(//pgc/vob[" + std::to_string(i) + "]/cell/@chapter)"), "0");
    for (int i : {1, 3, 4})
        EXPECT_EQ(XPath(file, "count(//pgc/vob[" + std::to_string(i) + "]/cell)"), "0");
}

TEST(DvdauthorProject, SegmentNamesAndPlainPaths) {
    struct Name {
        const char* path;
        bool starts;
    } names[] = {{"/w/000_1.mpg", true},     {"/w/000_2.mpg", false}, {"/w/012_13.mpg", false},
                 {"/w/a_b/000_1.mpg", true}, {"/w/movie.mpg", true},  {"/w/000_.mpg", true},
                 {"/w/000_x2.mpg", true},    {"000_3.mpg", false}};
    for (const Name& n : names)
        EXPECT_EQ(engines::StartsSourceFile(n.path), n.starts) << n.path;

    struct Path {
        std::string path;
        bool plain;
    } paths[] = {
        {"/w/000_1.mpg", true},
        {"/w/Grüße/000_1.mpg", true},
        {"/w/a&b<c>\"'/000_1.mpg", true},
        {"w/000_1.mpg", false},               // dvdauthor's folder is not ours
        {"/w/cat /etc/passwd |", false},      // dvdauthor runs it
        {"/w/000_1.mpg ", false},             // dvdauthor trims it
        {"/w/caf\xE9/000_1.mpg", false},      // Latin-1: not UTF-8
        {"/w/\xC0\xAF/000_1.mpg", false},     // overlong form
        {"/w/\xED\xA0\x80/000_1.mpg", false}, // surrogate
        {"/w/tab\there/000_1.mpg", false},
        {"", false},
    };
    for (const Path& p : paths)
        EXPECT_EQ(engines::IsPlainVobPath(p.path), p.plain) << p.path;
}

} // namespace

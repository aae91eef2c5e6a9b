#include "burner/app/vcd_xml_writer.h"
#include "test_files.h"

#include "platform/temp_folder.h"

#include "vcdbuild/vcd_build.h"
#include "vcdbuild/vcd_log.h"
#include "vcdbuild/vcd_xml_reader.h"
#include "vcdbuild/videocd_xml.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testfiles::ReadAll;

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "xmlwriter-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Keeps the lines a builder object sends to its host window.
class RecordingWindow : public platform::MessageTarget {
  public:
    platform::LRESULT OnMessage(unsigned, platform::WPARAM level, platform::LPARAM data) override {
        const char* text = reinterpret_cast<const char*>(data);
        if (text != nullptr && text[0] != 0)
            lines += std::to_string(level) + ": " + text +
                     (text[std::strlen(text) - 1] == '\n' ? "" : "\n");
        return 0;
    }
    std::string lines;
};

struct ReadBack {
    int result = 1;
    VcdProjectDesc desc;
    std::string log;
};

// Parses and validates the document with the image builder's own reader.
void ReadWithOurReader(const std::string& path, ReadBack& out) {
    RecordingWindow window;
    CVcdLog log(&window, platform::RegisterWindowMessage("xml-writer-test"), 1, false);
    CVcdXmlReader reader(log, &out.desc);
    out.result = reader.Read(path.c_str());
    out.log = window.lines;
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Document(const char* cls, const char* version, const std::string& volumeId,
                     const std::vector<std::string>& srcs) {
    std::string d = std::string("<?xml version=\"1.0\"?>\r\n") +
                    "<!DOCTYPE videocd PUBLIC \"-//Orvanta//DTD VideoCD//EN\" \"" +
                    VIDEOCD_DTD_SYSTEM_ID + "\">\r\n" + "<videocd xmlns=\"" +
                    VIDEOCD_XML_NAMESPACE + "\" class=\"" + cls + "\" version=\"" + version +
                    "\">\r\n" +
                    "  <info>\r\n"
                    "    <album-id/>\r\n"
                    "    <volume-count>" +
                    std::to_string(srcs.size()) +
                    "</volume-count>\r\n"
                    "    <volume-number>" +
                    std::to_string(srcs.size()) +
                    "</volume-number>\r\n"
                    "    <restriction>0</restriction>\r\n"
                    "  </info>\r\n"
                    "  <pvd>\r\n"
                    "    <volume-id>" +
                    volumeId +
                    "</volume-id>\r\n"
                    "    <system-id>CD-RTOS CD-BRIDGE</system-id>\r\n"
                    "    <application-id>Orvanta DVD Creator</application-id>\r\n"
                    "    <preparer-id/>\r\n"
                    "    <publisher-id>Tavoe Software Inc.</publisher-id>\r\n"
                    "  </pvd>\r\n"
                    "  <sequence-items>\r\n";
    for (std::size_t i = 0; i < srcs.size(); ++i)
        d += "    <sequence-item src=\"" + srcs[i] + "\" id=\"seq_" + std::to_string(i) +
             "_movie\"/>\r\n";
    return d + "  </sequence-items>\r\n</videocd>\r\n";
}

TEST(VcdXmlWriter, WritesTheDocumentOfEveryKindLineByLine) {
    struct Case {
        int kind;
        const char* cls;
        const char* version;
    } cases[] = {{1, "vcd", "1.0"},
                 {2, "vcd", "1.1"},
                 {3, "vcd", "2.0"},
                 {4, "svcd", "1.0"},
                 {5, "hqvcd", "1.0"}};
    TempDir dir;
    for (const auto& c : cases) {
        CVcdXmlWriter w;
        w.kind = c.kind;
        w.volumeId = "MY_DISC";
        w.sources = {"/m/a.mpg", "/m/b.mpg", "/m/c.mpg"};
        ASSERT_EQ(w.WriteFile(dir.File("vcd.xml")), 0) << w.error;
        EXPECT_EQ(ReadAll(dir.File("vcd.xml")),
                  Document(c.cls, c.version, "MY_DISC", {"/m/a.mpg", "/m/b.mpg", "/m/c.mpg"}))
            << "kind " << c.kind;
    }
}

TEST(VcdXmlWriter, DefaultsAndAnEmptyList) {
    CVcdXmlWriter w;
    EXPECT_EQ(w.kind, 3);
    EXPECT_EQ(w.volumeId, "no_volume");
    auto text = w.BuildDocument();
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, Document("vcd", "2.0", "no_volume", {}));
}

TEST(VcdXmlWriter, FormatLineIndentsAndExpands) {
    EXPECT_EQ(CVcdXmlWriter::FormatLine(0, "<a>"), "<a>");
    EXPECT_EQ(CVcdXmlWriter::FormatLine(4, "<n>%d</n>", 12), "    <n>12</n>");
    EXPECT_EQ(CVcdXmlWriter::FormatLine(2, "%s", ""), "  ");
}

TEST(VcdXmlWriter, EscapesByCharacterAndKeepsTheReferenceTable) {
    struct Case {
        const char* text;
        const char* written;
    } cases[] = {
        {"", ""},
        {"Tom & Jerry", "Tom &#038; Jerry"},
        {"caf\xC3\xA9", "caf&#233;"},         // e acute from the table
        {"\xC2\xA1\xC3\xBF", "&#161;&#255;"}, // first and last entry of the table
        {"Stra\xC3\x9F"
         "e \xC3\x98",
         "Stra\xC3\x9F"
         "e \xC3\x98"}, // sharp s, O stroke: not in it
        {"<a href=\"x\">'", "&#060;a href=&#034;x&#034;&#062;&#039;"},
        {"a\tb\nc\rd", "a&#009;b&#010;c&#013;d"},
        {"\xD0\xB6 \xE6\x97\xA5 \xF0\x9F\x8E\xAC", "\xD0\xB6 \xE6\x97\xA5 \xF0\x9F\x8E\xAC"},
        {"\x7F", "\x7F"},
    };
    for (const auto& c : cases) {
        auto out = CVcdXmlWriter::EscapeEntities(c.text);
        ASSERT_TRUE(out) << c.text;
        EXPECT_EQ(*out, c.written) << c.text;
    }
    const char* refused[] = {
        "\xE9",             // Latin-1 byte, not UTF-8
        "ok\xC3",           // cut sequence
        "\xC3(",            // bad continuation byte
        "\xC0\xAF",         // overlong slash
        "\xED\xA0\x80",     // surrogate
        "\xF4\x90\x80\x80", // beyond U+10FFFF
        "bell\x07",         // control character XML cannot hold
        "\xEF\xBF\xBE",     // U+FFFE
    };
    for (const char* text : refused)
        EXPECT_FALSE(CVcdXmlWriter::EscapeEntities(text)) << text;
    EXPECT_FALSE(CVcdXmlWriter::EscapeEntities(std::string_view("a\0b", 3)));
}

TEST(VcdXmlWriter, RefusesWithoutTouchingTheFile) {
    TempDir dir;
    const std::string path = dir.File("vcd.xml");
    struct Case {
        int kind;
        std::string label;
        std::string source;
        const char* error;
    } cases[] = {
        {0, "L", "/m/a.mpg", "kind 0"},
        {6, "L", "/m/a.mpg", "kind 6"},
        {3, "bad \xFF label", "/m/a.mpg", "disc label"},
        {4, "L", "/m/caf\xE9.mpg", "/m/caf\xE9.mpg"},
    };
    for (const auto& c : cases) {
        { std::ofstream(path) << "keep"; }
        CVcdXmlWriter w;
        w.kind = c.kind;
        w.volumeId = c.label;
        w.sources = {"/m/first.mpg", c.source};
        EXPECT_EQ(w.WriteFile(path), -1);
        EXPECT_NE(w.error.find(c.error), std::string::npos) << w.error;
        EXPECT_EQ(ReadAll(path), "keep");
    }
    CVcdXmlWriter w;
    EXPECT_EQ(w.WriteFile(dir.File("missing/vcd.xml")), -1);
    EXPECT_NE(w.error.find("missing/vcd.xml"), std::string::npos) << w.error;
}

TEST(VcdXmlWriter, OverwritesCompletelyPrivatelyAndNeverThroughALink) {
    TempDir dir;
    const std::string path = dir.File("vcd.xml");
    { std::ofstream(path) << std::string(10000, 'x'); }
    CVcdXmlWriter w;
    w.sources = {"/m/a.mpg"};
    ASSERT_EQ(w.WriteFile(path), 0) << w.error;
    EXPECT_EQ(ReadAll(path), Document("vcd", "2.0", "no_volume", {"/m/a.mpg"}));

    const std::string fresh = dir.File("fresh.xml");
    ASSERT_EQ(w.WriteFile(fresh), 0);
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Someone else's link in place of the file is not followed.
    const std::string victim = dir.File("victim");
    { std::ofstream(victim) << "precious"; }
    fs::create_symlink(victim, dir.File("link.xml"));
    EXPECT_EQ(w.WriteFile(dir.File("link.xml")), -1);
    EXPECT_EQ(ReadAll(victim), "precious");

    EXPECT_EQ(VcdXmlPathIn("/tmp/pellam-ab12"), "/tmp/pellam-ab12/vcd.xml");
    EXPECT_EQ(VcdXmlPathIn("/tmp/pellam-ab12/"), "/tmp/pellam-ab12/vcd.xml");
}

std::string LongName() {
    // 255 bytes: 100 two-byte letters, an ampersand, a quote and blanks, then padding.
    std::string name;
    for (int i = 0; i < 100; ++i)
        name += "\xC3\xA9";
    name += " & \"x\" '";
    name += std::string(255 - name.size() - 4, 'n');
    name += ".mpg";
    return name;
}

TEST(VcdXmlWriter, OurReaderAndXmllintGetBackEveryLabelAndPath) {
    ASSERT_EQ(LongName().size(), 255u);
    const std::vector<std::string> labels = {
        "Tom & Jerry",
        "Say \"cheese\"",
        "it's <mine> & >yours<",
        "\xC3\x9C"
        "bersicht \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC",
        "caf\xC3\xA9 \xC2\xBD \xC3\xBF",
        " lead and trail ",
        "tab\there",
        "&amp; stays &#038; text",
        "   ",
        "",
    };
    const std::vector<std::string> paths = {
        "/home/me/My Movies/a film.mpg",
        "/home/me/\"quoted\" name.mpg",
        "/home/me/Tom & Jerry/it's <1>.mpg",
        "/home/me/\xD1\x84\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC \xE6\x98\xA0\xE7\x94\xBB.mpg",
        "/home/me/line\nbreak\r\tand tab.mpg",
        "/home/me/" + LongName(),
        "/home/me/" + LongName() + "/" + LongName(),
    };
    TempDir dir;
    const std::string path = dir.File("vcd.xml");
    for (std::size_t i = 0; i < labels.size(); ++i) {
        CVcdXmlWriter w;
        w.kind = i % 2 ? 4 : 3;
        w.volumeId = labels[i];
        w.sources = paths;
        ASSERT_EQ(w.WriteFile(path), 0) << w.error;

        ReadBack back;
        ReadWithOurReader(path, back);
        ASSERT_EQ(back.result, 0) << labels[i] << "\n" << back.log;
        EXPECT_EQ(back.desc.vcdType, i % 2 ? 4 : 3) << back.log; // svcd 1.0 / vcd 2.0
        EXPECT_EQ(back.desc.volumeId.value_or(""), labels[i]);
        ASSERT_EQ(back.desc.sequenceItems.size(), paths.size());
        for (std::size_t p = 0; p < paths.size(); ++p) {
            EXPECT_EQ(back.desc.sequenceItems[p].src, paths[p]);
            EXPECT_EQ(back.desc.sequenceItems[p].id, "seq_" + std::to_string(p) + "_movie");
        }
        EXPECT_EQ(back.desc.volumeCount, static_cast<int>(paths.size()));
        EXPECT_EQ(back.desc.publisherId.value_or(""), "Tavoe Software Inc.");

        if (HaveTool("xmllint")) {
            EXPECT_EQ(std::system(("xmllint --noout " + ShellQuote(path)).c_str()), 0) << labels[i];
        }
    }
    if (!HaveTool("xmllint")) GTEST_SKIP() << "xmllint is not installed";
}

TEST(VcdXmlWriter, TheBuilderMakesAnImageFromTheWrittenDocument) {
    TempDir dir;
    // The fixtures under names that broke the old document: an ampersand, quotes, non-Latin.
    const std::string folder =
        dir.File("Tom & Jerry's \"best\" <\xD1\x84\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC>");
    fs::create_directory(folder);
    const std::vector<std::string> sources = {folder + "/ntsc caf\xC3\xA9.mpg",
                                              folder + "/film & more.mpg"};
    fs::copy_file(std::string(PELLAM_FIXTURES) + "/vcd_ntsc.mpg", sources[0]);
    fs::copy_file(std::string(PELLAM_FIXTURES) + "/vcd_film.mpg", sources[1]);

    CVcdXmlWriter w;
    w.kind = 3;
    w.volumeId = "Tom & Jerry";
    w.sources = sources;
    // As the burn job does: into the user's private temporary folder.
    platform::PrivateTempFolder temp;
    const std::string xml = VcdXmlPathIn(temp);
    ASSERT_EQ(xml, temp.Path() + "vcd.xml");
    struct stat st {};
    ASSERT_EQ(::stat(temp.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(w.WriteFile(xml), 0) << w.error;

    VcdBuildOptions o;
    ASSERT_TRUE(VcdSetPath(o.xmlPath, xml));
    ASSERT_TRUE(VcdSetPath(o.cuePath, dir.File("VideoCD.cue")));
    ASSERT_TRUE(VcdSetPath(o.binPath, dir.File("VideoCD.bin")));
    RecordingWindow window;
    int cancel = 0;
    ASSERT_EQ(VcdBuildImage(&window, "msg_QuvoDiscBuilder", &o, &cancel), 0) << window.lines;
    const auto bin = fs::file_size(dir.File("VideoCD.bin"));
    EXPECT_EQ(bin % 2352, 0u);
    // Both MPEG tracks are in the image, so it is larger than the two files together.
    EXPECT_GT(bin, fs::file_size(sources[0]) + fs::file_size(sources[1]));
    // The label reaches the disc: the volume id of the primary volume descriptor (sector 16 of
    // the Mode 2 Form 1 track, after sync, header and subheader).
    const std::string image = ReadAll(dir.File("VideoCD.bin"));
    ASSERT_GT(image.size(), 17u * 2352);
    const std::size_t pvd = 16 * 2352 + 24;
    EXPECT_EQ(image.substr(pvd, 6), "\x01"
                                    "CD001");
    EXPECT_EQ(image.substr(pvd + 40, 32), "Tom & Jerry" + std::string(21, ' '));
    const std::string cue = ReadAll(dir.File("VideoCD.cue"));
    EXPECT_NE(cue.find("TRACK 03"), std::string::npos) << cue;

    if (!HaveTool("cd-info")) GTEST_SKIP() << "cd-info is not installed";
    const std::string listing = dir.File("cd-info.txt");
    std::system(("cd-info --no-device-info --cue-file " + ShellQuote(dir.File("VideoCD.cue")) +
                 " > " + ShellQuote(listing) + " 2>&1")
                    .c_str());
    const std::string info = ReadAll(listing);
    EXPECT_NE(info.find("Volume     : Tom & Jerry\n"), std::string::npos) << info;
    EXPECT_NE(info.find("CD-RTOS"), std::string::npos) << info;
}

} // namespace

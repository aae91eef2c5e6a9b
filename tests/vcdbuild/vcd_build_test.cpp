#include "cdrdao_sink.h"
#include "image_files.h"
#include "log_capture.h"
#include "vcd_build.h"
#include "videocd_xml.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using imgtest::TempDir;

std::string WriteProject(const TempDir& dir, const std::string& body, const char* cls = "vcd",
                         const char* version = "2.0") {
    std::string path = dir.File("project.xml");
    std::ofstream out(path);
    out << "<?xml version=\"1.0\"?>\n<!DOCTYPE videocd PUBLIC \"" << VIDEOCD_DTD_PUBLIC_ID
        << "\" \"" << VIDEOCD_DTD_SYSTEM_ID << "\">\n<videocd xmlns=\"" << VIDEOCD_XML_NAMESPACE
        << "\" class=\"" << cls << "\" version=\"" << version << "\">\n"
        << "<info/><pvd><volume-id>TEST</volume-id></pvd>\n"
        << body << "</videocd>\n";
    return path;
}

std::string SequenceItems(std::initializer_list<const char*> fixtures) {
    std::string s = "<sequence-items>\n";
    for (const char* f : fixtures)
        s += std::string("<sequence-item src=\"") + PELLAM_FIXTURES + "/" + f + "\"/>\n";
    return s + "</sequence-items>\n";
}

VcdBuildOptions Options(const std::string& xml, const std::string& cue, const std::string& bin) {
    VcdBuildOptions o;
    EXPECT_TRUE(VcdSetPath(o.xmlPath, xml));
    EXPECT_TRUE(VcdSetPath(o.cuePath, cue));
    EXPECT_TRUE(VcdSetPath(o.binPath, bin));
    return o;
}

std::size_t Entries(const std::string& dir) {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir)) (void)e, ++n;
    return n;
}

// Runs a front end whose lines go to a recording window.
struct WindowBuild {
    RecordingWindow window;
    CVcdXmlBuild build;
    explicit WindowBuild(const VcdBuildOptions& o)
        : build(&window, platform::RegisterWindowMessage("msg_QuvoDiscBuilder"), o) {}
    bool Has(int level, const std::string& part) const {
        for (const auto& l : window.lines)
            if (l.level == level && l.text.find(part) != std::string::npos) return true;
        return false;
    }
};

TEST(BuildFrontEnd, MissingXmlPathTouchesNothing) {
    TempDir dir;
    VcdBuildOptions o;
    ASSERT_TRUE(VcdSetPath(o.cuePath, dir.File("x.cue")));
    WindowBuild b(o);
    EXPECT_EQ(b.build.Run(), 1);
    EXPECT_TRUE(b.Has(VCD_LOG_ERROR, "xml input file argument missing"));
    EXPECT_EQ(Entries(dir.path()), 0u);
}

TEST(BuildFrontEnd, VersionWinsOverHelpAndUsage) {
    VcdBuildOptions o;
    o.showVersion = o.showHelp = o.showUsage = 1;
    WindowBuild b(o);
    EXPECT_EQ(b.build.Run(), 0);
    ASSERT_EQ(b.window.versionBanners.size(), 1u);
    EXPECT_EQ(b.window.versionBanners[0].rfind("QuvoDiscBuild 6.0.7.10(win32)\n", 0), 0u);
    EXPECT_TRUE(b.window.lines.empty());
}

TEST(BuildFrontEnd, UsageTextNamesTheProgramInLowerCase) {
    VcdBuildOptions o;
    o.showUsage = 1;
    WindowBuild b(o);
    EXPECT_EQ(b.build.Run(), 0);
    ASSERT_EQ(b.window.lines.size(), 13u);
    EXPECT_EQ(b.window.lines[0].text, "QuvoDiscBuild 6.0.7.10(win32)\n");
    EXPECT_EQ(b.window.lines[2].text, " quvodiscbuild [/?] | [-h] | [/help] | [/u] | [-usage]\n");
    for (const auto& l : b.window.lines) EXPECT_EQ(l.level, VCD_LOG_RAW);
}

TEST(BuildFrontEnd, OutputPathsFollowTheGivenOnes) {
    TempDir dir;
    const std::string img = dir.File("IMG");
    struct Case {
        int type;
        std::string cue, bin;
        std::string wantA, wantB; // sink paths; for TOC sinkB is the image base
    } cases[] = {
        {VCD_IMAGE_BINCUE, img + "/videocd.cue", "", img + "/videocd.cue", img + "/videocd.bin"},
        {VCD_IMAGE_BINCUE, dir.File("x.img"), "", dir.File("x.cue"), dir.File("x.bin")},
        {VCD_IMAGE_BINCUE, dir.File("a.cue"), dir.File("b.dat"), dir.File("a.cue"),
         dir.File("b.bin")},
        {VCD_IMAGE_TOC, img + "/videocd.cue", "", img + "/videocd.toc", img + "/videocd"},
        {VCD_IMAGE_NRG, dir.File("ignored.cue"), dir.File("disc.img"), dir.File("disc.nrg"),
         dir.File("disc.nrg")},
    };
    for (const auto& c : cases) {
        VcdBuildOptions o = Options(dir.File("p.xml"), c.cue, c.bin);
        o.imageType = c.type;
        WindowBuild b(o);
        ASSERT_EQ(b.build.Prepare(), 0) << c.cue;
        ASSERT_NE(b.build.sinks.sinkA, nullptr);
        ASSERT_NE(b.build.sinks.sinkB, nullptr);
        EXPECT_EQ(b.build.sinks.sinkA->path(), c.wantA);
        if (c.type == VCD_IMAGE_TOC) {
            EXPECT_EQ(static_cast<CVcdCdrDao*>(b.build.sinks.sinkB)->imgBase(), c.wantB);
            EXPECT_EQ(static_cast<CVcdCdrDao*>(b.build.sinks.sinkA)->imgBase(), c.wantB);
        } else {
            EXPECT_EQ(b.build.sinks.sinkB->path(), c.wantB);
        }
        EXPECT_EQ(c.type == VCD_IMAGE_NRG, b.build.sinks.sinkA == b.build.sinks.sinkB);
    }
    EXPECT_FALSE(fs::exists(img)); // preparing creates no file
}

TEST(BuildFrontEnd, EntryRefusesMissingWindowMessageOrOptions) {
    VcdBuildOptions o;
    RecordingWindow window;
    platform::SetActiveWindow(nullptr);
    EXPECT_EQ(VcdBuildImage(nullptr, "msg_QuvoDiscBuilder", &o, nullptr), -1);
    EXPECT_EQ(VcdBuildImage(&window, "", &o, nullptr), -1);
    EXPECT_EQ(VcdBuildImage(&window, nullptr, &o, nullptr), -1);
    EXPECT_EQ(VcdBuildImage(&window, "msg_QuvoDiscBuilder", nullptr, nullptr), -1);
    EXPECT_TRUE(window.lines.empty());
    // A null window stands for the active one.
    platform::SetActiveWindow(&window);
    EXPECT_EQ(VcdBuildImage(nullptr, "msg_QuvoDiscBuilder", &o, nullptr), 1);
    platform::SetActiveWindow(nullptr);
    EXPECT_FALSE(window.lines.empty());
}

TEST(BuildFrontEnd, BuildsAnImageAndReportsToTheWindow) {
    TempDir dir;
    std::string xml = WriteProject(dir, SequenceItems({"vcd_ntsc.mpg", "vcd_film.mpg"}));
    VcdBuildOptions o = Options(xml, dir.File("VideoCD.cue"), dir.File("VideoCD.bin"));
    o.progress = 1;
    RecordingWindow window;
    int cancel = 0;
    EXPECT_EQ(VcdBuildImage(&window, "msg_QuvoDiscBuilder", &o, &cancel), 0);
    bool finished = false;
    for (const auto& l : window.lines)
        finished |= l.level == VCD_LOG_INFO &&
                    l.text.rfind("finished ok, image created with ", 0) == 0;
    EXPECT_TRUE(finished);
    EXPECT_EQ(window.lastMessage, platform::RegisterWindowMessage("msg_QuvoDiscBuilder"));
    ASSERT_FALSE(window.writeBlocks.empty());
    EXPECT_EQ(window.writeBlocks.back().percent, 100);
    EXPECT_FALSE(window.scanBlocks.empty());
    // The burner's variant never sends GUI-mode XML lines.
    for (const auto& l : window.lines) EXPECT_EQ(l.text.find("<progress"), std::string::npos);
    auto binSize = fs::file_size(dir.File("VideoCD.bin"));
    EXPECT_EQ(binSize % 2352, 0u);
    EXPECT_GT(binSize, 300u * 2352);
}

// Sets the cancel flag as soon as the writer reports the first sequence track.
class CancellingWindow : public RecordingWindow {
  public:
    int cancel = 0;
    platform::LRESULT OnMessage(unsigned m, platform::WPARAM w, platform::LPARAM l) override {
        RecordingWindow::OnMessage(m, w, l);
        if (!writeBlocks.empty() && writeBlocks.back().track >= 2)
            std::atomic_ref<int>(cancel).store(1);
        return 0;
    }
};

TEST(BuildFrontEnd, CancelDuringTheWriteFailsTheBuild) {
    TempDir dir;
    std::string xml = WriteProject(dir, SequenceItems({"vcd_ntsc.mpg", "vcd_pal.mpg"}));
    VcdBuildOptions o = Options(xml, dir.File("VideoCD.cue"), dir.File("VideoCD.bin"));
    o.progress = 1;
    CancellingWindow window;
    EXPECT_EQ(VcdBuildImage(&window, "msg_QuvoDiscBuilder", &o, &window.cancel), 1);
    auto has = [&](int level, const char* text) {
        for (const auto& l : window.lines)
            if (l.level == level && l.text.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has(VCD_LOG_INFO, "finished with ERRORS, due to user's request to cancel."));
    EXPECT_TRUE(has(VCD_LOG_ERROR, "building videocd failed"));
    // What was written stays: track 1 at least.
    EXPECT_GE(fs::file_size(dir.File("VideoCD.bin")), 300u * 2352);
}

TEST(BuildFrontEnd, FailedReadAndUnknownTypeAreFailures) {
    TempDir dir;
    struct Case {
        const char* cls;
        const char* version;
        const char* error;
    } cases[] = {{"vcd", "3.0", "parsing tree failed"}, {"svcd", "2.0", "parsing tree failed"}};
    for (const auto& c : cases) {
        std::string xml = WriteProject(dir, SequenceItems({"vcd_ntsc.mpg"}), c.cls, c.version);
        WindowBuild b(Options(xml, dir.File("o.cue"), ""));
        EXPECT_EQ(b.build.Run(), 1);
        EXPECT_TRUE(b.Has(VCD_LOG_ERROR, c.error)) << c.cls << " " << c.version;
    }
    WindowBuild missing(Options(dir.File("none.xml"), dir.File("o.cue"), ""));
    EXPECT_EQ(missing.build.Run(), 1);
    EXPECT_TRUE(missing.Has(VCD_LOG_ERROR, "error while parsing file `"));
}

} // namespace

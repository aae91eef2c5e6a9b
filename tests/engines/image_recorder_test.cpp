// The Image Recorder burning a real VideoCD image built by the vcdbuild command, read back with
// cd-info, cdrdao show-toc and bchunk.
#include "cd_engine_support.h"

#include "burner/writers/cd_writer.h"
#include "engines/cd/cd_error_codes.h"
#include "engines/cd/cue_sheet.h"
#include "engines/cd/image_recorder.h"
#include "engines/cd/system_cd_engine.h"
#include "engines/tools/tool_process.h"
#include "platform/message_boxes.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

using namespace engines;
using testfiles::ReadAll;

namespace {

std::string RunProgram(const std::vector<std::string>& argv, int* status,
                       const std::string& dir = {}) {
    std::vector<std::string> lines;
    *status = RunTool(argv, &lines, dir);
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

// One image for all tests: a VCD 2.0 of the PAL fixture.
class BuiltImage {
  public:
    BuiltImage() {
        const std::string xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE videocd PUBLIC \"-//Orvanta//DTD VideoCD//EN\" "
            "\"http://pellam.org/xml/videocd/1.0/videocd.dtd\">\n"
            "<videocd xmlns=\"http://pellam.org/xml/videocd/1.0\" class=\"vcd\" version=\"2.0\">\n"
            "<info><album-id>PELLAM</album-id><volume-count>1</volume-count>"
            "<volume-number>1</volume-number></info>\n"
            "<pvd><volume-id>PELLAM_REC</volume-id><application-id>PELLAM_TEST</application-id>"
            "</pvd>\n<sequence-items>\n<sequence-item src=\"" PELLAM_FIXTURES
            "/vcd_pal.mpg\" id=\"seq-pal\"></sequence-item>\n</sequence-items>\n</videocd>\n";
        testfiles::WriteAll(dir.File("project.xml"), xml);
        cue = dir.File("VideoCD.cue");
        bin = dir.File("VideoCD.bin");
        build = RunProgram({PELLAM_VCDBUILD, "-x", dir.File("project.xml"), "-c", cue, "-b", bin},
                           &status);
    }
    cdtest::TempDir dir;
    std::string cue, bin, build;
    int status = -1;
};

const BuiltImage& Image() {
    static BuiltImage image;
    return image;
}

class NullHost : public CdWriterHost {
  public:
    bool burned = false;
    void SetStateValue(int) override {}
    void MarkBurned() override { burned = true; }
    void LogLine(const std::string&) override {}
    void OnCdProcess(float) override {}
    void OnCdFinalize() override {}
    void OnCdBurnDone(const char*) override {}
    void OnCdEraseDone() override {}
};

class Recorder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Image().status, 0) << Image().build;
        // The readers below want the real cdrdao, not the bench's fake.
        std::filesystem::remove(bench_.Path("cdrdao"));
        // No drives: the recorder is D:.
        config_.drives.cdromInfo = bench_.Path("no-such-table");
        engine_ = MakeSystemCdEngine(config_);
        writer_ = std::make_unique<CdWriter>(*engine_, boxes_, host_);
        WriterCombo list;
        writer_->FillCdWriterList(list);
        ASSERT_EQ(list.rows, std::vector<std::string>{"D: Pellam Image Recorder"});
        ASSERT_EQ(list.selected, 0);
        events_.Attach(*engine_);
        ASSERT_EQ(writer_->SelectCdWriter('D'), 0);
    }
    std::string Discs() const { return bench_.Home() + "/Pellam/discs"; }
    std::vector<std::string> DiscFiles() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(Discs(), ec))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    cdtest::CdToolBench bench_; // HOME
    SystemCdConfig config_;
    std::unique_ptr<CdEngine> engine_;
    platform::RecordingMessageBoxes boxes_;
    NullHost host_;
    std::unique_ptr<CdWriter> writer_;
    cdtest::EventLog events_;
};

TEST_F(Recorder, RecordsTheImageAsItIs) {
    ASSERT_EQ(writer_->BurnCdImage(Image().cue, "HOLIDAY 2026"), 0);
    EXPECT_TRUE(host_.burned);
    ASSERT_TRUE(events_.WaitFor("burn-done"));
    std::vector<std::string> events = events_.Events();
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[events.size() - 3], "process 100.0");
    EXPECT_EQ(events[events.size() - 2], "finalize");
    EXPECT_EQ(events.back(), "burn-done ");
    std::vector<float> percents = events_.Percents();
    EXPECT_GT(percents.size(), 2u); // the copy moves in steps
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_TRUE(boxes_.Texts().empty());

    ASSERT_EQ(DiscFiles(), (std::vector<std::string>{"HOLIDAY_2026-1.bin", "HOLIDAY_2026-1.cue"}));
    const std::string cue = Discs() + "/HOLIDAY_2026-1.cue";
    const std::string bin = Discs() + "/HOLIDAY_2026-1.bin";
    EXPECT_TRUE(ReadAll(bin) == ReadAll(Image().bin)) << "the BIN differs from the image";
    // The sheet is the builder's, byte for byte, but for the name of its BIN.
    std::string expected = ReadAll(Image().cue);
    const std::string sourceLine = "FILE \"" + Image().bin + "\" BINARY";
    ASSERT_EQ(expected.rfind(sourceLine, 0), 0u) << expected;
    expected.replace(0, sourceLine.size(), "FILE \"HOLIDAY_2026-1.bin\" BINARY");
    EXPECT_EQ(ReadAll(cue), expected);

    int status = -1;
    std::string info = RunProgram({"cd-info", "--no-device-info", "--no-cddb", "--cue-file", cue},
                                  &status, Discs());
    EXPECT_EQ(status, 0) << info;
    EXPECT_NE(info.find("Video CD"), std::string::npos) << info;
    EXPECT_NE(info.find("  2: 00:08:00  000450 XA"), std::string::npos) << info;

    std::string toc = RunProgram({"cdrdao", "show-toc", cue}, &status, Discs());
    EXPECT_EQ(status, 0) << toc;
    EXPECT_NE(toc.find("TOC TYPE: CD_ROM_XA"), std::string::npos) << toc;
    EXPECT_NE(toc.find("TRACK  2  Mode MODE2_RAW:"), std::string::npos) << toc;

    // bchunk splits both pairs into the same tracks.
    std::filesystem::create_directories(bench_.Path("from-source"));
    std::filesystem::create_directories(bench_.Path("from-disc"));
    RunProgram({"bchunk", Image().bin, Image().cue, bench_.Path("from-source/t")}, &status);
    ASSERT_EQ(status, 0);
    RunProgram({"bchunk", bin, cue, bench_.Path("from-disc/t")}, &status);
    ASSERT_EQ(status, 0);
    for (const char* track : {"t01.iso", "t02.iso"}) {
        SCOPED_TRACE(track);
        std::string a = ReadAll(bench_.Path(std::string("from-source/") + track));
        EXPECT_FALSE(a.empty());
        EXPECT_TRUE(a == ReadAll(bench_.Path(std::string("from-disc/") + track)));
    }

    // A second copy gets the next number; the first stays as it was.
    ASSERT_EQ(writer_->BurnCdImage(Image().cue, "HOLIDAY 2026"), 0);
    cdtest::EventLog second;
    second.Attach(*engine_);
    ASSERT_TRUE(events_.WaitFor("burn-done") && second.WaitFor("burn-done"));
    EXPECT_EQ(DiscFiles(), (std::vector<std::string>{"HOLIDAY_2026-1.bin", "HOLIDAY_2026-1.cue",
                                                     "HOLIDAY_2026-2.bin", "HOLIDAY_2026-2.cue"}));
    EXPECT_TRUE(ReadAll(Discs() + "/HOLIDAY_2026-2.bin") == ReadAll(Image().bin));
}

TEST_F(Recorder, NeverOverwrites) {
    // A leftover BIN of number 1 without its sheet still takes the number.
    std::filesystem::create_directories(Discs());
    testfiles::WriteAll(Discs() + "/VideoCD-1.bin", "keep");
    ASSERT_EQ(writer_->BurnCdImage(Image().cue, "BS_NDEF"), 0);
    ASSERT_TRUE(events_.WaitFor("burn-done"));
    EXPECT_EQ(events_.Events().back(), "burn-done ");
    EXPECT_EQ(ReadAll(Discs() + "/VideoCD-1.bin"), "keep");
    EXPECT_TRUE(cdtest::Exists(Discs() + "/VideoCD-2.cue"));
    EXPECT_FALSE(cdtest::Exists(Discs() + "/VideoCD-1.cue"));
}

TEST_F(Recorder, AbortMidCopyRemovesThePartialDisc) {
    std::promise<void> reached, aborted;
    std::shared_future<void> go = aborted.get_future().share();
    bool first = true;
    events_.onProcess = [&](float) {
        if (!first) return;
        first = false;
        reached.set_value();
        go.wait(); // the copy stands still until the abort has been asked for
    };
    ASSERT_EQ(writer_->BurnCdImage(Image().cue, "ABORTED"), 0);
    reached.get_future().wait();
    EXPECT_EQ(DiscFiles(), (std::vector<std::string>{"ABORTED-1.bin", "ABORTED-1.cue"}));
    EXPECT_EQ(writer_->AbortCd(), 0);
    aborted.set_value();
    ASSERT_TRUE(events_.WaitFor("burn-done"));
    std::vector<std::string> events = events_.Events();
    EXPECT_EQ(events.size(), 2u); // one step, then the end
    EXPECT_EQ(events.back(), "burn-done The burn was aborted.");
    EXPECT_TRUE(DiscFiles().empty());
}

TEST_F(Recorder, EraseAndMediumAndRefusals) {
    ASSERT_EQ(writer_->EraseCd(), 0);
    ASSERT_TRUE(events_.WaitFor("erase-done"));
    EXPECT_EQ(events_.Events(), std::vector<std::string>{"erase-done"});

    CdMediumInfo info;
    ASSERT_EQ(writer_->GetCdMedium(info), 0);
    EXPECT_STREQ(info.typeName, "CD-R");
    EXPECT_EQ(info.status, 0);

    // No folder for the discs: the burn is refused at once with the engine's text.
    std::filesystem::create_directories(bench_.Home());
    testfiles::WriteAll(bench_.Home() + "/Pellam", "a file where the folder belongs");
    EXPECT_EQ(writer_->BurnCdImage(Image().cue, "X"), -1);
    ASSERT_EQ(boxes_.Texts().size(), 1u);
    EXPECT_EQ(boxes_.Texts()[0], "error: " + CdErrorText(kCdErrDiscsFolder));
}

TEST(RecorderNames, StemsAndSheets) {
    struct Case {
        const char* label;
        const char* stem;
    } stems[] = {{"HOLIDAY 2026", "HOLIDAY_2026"}, {"", "VideoCD"},        {"BS_NDEF", "VideoCD"},
                 {"../etc/x", "_._etc_x"},         {".hidden", "_hidden"}, {"Ünï", "__n__"}};
    for (const Case& c : stems)
        EXPECT_EQ(DiscFileStem(c.label), c.stem) << c.label;
    EXPECT_EQ(DiscFileStem(std::string(200, 'A')).size(), 64u);

    CueSheet sheet;
    const std::string two = "REM two\r\nFILE a.bin BINARY\r\n  TRACK 01 MODE2/2352\r\n"
                            "    INDEX 01 00:00:00\r\nFILE \"b c.bin\" BINARY\r\n"
                            "  TRACK 02 MODE2/2352\r\n    INDEX 01 00:00:00\r\n";
    ASSERT_TRUE(ParseCueSheet(two, sheet));
    EXPECT_EQ(sheet.files, (std::vector<std::string>{"a.bin", "b c.bin"}));
    EXPECT_EQ(RenameCueFiles(sheet, {"X-1.bin", "X-1-2.bin"}),
              "REM two\r\nFILE \"X-1.bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n"
              "    INDEX 01 00:00:00\r\nFILE \"X-1-2.bin\" BINARY\r\n"
              "  TRACK 02 MODE2/2352\r\n    INDEX 01 00:00:00\r\n");
    EXPECT_FALSE(ParseCueSheet("TRACK 01 MODE2/2352\n", sheet));
    EXPECT_FALSE(ParseCueSheet("FILE \"unterminated BINARY\n", sheet));
    EXPECT_EQ(ResolveCueFile("/job/VideoCD.cue", "VideoCD.bin"), "/job/VideoCD.bin");
    EXPECT_EQ(ResolveCueFile("/job/VideoCD.cue", "/abs.bin"), "/abs.bin");
}

} // namespace

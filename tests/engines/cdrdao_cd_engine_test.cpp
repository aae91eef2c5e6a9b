// The CD engine on a drive, with a fake cdrdao replaying recorded transcripts.
#include "cd_engine_support.h"

#include "burner/writers/cd_writer.h"
#include "engines/cd/cd_error_codes.h"
#include "engines/cd/cdrdao_output.h"
#include "engines/cd/system_cd_engine.h"
#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace engines;
using cdtest::CdTranscript;

namespace {

const std::vector<std::string> kDiskInfoHead = {
    "Cdrdao version 1.2.4 - (C) Andreas Mueller <andreas@daneb.de>",
    "/dev/sr0: HL-DT-ST BD-RE WP50NB40       Rev: 1.03",
    "Using driver: Generic SCSI-3/MMC - Version 2.0 (options 0x0000)",
    "",
    "That data below may not reflect the real status of the inserted medium",
    "if a simulation run was performed before. Reload the medium in this case.",
    ""};

// No transcript of a recordable disc was found; these follow the field order and formats of
// cdrdao 1.2.4's disk-info.
std::vector<std::string> DiskInfo(bool rewritable, bool empty) {
    std::vector<std::string> lines = kDiskInfoHead;
    lines.push_back(std::string("CD-RW                : ") + (rewritable ? "yes" : "no"));
    lines.push_back("Total Capacity       : 79:59:74 (359999 blocks, 703/807 MB)");
    lines.push_back("CD-R medium          : Ritek Co.");
    lines.push_back("                       Short Strategy Type, e.g. Phthalocyanine");
    lines.push_back("Recording Speed      : 4X - 10X");
    lines.push_back(std::string("CD-R empty           : ") + (empty ? "yes" : "no"));
    if (!empty) {
        lines.push_back("Toc Type             : CD-ROM XA");
        lines.push_back("Sessions             : 1");
        lines.push_back("Last Track           : 2");
        lines.push_back("Appendable           : no");
    }
    return lines;
}

class Host : public CdWriterHost {
  public:
    int state = -1;
    bool burned = false;
    std::vector<std::string> log;
    void SetStateValue(int s) override { state = s; }
    void MarkBurned() override { burned = true; }
    void LogLine(const std::string& text) override { log.push_back(text); }
    // The events go to the engine test's own log, registered after FillCdWriterList.
    void OnCdProcess(float) override {}
    void OnCdFinalize() override {}
    void OnCdBurnDone(const char*) override {}
    void OnCdEraseDone() override {}
};

class CdrdaoEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(bench_.Path("info")) << "drive name:\tsr0\nCan write CD-R:\t1\n"
                                              "Can write CD-RW:\t1\n";
        config_.drives.cdromInfo = bench_.Path("info");
        config_.drives.sysBlock = bench_.Path("block");
        config_.drives.devDir = bench_.Path("dev");
        config_.abortGraceMs = 200;
        device_ = bench_.Path("dev/sr0");
        cue_ = bench_.Path("job/VideoCD.cue");
        std::filesystem::create_directories(bench_.Path("job"));
        std::ofstream(cue_) << "FILE \"VideoCD.bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n"
                               "    INDEX 01 00:00:00\r\n";
        std::ofstream(bench_.Path("job/VideoCD.bin")) << std::string(2352 * 4, '\0');
        engine_ = MakeSystemCdEngine(config_);
        engine_->SetDevice('D');
    }
    void UseBurnProject() {
        ASSERT_EQ(engine_->CreateProject(kCdProjectBurnImage), 0);
        events_.Attach(*engine_);
        ASSERT_EQ(engine_->AddFile(MakeCdBurnRecord(cue_)), 0);
    }
    std::int32_t Medium(CdMediumInfo& info) {
        info = PresetCdMediumInfo();
        return engine_->GetMediumInformation(info);
    }

    cdtest::CdToolBench bench_;
    SystemCdConfig config_;
    std::string device_, cue_;
    std::unique_ptr<CdEngine> engine_;
    cdtest::EventLog events_;
};

TEST_F(CdrdaoEngine, MediumOfTheDisc) {
    struct Case {
        const char* name;
        std::vector<std::string> output;
        int status;
        std::int32_t result;
        const char* type;
        std::int32_t discStatus;
        std::int32_t burn; // what Burn says of this disc; -1: not tried
    } cases[] = {
        {"blank CD-R", DiskInfo(false, true), 0, 0, "CD-R", 0, -1},
        {"blank CD-RW", DiskInfo(true, true), 0, 0, "CD-RW", 0, -1},
        {"CD-RW with data", DiskInfo(true, false), 0, 0, "CD-RW", 1, kCdNoBlankDiscA},
        {"CD-R with data", DiskInfo(false, false), 0, 0, "CD-R", 1, kCdNoBlankDiscA},
        {"pressed two-session CD",
         CdTranscript("cdrdao-disk-info-pressed-multisession-cd-public.txt"), 0, 0, "CD-ROM", 1,
         kCdNoBlankDiscB},
        {"no disc", CdTranscript("cdrdao-disk-info-no-disc-unit-not-ready-public.txt"), 1,
         kCdNoDisc, "BS_NDEF", -1, kCdNoDisc},
        {"no device node", CdTranscript("cdrdao-disk-info-no-device-node.txt"), 1, kCdErrDeviceOpen,
         "BS_NDEF", -1, kCdErrDeviceOpen},
        {"a report cut short", {kDiskInfoHead[0]}, 0, kCdErrDiskInfo, "BS_NDEF", -1, -1},
    };
    ASSERT_EQ(engine_->CreateProject(kCdProjectBurnImage), 0);
    ASSERT_EQ(engine_->AddFile(MakeCdBurnRecord(cue_)), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.output.empty());
        bench_.Replay("disk-info", "sr0", c.output, c.status);
        CdMediumInfo info;
        EXPECT_EQ(Medium(info), c.result);
        EXPECT_STREQ(info.typeName, c.type);
        EXPECT_EQ(info.status, c.discStatus);
        if (c.burn >= 0) {
            EXPECT_EQ(engine_->Burn(), c.burn);
        }
    }
    for (const std::string& call : bench_.Calls()) {
        EXPECT_EQ(call, "cdrdao disk-info --device " + device_); // nothing was written
    }
}

TEST_F(CdrdaoEngine, WithoutCdrdao) {
    cdtest::ScopedEnv path("PATH", bench_.Path("empty").c_str());
    std::filesystem::remove(bench_.Path("cdrdao"));
    CdMediumInfo info;
    EXPECT_EQ(Medium(info), kCdErrNoCdrdao);
    EXPECT_EQ(engine_->Erase(1), kCdErrNoCdrdao);
}

// The successful raw BIN/CUE write, with the progress counter as cdrdao prints it: rewritten in
// place with CR.
std::vector<std::string> WriteOk() {
    std::vector<std::string> lines;
    for (const std::string& line :
         CdTranscript("cdrdao-write-generic-mmc-raw-bincue-ok-public.txt")) {
        if (line.rfind("[sudo]", 0) == 0) continue;
        if (line == "Wrote 767 of 767 MB (Buffers 100% 100%).") {
            std::string counter;
            for (int mb : {0, 192, 384, 575, 767})
                counter += "Wrote " + std::to_string(mb) + " of 767 MB (Buffers 100% 100%).\r";
            lines.push_back(counter);
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}

TEST_F(CdrdaoEngine, BurnThroughTheCdWriter) {
    bench_.Replay("disk-info", "sr0", DiskInfo(false, true), 0);
    bench_.Replay("write", "sr0", WriteOk(), 0);
    platform::RecordingMessageBoxes boxes;
    Host host;
    CdWriter writer(*engine_, boxes, host);
    WriterCombo list;
    writer.FillCdWriterList(list);
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.selected, 1); // the last writer with a CD-R: the recorder
    events_.Attach(*engine_);
    ASSERT_EQ(writer.SelectCdWriter('D'), 0);
    ASSERT_EQ(writer.BurnCdImage(cue_, "HOLIDAY"), 0);
    EXPECT_TRUE(host.burned);
    ASSERT_TRUE(events_.WaitFor("burn-done"));
    EXPECT_EQ(events_.Events(), (std::vector<std::string>{
                                    "process 0.0", "process 25.0", "process 50.1", "process 75.0",
                                    "process 100.0", "finalize", "burn-done "}));
    EXPECT_TRUE(boxes.Texts().empty());
    std::vector<std::string> calls = bench_.Calls();
    ASSERT_FALSE(calls.empty());
    // Byte 405 set by the burn ejects the disc at the end.
    EXPECT_EQ(calls.back(),
              "cdrdao write --device " + device_ + " --driver generic-mmc-raw --eject -n " + cue_);
}

TEST_F(CdrdaoEngine, FailedWrites) {
    struct Case {
        const char* transcript;
        std::string text;
        bool finalize;
    } cases[] = {
        {"cdrdao-write-error-write-data-failed-public.txt", "Write data failed. Writing failed.",
         false},
        {"cdrdao-write-error-bin-not-found.txt",
         "Cannot open data file \"nosuch.bin\": No such file or directory "
         "/tmp/t/cd/missingbin.cue:6: Cannot determine length of track data specification.",
         false},
        {"cdrdao-write-error-bad-cue-syntax.txt", "/tmp/t/cd/badmode.cue:2: Unsupported track mode",
         false},
        {"cdrdao-write-error-track-shorter-than-4s.txt",
         "The toc check function detected at least one warning. If you record this toc the "
         "resulting CD might be unusable or the recording process might abort with error. Use "
         "option --force to ignore the warnings. Toc file \"/tmp/t/cd/odd.cue\" is inconsistent.",
         false},
    };
    bench_.Replay("disk-info", "sr0", DiskInfo(false, true), 0);
    UseBurnProject();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transcript);
        cdtest::EventLog events;
        events.Attach(*engine_);
        bench_.Replay("write", "sr0", CdTranscript(c.transcript), 1);
        ASSERT_EQ(engine_->Burn(), 0);
        ASSERT_TRUE(events.WaitFor("burn-done"));
        std::vector<std::string> got = events.Events();
        EXPECT_EQ(got.back(), "burn-done " + c.text);
        EXPECT_EQ(std::count(got.begin(), got.end(), "finalize"), c.finalize ? 1 : 0);
    }
}

TEST_F(CdrdaoEngine, LeadOutFailureAfterFinalizing) {
    // Lines after the finalize point still count for the error text; the lead-out's own
    // "Wrote 15 of 15 MB." moves nothing.
    std::vector<std::string> lines = WriteOk();
    lines.pop_back(); // "Writing finished successfully."
    lines.push_back("ERROR: Cannot flush cache.");
    bench_.Replay("disk-info", "sr0", DiskInfo(false, true), 0);
    bench_.Replay("write", "sr0", lines, 1);
    UseBurnProject();
    ASSERT_EQ(engine_->Burn(), 0);
    ASSERT_TRUE(events_.WaitFor("burn-done"));
    std::vector<std::string> got = events_.Events();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[got.size() - 3], "process 100.0");
    EXPECT_EQ(got[got.size() - 2], "finalize");
    EXPECT_EQ(got.back(), "burn-done Cannot flush cache.");
}

TEST_F(CdrdaoEngine, EraseThroughTheCdWriter) {
    platform::RecordingMessageBoxes boxes;
    Host host;
    CdWriter writer(*engine_, boxes, host);
    events_.Attach(*engine_);
    bench_.Replay(
        "blank", "sr0",
        {"Cdrdao version 1.2.4 - (C) Andreas Mueller <andreas@daneb.de>", "Blanking disk..."}, 0);
    ASSERT_EQ(writer.EraseCd(), 0);
    EXPECT_EQ(host.state, 1);
    ASSERT_TRUE(events_.WaitFor("erase-done"));
    EXPECT_EQ(events_.Events(),
              (std::vector<std::string>{"process 0.0", "process 100.0", "erase-done"}));
    EXPECT_EQ(bench_.Calls().back(), "cdrdao blank --device " + device_ + " --blank-mode minimal");

    // A failed erase ends the same way, without reaching 100: the burn after it finds the disc
    // still written and refuses it.
    cdtest::EventLog failed;
    failed.Attach(*engine_);
    bench_.Replay("blank", "sr0", CdTranscript("cdrdao-blank-no-device-node.txt"), 1);
    ASSERT_EQ(writer.EraseCd(), 0);
    ASSERT_TRUE(failed.WaitFor("erase-done"));
    EXPECT_EQ(failed.Events(), (std::vector<std::string>{"process 0.0", "erase-done"}));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(CdrdaoEngine, AbortStopsTheWrite) {
    struct Case {
        const char* name;
        const char* script;
    } cases[] = {
        // cdrdao's own clean stop: QUIT ends the write with an error.
        {"stops on QUIT", "trap 'echo \"ERROR: Writing failed.\" >&2; exit 1' QUIT\n"},
        // One that ignores QUIT and TERM (and so does its child) is killed.
        {"ignores QUIT and TERM", "trap '' QUIT TERM\n"},
    };
    bench_.Replay("disk-info", "sr0", DiskInfo(false, true), 0);
    UseBurnProject();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cdtest::EventLog events;
        events.Attach(*engine_);
        bench_.Script("write.sh", std::string(c.script) +
                                      "printf 'Writing track 01 (mode MODE2_RAW/MODE2_RAW )...\\n"
                                      "Wrote 10 of 767 MB (Buffers 100%% 100%%).\\r' >&2\n"
                                      "sleep 30 & wait\nwait\nexit 0\n");
        ASSERT_EQ(engine_->Burn(), 0);
        ASSERT_TRUE(events.WaitFor("process"));
        EXPECT_EQ(engine_->Burn(), kCdErrBusy);
        CdMediumInfo info;
        EXPECT_EQ(Medium(info), kCdErrBusy); // no disk-info beside a running write
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(engine_->Abort(), 0);
        ASSERT_TRUE(events.WaitFor("burn-done", std::chrono::seconds(5)));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(events.Events().back(), "burn-done The burn was aborted.");
    }
    std::filesystem::remove(bench_.Path("write.sh"));
    EXPECT_EQ(engine_->Abort(), 0); // nothing running: nothing to do
}

TEST_F(CdrdaoEngine, Eject) {
    EXPECT_EQ(engine_->EjectDevice(), 0);
    EXPECT_EQ(bench_.Calls(), std::vector<std::string>{"eject " + device_});
    ASSERT_EQ(engine_->SetDevice('E'), 0); // the Image Recorder has no tray
    EXPECT_EQ(engine_->EjectDevice(), 0);
    EXPECT_EQ(bench_.Calls().size(), 1u);
}

TEST_F(CdrdaoEngine, CallsOutOfOrder) {
    struct Case {
        const char* name;
        std::function<std::int32_t(CdEngine&)> call;
        std::int32_t result;
    } cases[] = {
        {"AddFile without a project",
         [this](CdEngine& e) { return e.AddFile(MakeCdBurnRecord(cue_)); }, kCdErrNoProject},
        {"ClearAll without a project", [](CdEngine& e) { return e.ClearAll(); }, kCdErrNoProject},
        {"unknown project kind", [](CdEngine& e) { return e.CreateProject(2); },
         kCdErrBadProjectKind},
        {"a scan record in a burn project",
         [](CdEngine& e) {
             e.CreateProject(kCdProjectBurnImage);
             return e.AddFile(MakeCdScanRecord("/tmp/a.mpg"));
         },
         kCdErrWrongProject},
        {"a cue file in a scanning project",
         [this](CdEngine& e) {
             e.CreateProject(kCdProjectVideoCd);
             return e.AddFile(MakeCdBurnRecord(cue_));
         },
         kCdErrWrongProject},
        {"an empty path",
         [](CdEngine& e) {
             e.CreateProject(kCdProjectBurnImage);
             return e.AddFile(MakeCdBurnRecord(""));
         },
         kCdErrBadRecord},
        {"Prepare without an image",
         [](CdEngine& e) {
             e.CreateProject(kCdProjectBurnImage);
             return e.Prepare();
         },
         kCdErrNoImage},
        {"Prepare of a cue whose BIN is missing",
         [this](CdEngine& e) {
             std::filesystem::remove(bench_.Path("job/VideoCD.bin"));
             e.CreateProject(kCdProjectBurnImage);
             e.AddFile(MakeCdBurnRecord(cue_));
             return e.Prepare();
         },
         kCdErrBadCue},
        {"Burn of that cue",
         [this](CdEngine& e) {
             e.CreateProject(kCdProjectBurnImage);
             e.AddFile(MakeCdBurnRecord(cue_));
             return e.Burn();
         },
         kCdErrBadCue},
        {"Burn without a device",
         [this](CdEngine&) {
             auto fresh = MakeSystemCdEngine(config_);
             fresh->CreateProject(kCdProjectBurnImage);
             fresh->AddFile(MakeCdBurnRecord(cue_));
             return fresh->Burn();
         },
         kCdErrNoDevice},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine_->DeleteProject();
        EXPECT_EQ(c.call(*engine_), c.result);
    }
    EXPECT_TRUE(bench_.Calls().empty());
}

TEST(CdEngineTexts, EveryCodeHasAText) {
    auto engine = MakeSystemCdEngine(SystemCdConfig{});
    char buffer[2048];
    for (std::int32_t code :
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 21, 22, 23, 24}) {
        std::int32_t size = sizeof buffer;
        ASSERT_EQ(engine->GetText(code, buffer, size), 0);
        EXPECT_GT(size, 0);
        EXPECT_EQ(std::string(buffer).find("Unknown"), std::string::npos) << code;
    }
    std::int32_t size = sizeof buffer;
    engine->GetText(0, buffer, size);
    EXPECT_STREQ(buffer, "No error");
    size = sizeof buffer;
    engine->GetText(999, buffer, size);
    EXPECT_STREQ(buffer, "Unknown error (code 999).");
    // A short buffer gets the start of the text, zero-terminated.
    char small[8];
    size = sizeof small;
    ASSERT_EQ(engine->GetText(kCdNoDisc, small, size), 0);
    EXPECT_STREQ(small, "There i");
    EXPECT_EQ(size, 7);
}

TEST(CdrdaoOutput, ProgressLines) {
    EXPECT_FLOAT_EQ(*ParseCdrdaoWriteProgress("Wrote 384 of 768 MB (Buffers 100%  98%)."), 50.0f);
    EXPECT_FLOAT_EQ(*ParseCdrdaoWriteProgress("Wrote 15 of 15 MB."), 100.0f);
    EXPECT_FALSE(ParseCdrdaoWriteProgress("Wrote 342360 blocks. Buffer fill min 100%/max 100%."));
    EXPECT_FALSE(ParseCdrdaoWriteProgress("Wrote 1 of 0 MB."));
    EXPECT_FALSE(ParseCdrdaoWriteProgress("Wrote"));
    EXPECT_FLOAT_EQ(*ParseCdrdaoWriteProgress("Wrote 900 of 767 MB."), 100.0f); // overburn
}

} // namespace

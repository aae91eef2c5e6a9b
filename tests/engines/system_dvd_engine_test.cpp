// The Linux DVD engine driven by the burner's DVD writer: fake dvd+rw-mediainfo, dvd+rw-format
// and growisofs replaying recorded transcripts for the drive, real genisoimage for the Image
// Recorder, read back with isoinfo, udfinfo and lsdvd.
#include "burner/writers/dvd_writer.h"
#include "dvd_fake_tools_support.h"
#include "engines/dvd/dvd_image_recorder.h"
#include "engines/dvd/system_dvd_engine.h"
#include "engines/tools/tool_process.h"
#include "platform/manual_message_loop.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace engines;
using dvdtools::Sh;
using dvdtools::ShellQuote;
using dvdtools::TranscriptLines;
namespace fs = std::filesystem;

namespace {

struct Event {
    unsigned message;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
    bool operator==(const Event&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Event& e) {
    return os << e.message << "/" << e.wParam << "/" << e.lParam;
}

struct EventWindow : platform::MessageTarget {
    std::vector<Event> events;
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam,
                                platform::LPARAM lParam) override {
        events.push_back({message, wParam, lParam});
        return 0;
    }
    bool Has(unsigned message, platform::WPARAM wParam) const {
        for (const Event& e : events)
            if (e.message == message && e.wParam == wParam) return true;
        return false;
    }
};

Event Burn(unsigned wParam, platform::LPARAM lParam = 0) {
    return {WM_DVD_BURN_EVENT, wParam, lParam};
}

// The kernel table with one DVD writer; sysfs is absent, so its address is the fallback one.
const char kInfo[] = "drive name:\t\tsr0\nCan read DVD:\t\t1\nCan write DVD-R:\t1\n";
const DvdDeviceAddress kDrive{0xFE, 0, 0, 0};

const char kNoDisc[] = "No disc in the writer. Please insert a writable dvd disc into the driver.";
const char kNotEmpty[] =
    "The inserted disc is not a empty dvd disc. Please insert a blank disc into the driver.";
const char kNotWritable[] = "The inserted disc is not a writable dvd disc. Please insert a "
                            "writable dvd disc into the driver.";

// The lines of a transcript up to its first empty line (the first of several runs).
std::vector<std::string> FirstRun(const std::string& transcript) {
    std::vector<std::string> lines;
    for (const std::string& l : TranscriptLines(transcript)) {
        if (l.empty()) break;
        lines.push_back(l);
    }
    return lines;
}

class SystemDvdEngineTest : public ::testing::Test {
  protected:
    dvdtools::ToolBench bench;
    platform::ManualMessageLoop loop;
    EventWindow window;
    platform::RecordingMessageBoxes boxes;
    std::unique_ptr<DvdEngine> engine;
    std::unique_ptr<DvdWriter> writer;
    std::string dvd; // the DVD folder, VIDEO_TS inside

    void SetUp() override {
        window.AttachLoop(&loop);
        testfiles::WriteAll(bench.Path("info"), kInfo);
        SystemDvdEngineOptions options;
        options.paths.cdromInfo = bench.Path("info");
        options.paths.sysBlock = bench.Path("sys/block");
        engine = MakeSystemDvdEngine(options);
        writer = std::make_unique<DvdWriter>(*engine, boxes);
        WriterCombo combo;
        writer->ListDvdWriters(combo);
        // The eject is best effort; a fake keeps the machine's drive out of it.
        bench.Script("eject", "exit 0\n");
        dvd = bench.Path("DVD");
    }
    void TearDown() override { writer.reset(); }

    void MakeFakeVideoTs() {
        fs::create_directories(dvd + "/VIDEO_TS");
        fs::create_directories(dvd + "/AUDIO_TS");
        for (const char* name :
             {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_01_0.BUP"})
            testfiles::WriteAll(dvd + "/VIDEO_TS/" + name, std::string(4096, 'x'));
    }
    void MediaInfo(const std::string& transcript, int status) {
        bench.Replay("dvd+rw-mediainfo", TranscriptLines(transcript), status);
    }
    DvdDiscInfo Check(const DvdDeviceAddress& a = kDrive) {
        DvdDiscInfo info;
        writer->GetInsertedDiscInfo(info, a.port, a.bus, a.targetId, a.lun);
        return info;
    }
    bool PumpUntil(unsigned message, platform::WPARAM wParam) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!window.Has(message, wParam) && std::chrono::steady_clock::now() < until)
            loop.PumpWait(std::chrono::milliseconds(50));
        return window.Has(message, wParam);
    }
    void StartBurn(const std::string& folder, const std::string& label,
                   const DvdDeviceAddress& a = kDrive) {
        writer->StartDvdBurn(&window, folder, label, a.port, a.bus, a.targetId, a.lun);
    }
    void Finish() {
        writer->Join();
        loop.Pump();
    }
    bool Called(const std::string& call) const {
        for (const std::string& c : bench.Calls())
            if (c == call) return true;
        return false;
    }
    bool CalledTool(const std::string& tool) const {
        for (const std::string& c : bench.Calls())
            if (c.rfind(tool + " ", 0) == 0) return true;
        return false;
    }
    std::vector<std::string> Images() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(bench.Home() + "/Pellam/discs", ec))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SystemDvdEngineTest, DiscCheckFromTheRecordedMedia) {
    struct Case {
        const char* transcript;
        int status;
        DvdDiscInfo expected;
        const char* box; // nullptr: none
    };
    const Case cases[] = {
        {"dvd+rw-mediainfo-dvd+r-blank-public.txt", 0, {1, 0, 1}, nullptr},
        {"dvd+rw-mediainfo-dvd-r-blank-public.txt", 0, {1, 0, 1}, nullptr},
        {"dvd+rw-mediainfo-dvd-rw-sequential-blank-public.txt", 0, {1, 1, 1}, nullptr},
        {"dvd+rw-mediainfo-dvd+rw-with-data-public.txt", 0, {1, 1, 0}, nullptr},
        {"dvd+rw-mediainfo-dvd-rw-sequential-appendable-public.txt", 0, {1, 1, 0}, nullptr},
        {"dvd+rw-mediainfo-dvd+r-complete-public.txt", 0, {0, 0, 0}, kNotEmpty},
        {"dvd+rw-mediainfo-dvd-r-appendable-public.txt", 0, {0, 0, 0}, kNotEmpty},
        {"dvd+rw-mediainfo-no-media-public.txt", 251, {0, 0, 0}, kNoDisc},
        {"dvd+rw-mediainfo-no-device-node.txt", 130, {0, 0, 0}, kNoDisc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transcript);
        MediaInfo(c.transcript, c.status);
        std::size_t before = boxes.Texts().size();
        DvdDiscInfo info = Check();
        EXPECT_EQ(info.isWritableDvd, c.expected.isWritableDvd);
        EXPECT_EQ(info.isErasable, c.expected.isErasable);
        EXPECT_EQ(info.isBlank, c.expected.isBlank);
        std::vector<std::string> texts = boxes.Texts();
        if (c.box) {
            ASSERT_EQ(texts.size(), before + 1);
            EXPECT_EQ(texts.back(), c.box);
        } else {
            EXPECT_EQ(texts.size(), before);
        }
    }
    EXPECT_TRUE(Called("dvd+rw-mediainfo /dev/sr0"));

    // A CD in the drive is no writable DVD.
    bench.Replay("dvd+rw-mediainfo",
                 {"INQUIRY:                [HL-DT-ST][DVDRAM GSA-4040B][A304]",
                  "GET [CURRENT] CONFIGURATION:", ":-( non-DVD media mounted, exiting..."},
                 252);
    EXPECT_EQ(Check().isWritableDvd, 0);
    EXPECT_EQ(boxes.Texts().back(), kNotWritable);
}

TEST_F(SystemDvdEngineTest, BurnsABlankDvdPlusRWithProgressAndClosing) {
    MakeFakeVideoTs();
    MediaInfo("dvd+rw-mediainfo-dvd+r-blank-public.txt", 0);
    // A run pieced together from recorded lines: the formatter's first '% done' line, then
    // growisofs' counters and its DVD+R closing sequence.
    std::vector<std::string> out = {
        "Executing 'genisoimage -dvd-video -input-charset utf-8 -V MYDISC " + dvd +
            " | builtin_dd of=/dev/sr0 obs=32k seek=0'",
        "The pad was 26 for file VIDEO_TS.IFO",
        "  0.41% done, estimate finish Fri Dec 11 13:43:12 2026",
        "/dev/sr0: \"Current Write Speed\" is 8.2x1352KBps."};
    // Its counters up to 96.4%, without the poster's elision and the line cut short.
    for (const std::string& l : TranscriptLines("growisofs-image-progress-ok-public.txt"))
        if (l.find("RBU 100.0% UBU") != std::string::npos) out.push_back(l);
    for (const char* l :
         {"1095487488/1095487488 (100.0%) @4.0x, remaining 0:00 RBU 0.0% UBU "
          "100.0%",
          "builtin_dd: 534906*2KB out @ average 3.9x1352KBps", "/dev/sr0: flushing cache",
          "/dev/sr0: closing track", "/dev/sr0: closing session", "/dev/sr0: reloading tray"})
        out.push_back(l);
    bench.Replay("growisofs", out, 0);

    ASSERT_EQ(Check().isBlank, 1);
    StartBurn(dvd + "/VIDEO_TS/", "MYDISC");
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnSucceeded));
    Finish();
    // 0.41% and 0.4% give 0, where the count starts, so the first percentage posted is 2.
    EXPECT_EQ(window.events,
              (std::vector<Event>{
                  Burn(kDvdBurnStarted), Burn(kDvdBurnWriting), Burn(kDvdBurnProgress, 2),
                  Burn(kDvdBurnProgress, 3), Burn(kDvdBurnProgress, 5), Burn(kDvdBurnProgress, 7),
                  Burn(kDvdBurnProgress, 8), Burn(kDvdBurnProgress, 10), Burn(kDvdBurnProgress, 12),
                  Burn(kDvdBurnProgress, 96), Burn(kDvdBurnProgress, 100), Burn(kDvdBurnFinalizing),
                  Burn(kDvdBurnSucceeded)}));
    EXPECT_TRUE(boxes.Texts().empty());
    // The folder handed over is the DVD folder that holds VIDEO_TS.
    EXPECT_TRUE(Called("growisofs -dvd-compat -Z /dev/sr0 -dvd-video -input-charset utf-8 -V "
                       "MYDISC " +
                       dvd));
    EXPECT_TRUE(Called("eject /dev/sr0"));
}

TEST_F(SystemDvdEngineTest, AFailedWriteShowsGrowisofsErrorsAndDoesNotFinalize) {
    MakeFakeVideoTs();
    MediaInfo("dvd+rw-mediainfo-dvd-r-blank-public.txt", 0);
    // After the error growisofs still flushes the cache and closes the session.
    bench.Replay("growisofs", FirstRun("growisofs-dvd-r-write-failure-public.txt"), 133);
    StartBurn(dvd + "/", "MYDISC");
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnFailed));
    Finish();
    EXPECT_FALSE(window.Has(WM_DVD_BURN_EVENT, kDvdBurnFinalizing));
    EXPECT_FALSE(window.Has(WM_DVD_BURN_EVENT, kDvdBurnSucceeded));
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::string>{
                  "Writting failed!\n\n DVDVideoBurn:TrackAtOnceFromTree() exception 2, status "
                  "133, text ':-[ WRITE@LBA=10h failed with SK=5h/ASC=21h/ACQ=02h]: Invalid "
                  "argument\n:-( write failed: Invalid argument'\n"}));
    EXPECT_TRUE(Called("eject /dev/sr0"));
}

TEST_F(SystemDvdEngineTest, ErasesADvdRwWithDvdRwFormat) {
    MediaInfo("dvd+rw-mediainfo-dvd-rw-sequential-appendable-public.txt", 0);
    // The blanker rewrites its percentage with backspaces; when done the disc reads blank.
    bench.SetOutput("blank", TranscriptLines("dvd+rw-mediainfo-dvd-rw-sequential-blank-public.txt"),
                    0);
    bench.Script("dvd+rw-format",
                 "echo '* BD/DVD\xb1RW/-RAM format utility by <appro@fy.chalmers.se>, version "
                 "7.1.' >&2\n"
                 "echo '* 4.7GB DVD-RW media in Sequential mode detected.' >&2\n"
                 "printf '* blanking 0.0%%\\b\\b\\b\\b50.0%%\\b\\b\\b\\b\\b100.0%%\\n' >&2\n"
                 "cp \"$D/blank.out\" \"$D/dvd+rw-mediainfo.out\"\n");
    DvdDiscInfo before = Check();
    ASSERT_EQ(before.isErasable, 1);
    ASSERT_EQ(before.isBlank, 0);
    writer->StartDvdErase(&window, kDrive.port, kDrive.bus, kDrive.targetId, kDrive.lun);
    ASSERT_TRUE(PumpUntil(WM_DVD_ERASE_EVENT, kDvdEraseDone));
    Finish();
    EXPECT_TRUE(Called("dvd+rw-format -gui -blank /dev/sr0"));
    EXPECT_EQ(Check().isBlank, 1);
    EXPECT_TRUE(boxes.Texts().empty());

    // dvd+rw-format exits 0 also when it fails; its ':-(' lines tell.
    bench.Replay("dvd+rw-format", FirstRun("dvd+rw-format-blank-full-dvd-rw-errors-public.txt"), 0);
    writer->StartDvdErase(&window, kDrive.port, kDrive.bus, kDrive.targetId, kDrive.lun);
    ASSERT_TRUE(PumpUntil(WM_DVD_ERASE_EVENT, kDvdEraseFailed));
    Finish();
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Erase DVD disc failed!\n\nBlank: Erase() failed, exception 2, "
                                "status 0, text '* blanking 9.4%:-( unable to TEST UNIT READY: "
                                "Input/output error'\n");
}

TEST_F(SystemDvdEngineTest, ADvdPlusRwWithDataIsWrittenOverOnceTheUserLetsItBeErased) {
    MakeFakeVideoTs();
    MediaInfo("dvd+rw-mediainfo-dvd+rw-with-data-public.txt", 0);
    bench.Replay("growisofs", {"builtin_dd: 832*2KB out @ average 2.4x1352KBps"}, 0);
    bench.Replay("dvd+rw-format", {":-( illegal command-line option for this media."}, 0);
    ASSERT_EQ(Check().isBlank, 0);
    writer->StartDvdErase(&window, kDrive.port, kDrive.bus, kDrive.targetId, kDrive.lun);
    ASSERT_TRUE(PumpUntil(WM_DVD_ERASE_EVENT, kDvdEraseDone));
    Finish();
    // DVD+RW has no blank state: nothing is run, and the disc now counts as blank.
    EXPECT_FALSE(CalledTool("dvd+rw-format"));
    EXPECT_EQ(Check().isBlank, 1);

    StartBurn(dvd + "/", "MYDISC");
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnSucceeded));
    Finish();
    // Without a terminal growisofs would refuse a disc that carries a file system.
    EXPECT_TRUE(Called("growisofs -dvd-compat -use-the-force-luke=tty -Z /dev/sr0 -dvd-video "
                       "-input-charset utf-8 -V MYDISC " +
                       dvd));
    EXPECT_TRUE(window.Has(WM_DVD_BURN_EVENT, kDvdBurnFinalizing));
    EXPECT_TRUE(boxes.Texts().empty());
    // Once written the disc holds data again.
    EXPECT_EQ(Check().isBlank, 0);
}

TEST_F(SystemDvdEngineTest, AbortStopsGrowisofsAndShowsNothing) {
    MakeFakeVideoTs();
    MediaInfo("dvd+rw-mediainfo-dvd+r-blank-public.txt", 0);
    bench.Script("growisofs",
                 "echo '   22413312/1095487488 ( 2.0%) @4.0x, remaining 7:10 RBU 100.0% UBU "
                 "100.0%'\nsleep 30 & wait\necho '/dev/sr0: flushing cache'\n");
    auto start = std::chrono::steady_clock::now();
    StartBurn(dvd + "/", "MYDISC");
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnProgress));
    writer->AbortDvdBurn();
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnFailed));
    Finish();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(window.Has(WM_DVD_BURN_EVENT, kDvdBurnFinalizing));
    EXPECT_TRUE(boxes.Texts().empty());
}

// --- the Image Recorder --------------------------------------------------------------------

class ImageRecorderTest : public SystemDvdEngineTest {
  protected:
    // A real VIDEO_TS folder of one title, authored from the PAL fixture.
    bool MakeRealVideoTs() {
        int status = 0;
        std::string log = Sh("cd " + ShellQuote(bench.Dir()) + " && ffmpeg -loglevel error -i " +
                                 ShellQuote(std::string(PELLAM_FIXTURES) + "/dvd_pal_mpa.mpg") +
                                 " -c copy -f dvd seg.mpg && dvdauthor -o DVD -t -v pal+4:3 "
                                 "seg.mpg && VIDEO_FORMAT=PAL dvdauthor -o DVD -T",
                             &status);
        EXPECT_EQ(status, 0) << log;
        return status == 0 && fs::exists(dvd + "/VIDEO_TS/VTS_01_1.VOB");
    }
    std::string Image(const std::string& name) const {
        return bench.Home() + "/Pellam/discs/" + name;
    }
};

TEST_F(ImageRecorderTest, RecordsARealDvdVideoImageAndNeverOverwritesOne) {
    for (const char* tool : {"ffmpeg", "dvdauthor", "genisoimage", "isoinfo", "udfinfo", "lsdvd"})
        if (FindTool(tool).empty()) GTEST_SKIP() << tool << " is not installed";
    ASSERT_TRUE(MakeRealVideoTs());

    DvdDiscInfo info = Check(kDvdRecorderAddress);
    EXPECT_EQ(info.isWritableDvd, 1);
    EXPECT_EQ(info.isErasable, 0);
    EXPECT_EQ(info.isBlank, 1);

    StartBurn(dvd + "/", "HOLIDAY 2026", kDvdRecorderAddress);
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnSucceeded));
    Finish();
    ASSERT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_EQ(window.events,
              (std::vector<Event>{Burn(kDvdBurnStarted), Burn(kDvdBurnWriting),
                                  Burn(kDvdBurnProgress, 100), Burn(kDvdBurnFinalizing),
                                  Burn(kDvdBurnSucceeded)}));
    const std::string iso = Image("HOLIDAY 2026.iso");
    ASSERT_TRUE(fs::exists(iso));

    std::string listing = Sh("isoinfo -l -i " + ShellQuote(iso));
    for (const char* name :
         {"VIDEO_TS.IFO;1", "VIDEO_TS.BUP;1", "VTS_01_0.IFO;1", "VTS_01_1.VOB;1", "VTS_01_0.BUP;1"})
        EXPECT_NE(listing.find(name), std::string::npos) << name << "\n" << listing;
    EXPECT_NE(listing.find("Directory listing of /AUDIO_TS/"), std::string::npos);
    EXPECT_NE(Sh("udfinfo " + ShellQuote(iso)).find("\nlabel=HOLIDAY 2026\n"), std::string::npos);
    std::string titles = Sh("lsdvd " + ShellQuote(iso));
    EXPECT_NE(titles.find("Title: 01,"), std::string::npos) << titles;
    EXPECT_EQ(titles.find("Title: 02,"), std::string::npos) << titles;
    // lsdvd prints the volume name up to its first blank.
    EXPECT_NE(titles.find("Disc Title: HOLIDAY\n"), std::string::npos) << titles;

    // The same label again makes a second image; a UTF-8 label longer than a volume name may
    // be is cut between characters and still reads back as written.
    auto size = fs::file_size(iso);
    window.events.clear();
    StartBurn(dvd + "/", "HOLIDAY 2026", kDvdRecorderAddress);
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnSucceeded));
    Finish();
    StartBurn(dvd + "/VIDEO_TS/", "Ünïcode Sommerferien am Meer 2026 Teil", kDvdRecorderAddress);
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnSucceeded));
    Finish();
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(Images(), (std::vector<std::string>{"HOLIDAY 2026 (2).iso", "HOLIDAY 2026.iso",
                                                  "Ünïcode Sommerferien am Meer 2.iso"}));
    EXPECT_EQ(fs::file_size(iso), size);
    EXPECT_NE(Sh("udfinfo " + ShellQuote(Image("Ünïcode Sommerferien am Meer 2.iso")))
                  .find("\nlabel=Ünïcode Sommerferien am Meer 2\n"),
              std::string::npos);
}

TEST_F(ImageRecorderTest, AbortAndFailureLeaveNoImage) {
    MakeFakeVideoTs();
    // A genisoimage that has written part of the image and works on.
    bench.Script("genisoimage",
                 "while [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=$2; shift; done\n"
                 "head -c 100000 /dev/zero > \"$out\"\n"
                 "echo ' 23.57% done, estimate finish Fri Dec 11 13:39:36 2026' >&2\n"
                 "sleep 30 & wait\n");
    StartBurn(dvd + "/", "PARTIAL", kDvdRecorderAddress);
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnProgress));
    EXPECT_EQ(Images(), std::vector<std::string>{"PARTIAL.iso"});
    writer->AbortDvdBurn();
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnFailed));
    Finish();
    EXPECT_TRUE(window.Has(WM_DVD_BURN_EVENT, kDvdBurnProgress));
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(Images().empty());

    // genisoimage leaves an empty file behind when it refuses the folder.
    bench.SetOutput("genisoimage", TranscriptLines("genisoimage-dvd-video-error-no-video-ts.txt"),
                    255);
    bench.Script("genisoimage", "while [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=$2; shift; done\n"
                                ": > \"$out\"\ncat \"$D/genisoimage.out\" >&2\nexit 255\n");
    window.events.clear();
    StartBurn(dvd + "/", "PARTIAL", kDvdRecorderAddress);
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnFailed));
    Finish();
    EXPECT_FALSE(window.Has(WM_DVD_BURN_EVENT, kDvdBurnFinalizing));
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::string>{
                  "Writting failed!\n\n DVDVideoBurn:TrackAtOnceFromTree() exception 2, status "
                  "255, text 'genisoimage: Could not find correct 'VIDEO_TS' directory.\n"
                  "genisoimage: Unable to make a DVD-Video image.'\n"}));
    EXPECT_TRUE(Images().empty());
}

TEST_F(SystemDvdEngineTest, EraseReportsTheBlankersProgress) {
    MediaInfo("dvd+rw-mediainfo-dvd-rw-sequential-appendable-public.txt", 0);
    bench.Script("dvd+rw-format", "echo '* blanking 1.5%'\nsleep 0.2\necho '* blanking 52.0%'\n"
                                  "echo '* blanking 100.0%'\n");
    struct Seen {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> steps;
        static void Fn(int event, void* context, std::uint64_t total, std::uint64_t done) {
            if (event == kDvdWrittenEvent)
                static_cast<Seen*>(context)->steps.push_back({total, done});
        }
    } seen;
    DvdCallContext ctx;
    DvdDevice* device = nullptr;
    ASSERT_EQ(engine->Create(&device, ctx, Seen::Fn, &seen, kDrive, kDvdCreateForWriting), 0u);
    ASSERT_EQ(engine->TestUnitReady(device, ctx), 0u);
    EXPECT_EQ(engine->Erase(device, ctx, 1), 0u);
    EXPECT_EQ(seen.steps, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{
                              {1000, 15}, {1000, 520}, {1000, 1000}}));
    EXPECT_EQ(ctx.status, kDvdStatusPreset);
    engine->ReleaseDevice(&device);
    EXPECT_EQ(device, nullptr);
}

} // namespace

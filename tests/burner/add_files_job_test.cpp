#include "burner/app/add_files_job.h"

#include "burner/app/burner_dlg_logic.h"
#include "burner/app/burner_startup.h"
#include "burner_dlg_fakes.h"
#include "engines/cd/fake_cd_engine.h"
#include "engines/mpgtx/fake_mpgtx.h"
#include "platform/manual_message_loop.h"
#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using burnertest::kMb;
using burnertest::MainWindow;

// ---- VCD and SVCD ----

TEST(AddFilesCd, StartsTheScanningProjectOfTheMode) {
    for (int mode : {DISC_VCD, DISC_SVCD}) {
        MainWindow w(mode);
        EXPECT_EQ(w.cd.Calls(), std::vector<std::string>(
                                    {"Initialize(1)", "SetVideoScannerEventCallback",
                                     "SetVideoScanDoneEventCallback",
                                     mode == DISC_VCD ? "CreateProject(3)" : "CreateProject(4)"}));
    }
    MainWindow dvd(DISC_DVD);
    EXPECT_TRUE(dvd.cd.Calls().empty());
}

TEST(AddFilesCd, ScansOneFileAndAddsItsRow) {
    MainWindow w(DISC_VCD);
    std::string file = w.dir.File("a.mpg", 3 * kMb);
    w.host.choices.push_back({file, w.dir.File("ignored.mpg", 1)});
    w.dlg->OnAddFiles();

    ASSERT_EQ(w.host.requests.size(), 1u);
    EXPECT_EQ(w.host.requests[0].title, "Add MPEG files");
    EXPECT_EQ(w.host.requests[0].filter, "MPEG files(*.mpeg,*.mpg)|*.mpeg;*.mpg;||");
    EXPECT_EQ(w.host.requests[0].bufferSize, 1024);
    EXPECT_FALSE(w.host.requests[0].multiple);
    ASSERT_EQ(w.cd.addedFiles.size(), 1u);
    EXPECT_STREQ(w.cd.addedFiles[0].sourcePath, file.c_str());
    EXPECT_STREQ(w.cd.addedFiles[0].targetFolder, "\\");
    EXPECT_EQ(w.cd.addedFiles[0].flag, 1);
    EXPECT_TRUE(w.dlg->View().checkWindows.scanVisible);
    EXPECT_TRUE(w.dlg->View().checking);

    ASSERT_TRUE(w.cd.FireScanProgress(42.7f));
    w.loop.Pump();
    EXPECT_EQ(w.dlg->View().checkWindows.scanPercent, 42);
    ASSERT_TRUE(w.cd.FireScanDone(file, false, 352, 288, 1150000, 25.0));
    EXPECT_TRUE(w.Paths().empty()); // nothing before the window's own thread gets to it
    w.loop.Pump();

    EXPECT_FALSE(w.dlg->View().checkWindows.scanVisible);
    EXPECT_EQ(w.dlg->View().checkWindows.scanPercent, 0);
    EXPECT_FALSE(w.dlg->View().checking);
    EXPECT_EQ(w.Paths(), std::vector<std::string>({file}));
    const auto& row = w.dlg->List().Rows()[0].text;
    EXPECT_EQ(row[1], "3.0");
    EXPECT_EQ(row[4], "1123Kbits/s");
    EXPECT_EQ(w.dlg->List().m_nSelected, 0);
    EXPECT_EQ(w.dlg->View().totalsText, " 1 file(s), Size: 3.0MB");
    EXPECT_TRUE(w.host.invalid.empty());
}

TEST(AddFilesCd, RefusedFileIsNamedWithTheTextsOfTheMode) {
    for (int mode : {DISC_VCD, DISC_SVCD}) {
        MainWindow w(mode);
        std::string file = w.dir.File("bad.mpg", kMb);
        w.host.choices.push_back({file});
        w.dlg->OnAddFiles();
        w.cd.FireScanDone(file, true, 0, 0, 0, 0);
        w.loop.Pump();
        EXPECT_TRUE(w.Paths().empty());
        ASSERT_EQ(w.host.invalid.size(), 1u);
        const char* kind = mode == DISC_VCD ? "VCD" : "SVCD";
        EXPECT_EQ(w.host.invalid[0].text1062,
                  "The file: " + file + "\n is not a " + kind +
                      " compatible mpeg file,Can't burn it directly to video disc.");
        EXPECT_EQ(w.host.invalid[0].caption, "Invalid MPEG file");
        EXPECT_EQ(w.boxes.Beeps(), std::vector<unsigned>({platform::MB_ICONINFORMATION}));
        EXPECT_FALSE(w.dlg->View().checkWindows.scanVisible);
        EXPECT_EQ(w.dlg->View().totalsText, kEmptyTotals);
    }
}

// An engine that tells why; for engines that cannot, the reason stays empty.
struct TellingEngine {
    const char* ScanRefusalReason() const { return "Not MPEG-1."; }
};
struct NullTellingEngine {
    const char* ScanRefusalReason() const { return nullptr; }
};
struct StringTellingEngine {
    std::string ScanRefusalReason() const { return "Wrong picture size."; }
};
struct SilentEngine {};

TEST(AddFilesCd, RefusalReasonOfEnginesThatTellAndThatDoNot) {
    TellingEngine telling;
    NullTellingEngine nullTelling;
    StringTellingEngine stringTelling;
    SilentEngine silent;
    EXPECT_EQ(ScanRefusalReasonOf(telling), "Not MPEG-1.");
    EXPECT_EQ(ScanRefusalReasonOf(nullTelling), "");
    EXPECT_EQ(ScanRefusalReasonOf(stringTelling), "Wrong picture size.");
    EXPECT_EQ(ScanRefusalReasonOf(silent), "");
}

// The fake with a reason, where the engine's interface asks for one.
template <class Engine> constexpr bool kTellsReasons = requires(Engine& e) {
    e.ScanRefusalReason();
};
template <class Base> struct ReasonedFake : Base {
    std::string reason;
    std::string ScanRefusalReason() const { return reason; }
};

TEST(AddFilesCd, ShowsTheEnginesReasonWhenItGivesOne) {
    if constexpr (!kTellsReasons<engines::CdEngine>) {
        GTEST_SKIP() << "this CD engine gives no refusal reasons";
    } else {
        ReasonedFake<engines::FakeCdEngine> engine;
        engine.reason = "The video is not MPEG-1.";
        platform::ManualMessageLoop loop;
        burnertest::RecordingDlgHost host;
        platform::RecordingMessageBoxes boxes;
        burnertest::RecordingShell shell;
        CBurnerDlgLogic dlg({DISC_VCD, "Pellam ", host, boxes, shell, &engine, nullptr, "/", {}});
        dlg.AttachLoop(&loop);
        dlg.OnInitDialog();
        host.choices.push_back({"/m/x.mpg"});
        dlg.OnAddFiles();
        engine.FireScanDone("/m/x.mpg", true, 0, 0, 0, 0);
        loop.Pump();
        ASSERT_EQ(host.invalid.size(), 1u);
        EXPECT_EQ(host.invalid[0].reason, "The video is not MPEG-1.");
    }
}

TEST(AddFilesCd, CancelOnAnEmptyListLeavesNoCurrentRow) {
    MainWindow w(DISC_SVCD);
    w.dlg->OnAddFiles(); // no answer scripted: cancelled
    EXPECT_EQ(w.dlg->List().m_nSelected, -1);
    EXPECT_EQ(w.cd.addedFiles.size(), 0u);
    EXPECT_FALSE(w.dlg->View().checkWindows.scanVisible);

    std::string file = w.dir.File("a.mpg", kMb);
    w.host.choices.push_back({file});
    w.dlg->OnAddFiles();
    w.cd.FireScanDone(file, false, 480, 576, 2500000, 25.0);
    w.loop.Pump();
    EXPECT_EQ(w.dlg->List().m_nSelected, 0);
    EXPECT_EQ(w.dlg->List().ListSelection(), 0);
}

TEST(AddFilesCd, EngineRefusingTheFileShowsItsTextAndHidesTheWindow) {
    MainWindow w(DISC_VCD);
    w.cd.failures["AddFile"] = 7;
    w.cd.texts[7] = "Scanner busy";
    w.host.choices.push_back({w.dir.File("a.mpg", kMb)});
    w.dlg->OnAddFiles();
    EXPECT_EQ(w.boxes.Texts(), std::vector<std::string>({"error: Scanner busy"}));
    EXPECT_FALSE(w.dlg->View().checkWindows.scanVisible);
    EXPECT_FALSE(w.dlg->View().checking);
    // A scan-done event nobody asked for adds nothing.
    w.cd.FireScanDone("/elsewhere.mpg", false, 352, 288, 1150000, 25.0);
    w.loop.Pump();
    EXPECT_TRUE(w.Paths().empty());
}

TEST(AddFilesCd, FilesAddedDuringAScanWaitForIt) {
    MainWindow w(DISC_VCD);
    std::string a = w.dir.File("a.mpg", kMb);
    std::string b = w.dir.File("b.mpg", 2 * kMb);
    std::string c = w.dir.File("c.mpg", 3 * kMb);
    w.host.choices.push_back({a});
    w.dlg->OnAddFiles();
    w.dlg->OnDropFiles({b, c});
    ASSERT_EQ(w.cd.addedFiles.size(), 1u); // b waits for a's scan
    w.cd.FireScanDone(a, false, 352, 288, 1150000, 25.0);
    w.loop.Pump();
    ASSERT_EQ(w.cd.addedFiles.size(), 2u);
    EXPECT_STREQ(w.cd.addedFiles[1].sourcePath, b.c_str());
    EXPECT_TRUE(w.dlg->View().checkWindows.scanVisible);
    w.cd.FireScanDone(b, true, 0, 0, 0, 0);
    w.loop.Pump();
    ASSERT_EQ(w.cd.addedFiles.size(), 3u);
    w.cd.FireScanDone(c, false, 352, 288, 1150000, 25.0);
    w.loop.Pump();
    EXPECT_EQ(w.Paths(), std::vector<std::string>({a, c}));
    EXPECT_EQ(w.host.InvalidFiles(), std::vector<std::string>({b}));
    EXPECT_EQ(w.dlg->View().totalsText, " 2 file(s), Size: 4.0MB");
    EXPECT_FALSE(w.dlg->View().checking);
}

TEST(AddFilesCd, PathTooLongForTheEnginesRecordIsRefusedUnscanned) {
    MainWindow w(DISC_VCD);
    std::string longPath = "/" + std::string(300, 'x') + ".mpg";
    w.host.choices.push_back({longPath});
    w.dlg->OnAddFiles();
    EXPECT_TRUE(w.cd.addedFiles.empty());
    ASSERT_EQ(w.host.invalid.size(), 1u);
    EXPECT_EQ(w.host.invalid[0].m_strFile, longPath);
    EXPECT_EQ(w.host.invalid[0].reason, kPathTooLongReason);
    EXPECT_FALSE(w.dlg->View().checking);
}

// ---- DVD ----

TEST(AddFilesDvd, ChecksTheChosenFilesOneAfterAnother) {
    for (bool sent : {false, true}) {
        SCOPED_TRACE(sent ? "checker sends" : "checker posts");
        MainWindow w(DISC_DVD);
        w.mpgtx.sendMessages = sent;
        w.host.choices.push_back({"/m/one.mpg", "/m/two.mpg", "/m/three.mpg"});
        w.dlg->OnAddFiles();

        ASSERT_EQ(w.host.requests.size(), 1u);
        EXPECT_EQ(w.host.requests[0].title, "Add MPEG-2 files");
        EXPECT_TRUE(w.host.requests[0].multiple);
        EXPECT_TRUE(w.host.requests[0].mustExist);
        EXPECT_TRUE(w.dlg->View().checkWindows.loadVisible);
        ASSERT_EQ(w.mpgtx.checkedPaths, std::vector<std::string>({"/m/one.mpg"}));
        const engines::_mpgtx_check_param_& rec = w.dlg->AddFiles().CheckRecord();
        EXPECT_EQ(rec.window, w.dlg.get());
        EXPECT_EQ(rec.message, 2025);

        ASSERT_TRUE(w.mpgtx.CompleteCheck(false, 5LL * 1024 * kMb, 90.0f, 720, 576, 25.0f));
        w.loop.Pump();
        ASSERT_EQ(w.mpgtx.checkedPaths.size(), 2u);
        EXPECT_EQ(w.mpgtx.checkedPaths[1], "/m/two.mpg");
        // Each check starts on a zeroed record.
        EXPECT_EQ(std::int64_t{rec.fileSize}, 0); // a copy: the packed field is not aligned
        ASSERT_TRUE(w.mpgtx.CompleteCheck(true, 0, 0, 0, 0, 0, "Not a program stream."));
        w.loop.Pump();
        ASSERT_TRUE(w.mpgtx.CompleteCheck(false, 100 * kMb, 3725.46f, 720, 480, 29.97f));
        w.loop.Pump();

        EXPECT_EQ(w.Paths(), std::vector<std::string>({"/m/one.mpg", "/m/three.mpg"}));
        ASSERT_EQ(w.host.InvalidFiles(), std::vector<std::string>({"/m/two.mpg"}));
        EXPECT_EQ(w.host.invalid[0].reason, "Not a program stream.");
        EXPECT_NE(w.host.invalid[0].text1062.find("not a DVD compatible"), std::string::npos);
        const auto& first = w.dlg->List().Rows()[0].text;
        EXPECT_EQ(first[1], "5120.0");
        EXPECT_EQ(first[4], "00:01:30.0");
        EXPECT_EQ(w.dlg->List().Rows()[1].text[4], "01:02:05.4");
        EXPECT_EQ(w.dlg->View().totalsText, " 2 file(s), Size: 5220.0MB");
        EXPECT_FALSE(w.dlg->View().checkWindows.loadVisible);
        EXPECT_FALSE(w.dlg->View().checking);
        EXPECT_FALSE(w.mpgtx.CompleteCheck(false));
    }
}

TEST(AddFilesDvd, CancelAndRefusedFirstFile) {
    MainWindow w(DISC_DVD);
    w.dlg->OnAddFiles();
    EXPECT_EQ(w.dlg->List().m_nSelected, -1);
    EXPECT_TRUE(w.mpgtx.checkedPaths.empty());
    EXPECT_FALSE(w.dlg->View().checkWindows.loadVisible);

    w.host.choices.push_back({"/m/bad.mpg", "/m/good.mpg"});
    w.dlg->OnAddFiles();
    w.mpgtx.CompleteCheck(true); // no reason in the record
    w.loop.Pump();
    EXPECT_EQ(w.host.invalid.at(0).reason, "");
    w.mpgtx.CompleteCheck(false, kMb, 10, 720, 576, 25);
    w.loop.Pump();
    EXPECT_EQ(w.dlg->List().m_nSelected, 0);
    EXPECT_EQ(w.dlg->List().ListSelection(), 0);
}

TEST(AddFilesDvd, LaterFilesJoinARunningCheckWithoutTouchingItsRecord) {
    MainWindow w(DISC_DVD);
    w.host.choices.push_back({"/m/a.mpg", "/m/b.mpg"});
    w.dlg->OnAddFiles();
    w.host.choices.push_back({"/m/c.mpg"});
    w.dlg->OnAddFiles();
    EXPECT_STREQ(w.dlg->AddFiles().CheckRecord().path, "/m/a.mpg");
    EXPECT_EQ(w.mpgtx.checkedPaths.size(), 1u);
    // A drop while the invalid-file dialog of b is up joins the queue as well.
    w.host.duringInvalidDialog = [&] { w.dlg->OnDropFiles({"/m/d.mpg"}); };
    w.mpgtx.CompleteCheck(false, kMb, 1, 720, 576, 25);
    w.loop.Pump();
    w.mpgtx.CompleteCheck(true);
    w.loop.Pump();
    w.mpgtx.CompleteCheck(false, kMb, 1, 720, 576, 25);
    w.loop.Pump();
    w.mpgtx.CompleteCheck(false, kMb, 1, 720, 576, 25);
    w.loop.Pump();
    EXPECT_EQ(w.mpgtx.checkedPaths,
              std::vector<std::string>({"/m/a.mpg", "/m/b.mpg", "/m/c.mpg", "/m/d.mpg"}));
    EXPECT_EQ(w.Paths(), std::vector<std::string>({"/m/a.mpg", "/m/c.mpg", "/m/d.mpg"}));
    EXPECT_FALSE(w.dlg->View().checking);
    // A report nobody waits for adds nothing.
    w.dlg->OnMessage(engines::WM_CHECK_DONE, 0, 0);
    EXPECT_EQ(w.Paths().size(), 3u);
}

TEST(AddFilesDvd, PathTooLongForTheRecordIsRefusedUnchecked) {
    MainWindow w(DISC_DVD);
    std::string longPath = "/" + std::string(1100, 'y') + ".mpg";
    w.host.choices.push_back({longPath, "/m/ok.mpg"});
    w.dlg->OnAddFiles();
    EXPECT_EQ(w.mpgtx.checkedPaths, std::vector<std::string>({"/m/ok.mpg"}));
    ASSERT_EQ(w.host.invalid.size(), 1u);
    EXPECT_EQ(w.host.invalid[0].reason, kPathTooLongReason);
}

TEST(CheckWindows, CentredOverTheMainWindow) {
    WindowOrigin o = CenterOver(100, 50, 600, 400, 300, 101);
    EXPECT_EQ(o.x, 250);
    EXPECT_EQ(o.y, 200);
}

} // namespace

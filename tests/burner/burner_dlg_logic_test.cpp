#include "burner/app/burner_dlg_logic.h"

#include "burner/app/burner_startup.h"
#include "burner_dlg_fakes.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace {

using burnertest::AddCdFile;
using burnertest::AddDvdFile;
using burnertest::kMb;
using burnertest::MainWindow;

void Select(MainWindow& w, int row) {
    w.dlg->OnListClick(row);
}

TEST(BurnerDlg, ModeTextsAndScale) {
    struct Case {
        int mode;
        const char* type;
        const char* hint;
        int max;
    };
    const Case cases[] = {
        {DISC_VCD, " Disc Type: VCD", " Please add VCD compatible MPEG-1 files ...", 750},
        {DISC_SVCD, " Disc Type: SVCD", " Please add SVCD compatible MPEG-2 files ... ", 750},
        {DISC_DVD, " Disc Type: DVD", " Please add DVD compatible MPEG-2 files ... ", 4800},
    };
    for (const Case& c : cases) {
        MainWindow w(c.mode);
        BurnerDlgView v = w.dlg->View();
        EXPECT_EQ(v.caption, "Pellam ");
        EXPECT_EQ(v.discTypeText, c.type);
        EXPECT_EQ(v.hintText, c.hint);
        EXPECT_EQ(v.totalsText, " 0 file(s), Size: 0.0MB");
        EXPECT_EQ(w.dlg->Bar().Max(), c.max);
        EXPECT_EQ(w.dlg->List().m_nSelected, -1);
    }
}

// The size a row was added with is what its removal takes off, even when the file has changed
// or gone since: the totals must never drift or go negative.
TEST(BurnerDlgRemove, TakesOffTheSizeTheRowWasAddedWith) {
    MainWindow w(DISC_VCD);
    std::string a = w.dir.File("a.mpg", 10 * kMb);
    std::string b = w.dir.File("b.mpg", 20 * kMb);
    AddCdFile(w, a);
    AddCdFile(w, b);
    EXPECT_EQ(w.dlg->View().totalsText, " 2 file(s), Size: 30.0MB");
    // a shrinks to nothing, b grows: neither changes what their rows stand for.
    std::filesystem::resize_file(a, 0);
    std::filesystem::resize_file(b, 500 * kMb);
    Select(w, 0);
    w.dlg->OnRemove();
    EXPECT_EQ(w.dlg->View().totalsText, " 1 file(s), Size: 20.0MB");
    EXPECT_EQ(w.dlg->View().barValue, 20);
    // b vanishes before its removal.
    std::filesystem::remove(b);
    w.dlg->OnDeleteKey();
    EXPECT_EQ(w.dlg->View().totalsText, " 0 file(s), Size: 0.0MB");
    EXPECT_EQ(w.dlg->View().barValue, 0);
    EXPECT_EQ(w.dlg->List().TotalBytes(), 0.0);
    EXPECT_EQ(w.dlg->List().m_nSelected, -1);
    // Each removal clears the scanning project; its answer is not shown.
    std::vector<std::string> calls = w.cd.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ClearAll"), 2);
}

TEST(BurnerDlgRemove, DvdRowOfFiveGibibytesTakesItsFullSizeOff) {
    MainWindow w(DISC_DVD);
    AddDvdFile(w, "/m/big.mpg", 5LL * 1024 * kMb); // no such file on disk at all
    AddDvdFile(w, "/m/small.mpg", 3 * kMb);
    EXPECT_EQ(w.dlg->View().totalsText, " 2 file(s), Size: 5123.0MB");
    Select(w, 0);
    w.dlg->OnRemove();
    EXPECT_EQ(w.dlg->View().totalsText, " 1 file(s), Size: 3.0MB");
    EXPECT_TRUE(w.cd.Calls().empty());
}

TEST(BurnerDlgRemove, NothingSelectedRemovesNothing) {
    MainWindow w(DISC_VCD);
    w.dlg->OnRemove();
    std::vector<std::string> calls = w.cd.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ClearAll"), 0);
    AddCdFile(w, w.dir.File("a.mpg", kMb));
    w.dlg->OnListSelectionChanged(-1);
    w.dlg->OnRemove();
    EXPECT_EQ(w.dlg->List().FileCount(), 1);
}

TEST(BurnerDlgRemoveAll, AsksAndClearsTheProject) {
    MainWindow w(DISC_SVCD);
    w.dlg->OnRemoveAll(); // empty list: no question
    EXPECT_TRUE(w.boxes.Texts().empty());
    AddCdFile(w, w.dir.File("a.mpg", 2 * kMb));
    AddCdFile(w, w.dir.File("b.mpg", 3 * kMb));

    w.boxes.Answer(platform::IDNO);
    w.dlg->OnRemoveAll();
    EXPECT_EQ(w.dlg->List().FileCount(), 2);
    w.dlg->OnRemoveAll(); // answered Yes
    ASSERT_EQ(w.boxes.Boxes().size(), 2u);
    EXPECT_EQ(w.boxes.Boxes()[0].text, "Do you want to remove all files from list?");
    EXPECT_EQ(w.boxes.Boxes()[0].type & platform::MB_BUTTONS_MASK, platform::MB_YESNO);
    EXPECT_TRUE(w.dlg->GetListPaths().empty());
    EXPECT_EQ(w.dlg->List().m_nSelected, -1);
    EXPECT_EQ(w.dlg->View().totalsText, " 0 file(s), Size: 0.0MB");
    EXPECT_EQ(w.cd.Calls().back(), "ClearAll");
    // Its failure is shown.
    AddCdFile(w, w.dir.File("c.mpg", kMb));
    w.cd.failures["ClearAll"] = 9;
    w.cd.texts[9] = "No project";
    w.dlg->OnRemoveAll();
    EXPECT_EQ(w.boxes.Texts().back(), "error: No project");
}

TEST(BurnerDlgMove, ReordersWithoutTouchingTotalsOrTheProject) {
    MainWindow w(DISC_VCD);
    std::string a = w.dir.File("a.mpg", kMb);
    std::string b = w.dir.File("b.mpg", 2 * kMb);
    AddCdFile(w, a);
    AddCdFile(w, b);
    std::size_t calls = w.cd.Calls().size();
    MpegListMenuState first = w.dlg->OnListContextMenu(0);
    EXPECT_FALSE(first.moveUp);
    EXPECT_TRUE(first.moveDown);
    w.dlg->OnMoveUp(); // row 0: nothing
    EXPECT_EQ(w.dlg->GetListPaths(), std::vector<std::string>({a, b}));
    w.dlg->OnMoveDown();
    EXPECT_EQ(w.dlg->GetListPaths(), std::vector<std::string>({b, a}));
    EXPECT_EQ(w.dlg->List().m_nSelected, 1);
    MpegListMenuState last = w.dlg->OnListContextMenu(-1); // empty space keeps row 1
    EXPECT_FALSE(last.moveDown);
    EXPECT_TRUE(last.moveUp);
    w.dlg->OnMoveDown(); // the last row: nothing
    EXPECT_EQ(w.dlg->GetListPaths(), std::vector<std::string>({b, a}));
    EXPECT_EQ(w.dlg->View().totalsText, " 2 file(s), Size: 3.0MB");
    EXPECT_EQ(w.cd.Calls().size(), calls);
}

struct BurnCase {
    int mode;
    std::int64_t totalBytes;
    bool asks;
    int answer; // to the size question
    bool burned;
    BurnDecision decision;
};

void PrintTo(const BurnCase& c, std::ostream* os) {
    *os << "mode " << c.mode << ", " << c.totalBytes << " bytes, answer " << c.answer
        << (c.burned ? ", burned" : "");
}

class BurnerDlgBurn : public testing::TestWithParam<BurnCase> {};

TEST_P(BurnerDlgBurn, SizeQuestionAndDecision) {
    const BurnCase& c = GetParam();
    MainWindow w(c.mode);
    const bool dvd = c.mode == DISC_DVD;
    if (dvd)
        AddDvdFile(w, "/m/a.mpg", c.totalBytes);
    else
        AddCdFile(w, w.dir.File("a.mpg", static_cast<std::uintmax_t>(c.totalBytes)));
    std::size_t callsBefore = w.cd.Calls().size();
    w.host.burned = c.burned;
    if (c.asks) w.boxes.Answer(c.answer);

    EXPECT_EQ(w.dlg->OnBurn(), c.decision);

    if (c.asks) {
        ASSERT_EQ(w.boxes.Texts().size(), 1u);
        EXPECT_EQ(w.boxes.Texts()[0], dvd ? kDvdTooLargeQuestion : kCdTooLargeQuestion);
        EXPECT_EQ(w.boxes.Boxes()[0].type & platform::MB_BUTTONS_MASK, platform::MB_YESNO);
    } else {
        EXPECT_TRUE(w.boxes.Texts().empty());
    }
    bool ran = c.decision == BurnDecision::Burned || c.decision == BurnDecision::Returned;
    EXPECT_EQ(w.host.burnDialogs, ran ? 1 : 0);
    EXPECT_EQ(w.host.closed, c.decision == BurnDecision::Burned);
    std::vector<std::string> all = w.cd.Calls();
    std::vector<std::string> calls(all.begin() + static_cast<std::ptrdiff_t>(callsBefore),
                                   all.end());
    std::vector<std::string> expected;
    if (!dvd && ran) expected.push_back("DeleteProject");
    if (!dvd && c.decision == BurnDecision::Returned) {
        expected.push_back("DeleteProject");
        expected.push_back(c.mode == DISC_VCD ? "CreateProject(3)" : "CreateProject(4)");
    }
    EXPECT_EQ(calls, expected);
}

constexpr std::int64_t k7009 = 734948966; // 700.9 MB: the bar shows 700
INSTANTIATE_TEST_SUITE_P(
    Boundaries, BurnerDlgBurn,
    testing::Values(
        BurnCase{DISC_VCD, k7009, false, 0, false, BurnDecision::Returned},
        BurnCase{DISC_VCD, 701 * kMb, true, platform::IDNO, false, BurnDecision::Declined},
        BurnCase{DISC_SVCD, 701 * kMb, true, platform::IDYES, true, BurnDecision::Burned},
        BurnCase{DISC_SVCD, 100 * kMb, false, 0, true, BurnDecision::Burned},
        BurnCase{DISC_DVD, 4300 * kMb + kMb - 1, false, 0, false, BurnDecision::Returned},
        BurnCase{DISC_DVD, 4301 * kMb, true, platform::IDNO, false, BurnDecision::Declined},
        BurnCase{DISC_DVD, 4301 * kMb, true, platform::IDYES, true, BurnDecision::Burned}));

TEST(BurnerDlgBurn, EmptyListAndRunningCheck) {
    MainWindow w(DISC_VCD);
    EXPECT_EQ(w.dlg->OnBurn(), BurnDecision::NoFiles);
    EXPECT_EQ(w.boxes.Texts(), std::vector<std::string>({"Plase add a mpeg file at least!"}));
    AddCdFile(w, w.dir.File("a.mpg", kMb));
    w.host.choices.push_back({w.dir.File("b.mpg", kMb)});
    w.dlg->OnAddFiles(); // b is being scanned
    EXPECT_EQ(w.dlg->OnBurn(), BurnDecision::Busy);
    EXPECT_EQ(w.host.burnDialogs, 0);
}

TEST(BurnerDlgPlay, ShellFirstThenThePlayer) {
    MainWindow w(DISC_VCD);
    w.dlg->OnPlay(); // no current row
    EXPECT_TRUE(w.shell.opened.empty());
    std::string a = w.dir.File("a.mpg", kMb);
    AddCdFile(w, a);
    w.dlg->OnPlay();
    EXPECT_EQ(w.shell.opened, std::vector<std::string>({a}));
    EXPECT_TRUE(w.shell.started.empty());
    w.shell.openResult = platform::SE_ERR_NOASSOC;
    w.dlg->OnPlay();
    ASSERT_EQ(w.shell.started.size(), 1u);
    EXPECT_EQ(w.shell.started[0], std::vector<std::string>({"/usr/bin/mpv", a}));
    w.dlg->OnListSelectionChanged(-1);
    w.dlg->OnPlay(); // nothing selected
    EXPECT_EQ(w.shell.opened.size(), 2u);
}

TEST(BurnerDlgPlay, NoPlayerInstalled) {
    platform::ManualMessageLoop loop;
    burnertest::RecordingDlgHost host;
    platform::RecordingMessageBoxes boxes;
    burnertest::RecordingShell shell;
    engines::FakeMpgtx mpgtx;
    CBurnerDlgLogic dlg({DISC_DVD, "Pellam ", host, boxes, shell, nullptr, &mpgtx, "/",
                         [] { return std::string(); }});
    dlg.AttachLoop(&loop);
    dlg.OnInitDialog();
    host.choices.push_back({"/m/a.mpg"});
    dlg.OnAddFiles();
    mpgtx.CompleteCheck(false, kMb, 1, 720, 576, 25);
    loop.Pump();
    shell.openResult = platform::SE_ERR_FNF;
    dlg.OnPlay();
    EXPECT_EQ(shell.opened.size(), 1u);
    EXPECT_TRUE(shell.started.empty());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST(BurnerDlgAbout, TextsHomeAndHelp) {
    MainWindow w(DISC_DVD);
    testfiles::WriteAll(w.dir.Path() + "/app.ini", "[main]\r\nAppVer=6.0.7.10 beta\r\n");
    w.dlg->OnAbout();
    ASSERT_EQ(w.host.abouts.size(), 1u);
    EXPECT_EQ(w.host.abouts[0].caption, "About Pellam ");
    EXPECT_EQ(w.host.abouts[0].versionText, "Pellam 6.0.7.10 "); // nine characters of AppVer
    EXPECT_EQ(w.host.abouts[0].supportUrl.rfind("mailto:", 0), 0u);

    std::filesystem::remove(w.dir.Path() + "/app.ini");
    w.dlg->OnAbout();
    EXPECT_EQ(w.host.abouts[1].versionText, "Pellam ");

    w.dlg->OnHome();
    std::filesystem::create_directory(w.dir.Path() + "/help");
    testfiles::WriteAll(w.dir.Path() + "/help/index.html", "<html></html>");
    w.dlg->OnHelp();
    EXPECT_EQ(w.shell.opened,
              std::vector<std::string>({kHomePageUrl, w.dir.Path() + "/help/index.html"}));
}

TEST(BurnerDlgAbout, InstalledLayoutFindsShareFolder) {
    burnertest::ScratchFolder prefix;
    std::filesystem::create_directories(prefix.Path() + "/bin");
    std::filesystem::create_directories(prefix.Path() + "/share/pellam/help");
    testfiles::WriteAll(prefix.Path() + "/share/pellam/app.ini", "[main]\nAppVer=2.1\n");
    testfiles::WriteAll(prefix.Path() + "/share/pellam/help/index.html", "");
    std::string bin = prefix.Path() + "/bin/";
    EXPECT_EQ(MakeAboutView("Pellam ", bin).versionText, "Pellam 2.1");
    EXPECT_EQ(HelpIndexPath(bin), bin + "../share/pellam/help/index.html");
}

} // namespace

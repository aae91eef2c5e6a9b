// The main window through its widgets: adding with the real checks on the fixtures, the list's
// buttons, keys and menu, the totals and the bar, Burn's questions, About and dropped files.

#include "burner_window_support.h"

#include "burner/app/qt/check_windows.h"
#include "burner/app/qt/size_bar_setup.h"
#include "controls/icon_button.h"
#include "engines/cd/fake_cd_engine.h"
#include "engines/mpgtx/fake_mpgtx.h"

#include <QContextMenuEvent>
#include <QMimeData>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>

using namespace burnerqt;

namespace {

constexpr std::int64_t kMb = 1048576;

const char* ModeName(int mode) {
    return mode == DISC_DVD ? "DVD" : mode == DISC_SVCD ? "SVCD" : "VCD";
}

struct RealCheckCase {
    int mode;
    const char* file;
    bool valid;
};

class RealChecks : public ::testing::TestWithParam<RealCheckCase> {};

// The machine's own scanner and checker decide; the window shows a row or the invalid-file
// dialog with its texts and the refusal reason.
TEST_P(RealChecks, AddShowsRowOrRefusal) {
    const RealCheckCase c = GetParam();
    BurnerWindow w(c.mode, true);
    const std::string path = Fixture(c.file);
    w.Add({path});
    ASSERT_EQ(w.requests.size(), 1u);
    EXPECT_EQ(w.requests[0].multiple, c.mode == DISC_DVD);
    EXPECT_TRUE(w.boxes.Texts().empty()) << w.boxes.Texts().front();
    EXPECT_FALSE(w.dlg->ScanningWindow().isVisible());
    EXPECT_FALSE(w.dlg->LoadingWindow().isVisible());
    if (c.valid) {
        EXPECT_TRUE(w.dialogs.empty());
        ASSERT_EQ(w.Column(0), std::vector<std::string>{path});
        EXPECT_EQ(w.Text("1019"),
                  FormatTotals(1, static_cast<double>(std::filesystem::file_size(path))));
        EXPECT_NE(w.Column(2)[0].find('X'), std::string::npos);
        EXPECT_NE(w.Column(3)[0].find("fps"), std::string::npos);
        if (c.mode == DISC_DVD)
            EXPECT_EQ(w.Column(4)[0].substr(0, 6), "00:00:");
        else
            EXPECT_NE(w.Column(4)[0].find("Kbits/s"), std::string::npos);
    } else {
        EXPECT_EQ(w.dlg->List().rowCount(), 0);
        ASSERT_EQ(w.dialogs.size(), 1u);
        const ShownDialog& d = w.dialogs[0];
        EXPECT_EQ(d.id, "156");
        EXPECT_EQ(d.caption, "Invalid MPEG file");
        EXPECT_EQ(d.texts.at("1062"), "The file: " + path + "\n is not a " + ModeName(c.mode) +
                                          " compatible mpeg file,Can't burn it directly to "
                                          "video disc.");
        EXPECT_NE(d.texts.at("1063").find(std::string("convert it to ") + ModeName(c.mode)),
                  std::string::npos);
        EXPECT_TRUE(d.visibleReason);
        EXPECT_FALSE(d.texts.at("1064").empty());
        EXPECT_EQ(w.Text("1019"), kEmptyTotals);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealChecks,
                         ::testing::Values(RealCheckCase{DISC_VCD, "vcd_pal.mpg", true},
                                           RealCheckCase{DISC_VCD, "svcd_pal.mpg", false},
                                           RealCheckCase{DISC_SVCD, "svcd_ntsc.mpg", true},
                                           RealCheckCase{DISC_SVCD, "not_mpeg.bin", false},
                                           RealCheckCase{DISC_DVD, "dvd_pal_mpa.mpg", true},
                                           RealCheckCase{DISC_DVD, "vcd_ntsc.mpg", false}));

TEST(BurnerWindow, ModeTextsColumnsAndEmptyStart) {
    for (int mode : {DISC_VCD, DISC_SVCD, DISC_DVD}) {
        BurnerWindow w(mode, false);
        EXPECT_EQ(w.dlg->windowTitle().toStdString(), TitleForDiscMode(mode));
        EXPECT_EQ(w.Text("1017"), DiscTypeText(mode));
        EXPECT_EQ(w.Text("1018"), DiscHintText(mode));
        EXPECT_EQ(w.Text("1019"), kEmptyTotals);
        QTableWidget& list = w.dlg->List();
        ASSERT_EQ(list.columnCount(), 5);
        EXPECT_EQ(list.horizontalHeaderItem(4)->text().toStdString(),
                  mode == DISC_DVD ? " Duration" : " Bitrate");
        EXPECT_EQ(list.columnWidth(0), 320);
        QWidget* bar = w.Child<QWidget>("1008");
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(SizeBarMax(*bar), mode == DISC_DVD ? 4800 : 750);
        EXPECT_EQ(SizeBarValue(*bar), 0);
        for (const char* id : {"1000", "1001", "1002", "1003", "1004", "1005", "1006", "1011",
                               "1012", "1013", "1014", "1015", "1016"}) {
            auto* button = w.Child<CIconButton>(id);
            ASSERT_NE(button, nullptr) << id;
            EXPECT_FALSE(button->IsHovered());
            EXPECT_TRUE(button->isVisible()) << id;
            EXPECT_FALSE(button->TooltipText().isEmpty()) << id;
            EXPECT_TRUE(button->IconSize().isValid()) << id;
        }
        EXPECT_FALSE(w.Child<CIconButton>("1009")->isVisible());
    }
}

// Three files added through the scripted scanner; the buttons, the Delete key and the menu work
// on the current row, and the totals and the bar follow.
TEST(BurnerWindow, ListOperationsAndTotals) {
    BurnerWindow w(DISC_VCD, false);
    auto& cd = static_cast<engines::FakeCdEngine&>(*w.cd);
    std::vector<std::string> files = {w.dir.File("a.mpg", 100 * kMb),
                                      w.dir.File("b.mpg", 200 * kMb),
                                      w.dir.File("c.mpg", 300 * kMb + kMb / 2)};
    for (const std::string& f : files) {
        w.choices.push_back({f});
        w.Click("1011");
        ASSERT_TRUE(WaitFor([&] { return w.dlg->ScanningWindow().isVisible(); }));
        ASSERT_TRUE(cd.FireScanProgress(42.7f));
        ASSERT_TRUE(WaitFor([&] { return w.dlg->ScanningWindow().Percent() == 42; }));
        ASSERT_TRUE(cd.FireScanDone(f, false, 352, 288, 1150000, 25.0));
        ASSERT_TRUE(WaitFor([&] { return w.Idle() && !w.dlg->ScanningWindow().isVisible(); }));
    }
    EXPECT_EQ(w.Column(0), files);
    EXPECT_EQ(w.Column(1), (std::vector<std::string>{"100.0", "200.0", "300.5"}));
    EXPECT_EQ(w.Column(2)[0], "352X288");
    EXPECT_EQ(w.Column(3)[0], "25.00fps");
    EXPECT_EQ(w.Column(4)[0], "1123Kbits/s");
    EXPECT_EQ(w.Text("1019"), " 3 file(s), Size: 600.5MB");
    EXPECT_EQ(SizeBarValue(*w.Child<QWidget>("1008")), 600);
    QTableWidget& list = w.dlg->List();
    EXPECT_EQ(list.selectedItems().front()->row(), 0); // the first file's row stays current

    // Move row 0 down twice, then up once: b, a, c.
    w.Click("1016");
    w.Click("1016");
    w.Click("1015");
    EXPECT_EQ(w.Column(0), (std::vector<std::string>{files[1], files[0], files[2]}));
    EXPECT_EQ(list.selectedItems().front()->row(), 1);

    // The menu on the last row greys Move Down only; on empty space nothing is current.
    QContextMenuEvent onLast(QContextMenuEvent::Mouse,
                             list.visualItemRect(list.item(2, 0)).center(), QPoint(),
                             Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &onLast);
    ASSERT_EQ(w.menus.size(), 1u);
    EXPECT_FALSE(w.menus[0].at("32778"));
    EXPECT_TRUE(w.menus[0].at("32777"));
    EXPECT_TRUE(w.menus[0].at("32775"));
    EXPECT_EQ(list.selectedItems().front()->row(), 2);

    // Delete on the list removes the current row and takes its size off.
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_EQ(w.Column(0), (std::vector<std::string>{files[1], files[0]}));
    EXPECT_EQ(w.Text("1019"), " 2 file(s), Size: 300.0MB");
    EXPECT_EQ(list.selectedItems().front()->row(), 1);

    // Remove All asks; No keeps the list, Yes empties it.
    w.boxes.Answer(platform::IDNO);
    w.boxes.Answer(platform::IDYES);
    w.Click("1013");
    EXPECT_EQ(list.rowCount(), 2);
    w.Click("1013");
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(w.boxes.Texts(), (std::vector<std::string>{kRemoveAllQuestion, kRemoveAllQuestion}));
    EXPECT_EQ(w.Text("1019"), kEmptyTotals);
    EXPECT_EQ(SizeBarValue(*w.Child<QWidget>("1008")), 0);

    QContextMenuEvent onEmpty(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(), Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &onEmpty);
    ASSERT_EQ(w.menus.size(), 2u);
    for (const char* id : {"32773", "32774", "32775", "32777", "32778"})
        EXPECT_FALSE(w.menus[1].at(id)) << id;
    EXPECT_TRUE(w.menus[1].at("32771"));
}

TEST(BurnerWindow, RemovingTheOnlyRowLeavesNoCurrentRow) {
    BurnerWindow w(DISC_DVD, false);
    auto& mpgtx = static_cast<engines::FakeMpgtx&>(*w.mpgtx);
    std::string f = w.dir.File("only.mpg", 5 * 1024 * kMb);
    w.choices.push_back({f});
    w.Click("1000");
    ASSERT_TRUE(WaitFor([&] { return w.dlg->LoadingWindow().isVisible(); }));
    ASSERT_TRUE(mpgtx.CompleteCheck(false, 5 * 1024 * kMb, 90, 720, 576, 25));
    ASSERT_TRUE(WaitFor([&] { return w.Idle() && !w.dlg->LoadingWindow().isVisible(); }));
    EXPECT_EQ(w.Column(1), std::vector<std::string>{"5120.0"});
    EXPECT_EQ(w.Column(4), std::vector<std::string>{"00:01:30.0"});
    w.Click("1001");
    EXPECT_EQ(w.dlg->List().rowCount(), 0);
    EXPECT_EQ(w.Text("1019"), kEmptyTotals);
    EXPECT_EQ(w.dlg->Logic().List().m_nSelected, -1);
}

struct BurnCase {
    int mode;
    std::int64_t bytes;
    bool asks;
};

// Burn asks about the size only above the disc's limit in whole megabytes, and a burn that
// was started closes the window.
TEST(BurnerWindow, BurnSizeQuestions) {
    const BurnCase cases[] = {
        {DISC_VCD, 700 * kMb + 9 * kMb / 10, false},
        {DISC_SVCD, 701 * kMb, true},
        {DISC_DVD, 4300 * kMb + kMb - 1, false},
        {DISC_DVD, 4301 * kMb, true},
    };
    for (const BurnCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << ModeName(c.mode) << " " << c.bytes);
        BurnerWindow w(c.mode, false);
        std::string f = w.dir.File("big.mpg", static_cast<std::uintmax_t>(c.bytes));
        w.choices.push_back({f});
        w.Click("1000");
        if (c.mode == DISC_DVD)
            ASSERT_TRUE(static_cast<engines::FakeMpgtx&>(*w.mpgtx).CompleteCheck(false, c.bytes, 60,
                                                                                 720, 576, 25));
        else
            ASSERT_TRUE(static_cast<engines::FakeCdEngine&>(*w.cd).FireScanDone(f, false, 480, 576,
                                                                                2500000, 25.0));
        ASSERT_TRUE(WaitFor([&] { return w.Idle() && w.dlg->List().rowCount() == 1; }));

        const std::string question =
            c.mode == DISC_DVD ? kDvdTooLargeQuestion : kCdTooLargeQuestion;
        if (c.asks) {
            w.boxes.Answer(platform::IDNO);
            w.Click("1002");
            EXPECT_EQ(w.boxes.Texts(), std::vector<std::string>{question});
            EXPECT_TRUE(w.burns.empty());
            w.boxes.Answer(platform::IDYES);
        }
        w.Click("1002"); // returns without a burn: the window stays
        ASSERT_EQ(w.burns.size(), 1u);
        EXPECT_EQ(w.burns[0], std::vector<std::string>{f});
        EXPECT_TRUE(w.dlg->isVisible());
        w.burnAnswer = true;
        if (c.asks) w.boxes.Answer(platform::IDYES);
        w.Click("1002");
        EXPECT_EQ(w.burns.size(), 2u);
        EXPECT_FALSE(w.dlg->isVisible());
        EXPECT_EQ(w.dlg->result(), QDialog::Accepted);
        EXPECT_EQ(w.boxes.Texts().size(), c.asks ? 3u : 0u);
    }
}

TEST(BurnerWindow, BurnOnAnEmptyListOnlyTells) {
    BurnerWindow w(DISC_SVCD, false);
    w.Click("1002");
    EXPECT_EQ(w.boxes.Texts(), std::vector<std::string>{kNoFilesMessage});
    EXPECT_TRUE(w.burns.empty());
    EXPECT_TRUE(w.dlg->isVisible());
}

// Dropped files go through the DVD checker one after another, as the Add command's would.
TEST(BurnerWindow, DroppedFilesAreChecked) {
    BurnerWindow w(DISC_DVD, true);
    const std::string good = Fixture("dvd_ntsc_ac3.mpg");
    const std::string bad = Fixture("zeros.mpg");
    const std::string good2 = Fixture("dvd_pal_mpa.mpg");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(good)),
                  QUrl::fromLocalFile(QString::fromStdString(bad)),
                  QUrl::fromLocalFile(QString::fromStdString(good2))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.dlg.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.dlg.get(), &drop);
    ASSERT_TRUE(WaitFor([&] { return w.Idle(); }));
    EXPECT_EQ(w.Column(0), (std::vector<std::string>{good, good2}));
    ASSERT_EQ(w.dialogs.size(), 1u);
    EXPECT_NE(w.dialogs[0].texts.at("1062").find(bad), std::string::npos);

    // Text without files is not taken.
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent other(QPoint(50, 50), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    other.setAccepted(false);
    QApplication::sendEvent(w.dlg.get(), &other);
    EXPECT_FALSE(other.isAccepted());
}

TEST(BurnerWindow, AboutHomeAndHelp) {
    BurnerWindow w(DISC_DVD, false);
    {
        std::ofstream ini(w.dir.Path() + "/app.ini", std::ios::binary);
        ini << "[main]\r\nAppVer=2.1.0.1234567\r\n";
    }
    w.Click("1003");
    ASSERT_EQ(w.dialogs.size(), 1u);
    EXPECT_EQ(w.dialogs[0].id, "100");
    EXPECT_EQ(w.dialogs[0].caption, "About Pellam ");
    EXPECT_EQ(w.dialogs[0].texts.at("1021"), "Pellam 2.1.0.123");
    EXPECT_EQ(w.dialogs[0].texts.at("1017"), kHomePageLinkText);
    EXPECT_EQ(w.dialogs[0].texts.at("1019"), kSupportLinkText);
    w.Click("1004");
    w.Click("1005");
    ASSERT_EQ(w.shell.opened.size(), 2u);
    EXPECT_EQ(w.shell.opened[0], kHomePageUrl);
    EXPECT_NE(w.shell.opened[1].find("index.html"), std::string::npos);
    w.Click("1006");
    EXPECT_FALSE(w.dlg->isVisible());
    EXPECT_EQ(w.dlg->result(), QDialog::Rejected);
}

} // namespace

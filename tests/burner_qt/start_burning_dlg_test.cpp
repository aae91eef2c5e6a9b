// The Start Burning window through its widgets on the offscreen platform: whole jobs with the
// scripted engines and the real image builder, the Image Recorder when it is there, and how long
// the window stalls while a large image is built.
#include "burner/app/qt/start_burning_dlg.h"

#include "burner/app/burner_startup.h"
#include "engines/cd/fake_cd_engine.h"
#include "engines/cd/system_cd_engine.h"
#include "engines/dvd/fake_dvd_engine.h"
#include "engines/dvdauthor/fake_author_dvd.h"
#include "engines/mjpgtools/fake_mplex.h"
#include "engines/mpgtx/fake_mpgtx.h"
#include "platform/drives.h"
#include "platform/message_boxes.h"
#include "platform/qt/qt_message_loop.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

QApplication& App() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "start_burning_dlg_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: torn down among the static destructors it crashes in its window clean-up.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

std::string Fixture(const char* name) {
    return std::string(PELLAM_FIXTURES) + "/" + name;
}

class Host : public CJobFolderHost {
  public:
    CBurnJob* job = nullptr;
    std::vector<std::string> messages;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Log(const std::string& text) override {
        if (job) job->Log(text);
    }
    bool MoveToTrash(const std::string&) override { return false; }
    int FreeMegabytes(const std::string&) override { return 100000; }
};

struct DlgTest : ::testing::Test {
    CBurnClock clock;
    platform::RecordingMessageBoxes boxes;
    Host host;
    BurnSettings settings;
    std::string root;
    std::unique_ptr<platform::QtMessageLoop> loop;
    engines::FakeCdEngine cd;
    engines::FakeDvdEngine dvdEngine;
    engines::FakeMpgtx mpgtx;
    engines::FakeMplex mplex;
    engines::FakeDvdAuthor author;
    std::unique_ptr<CStartBurningDlg> dlg;

    void SetUp() override {
        App();
        loop = std::make_unique<platform::QtMessageLoop>();
        root = ::testing::TempDir() + "startdlg-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        fs::create_directories(root + "/out");
        fs::create_directories(root + "/work");
        settings.SetOutputFolder(root + "/out/");
        settings.tvType = 1;
        settings.aspectRatio = 1;
        settings.letterBox = 1;
    }
    void TearDown() override {
        dlg.reset();
        loop.reset();
        fs::remove_all(root);
    }

    void Open(int mode, std::vector<std::string> files, engines::CdEngine* cdEngine = nullptr) {
        StartBurningServices s{clock, boxes, host, settings, mode, std::move(files)};
        s.cdEngine = cdEngine ? cdEngine : &cd;
        s.dvdEngine = &dvdEngine;
        s.mpgtx = &mpgtx;
        s.multiplexer = &mplex;
        s.author = &author;
        dlg = std::make_unique<CStartBurningDlg>(std::move(s), loop.get());
        host.job = &dlg->Job().Job();
        dlg->InitDialog({});
        dlg->Job().tempDrives.roots = {root + "/work/"};
        dlg->Job().tempDrives.entries = {root + "/work/tmpPellam/"};
        dlg->Job().tempDrives.selected = 0;
        dlg->Render();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }

    template <typename W> W* Get(const char* id) {
        W* w = dlg->findChild<W*>(id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    QString Text(const char* id) {
        if (auto* b = dlg->findChild<QAbstractButton*>(id)) return b->text();
        if (auto* l = dlg->findChild<QLabel*>(id)) return l->text();
        if (auto* e = dlg->findChild<QLineEdit*>(id)) return e->text();
        ADD_FAILURE() << "no text control " << id;
        return {};
    }
    void Click(const char* id) {
        QAbstractButton* b = Get<QAbstractButton>(id);
        // A radio or check box takes clicks on its indicator and text, not on the whole cell.
        bool indicator = qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b);
        QTest::mouseClick(b, Qt::LeftButton, {},
                          indicator ? QPoint(6, b->height() / 2) : b->rect().center());
    }
    // Lets the window's event loop run until the condition holds; false after the time-out.
    bool WaitFor(const std::function<bool()>& done, int seconds = 60) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            QTest::qWait(10);
        }
        return true;
    }
    QString Log() { return Get<QPlainTextEdit>("1056")->toPlainText(); }
};

TEST_F(DlgTest, VideoCdJobThroughTheWidgetsEndsWithBurnAndFinish) {
    cd.devices = {
        {"E: PELLAM CDRW", engines::kCdWriterCapabilities, engines::FakeCdMedium::BlankCdR()}};
    Open(DISC_VCD, {Fixture("vcd_pal.mpg"), Fixture("vcd_pal.mpg")});
    EXPECT_EQ(dlg->windowTitle(), "Start Burning");
    EXPECT_EQ(Text("1023"), "My VCD");
    EXPECT_EQ(Text("1046"), QString::fromStdString(root + "/out/"));
    EXPECT_EQ(Text("1042"), kPromptStart);
    EXPECT_EQ(Get<QComboBox>("1020")->currentText(), "E: PELLAM CDRW");
    for (const char* id : {"1035", "1051", "1052", "1053", "1054", "1055", "1059"})
        EXPECT_FALSE(Get<QWidget>(id)->isEnabled()) << id << " is for DVD only";
    EXPECT_FALSE(Get<QRadioButton>("1051")->isChecked());
    for (const char* id :
         {"1042", "1045", "1044", "1043", "1057", "1048", "1049", "1050", "1032", "1058"})
        EXPECT_EQ(Get<QWidget>(id)->font().weight(), QFont::Bold) << id;
    EXPECT_NE(Get<QWidget>("1059")->font().weight(), QFont::Bold);

    // The label edit holds 128 characters at most; what is typed reaches the job.
    auto* label = Get<QLineEdit>("1023");
    label->selectAll();
    QTest::keyClicks(label, QString(200, 'x'));
    EXPECT_EQ(label->text().size(), 128);
    label->selectAll();
    QTest::keyClicks(label, "Tom and Jerry");

    Click("1027");
    EXPECT_EQ(Text("1027"), "Stop");
    EXPECT_FALSE(Get<QWidget>("2")->isEnabled());
    EXPECT_FALSE(Get<QWidget>("1023")->isEnabled());
    EXPECT_FALSE(Get<QWidget>("1042")->isVisible());
    EXPECT_TRUE(Get<QWidget>("1032")->isVisible());
    EXPECT_TRUE(Get<QWidget>("1058")->isVisible());
    // Neither Escape nor the close box leave while the image is built.
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    dlg->close();
    EXPECT_TRUE(dlg->isVisible());

    int maxBar = 0;
    ASSERT_TRUE(WaitFor([&] {
        maxBar = std::max(maxBar, Get<QProgressBar>("1028")->value());
        return dlg->Job().Job().State() != 8;
    })) << "the build never ended";
    ASSERT_EQ(dlg->Job().Job().State(), 4) << Log().toStdString();
    EXPECT_GT(maxBar, 0) << "the build's progress never reached the bar";
    EXPECT_TRUE(fs::exists(dlg->Job().Values().binPath));
    EXPECT_NE(dlg->Job().Values().binPath.find("Tom and Jerry"), std::string::npos);

    ASSERT_TRUE(cd.FireProcess(42.5f));
    ASSERT_TRUE(WaitFor([&] { return Text("1032") == "Burning... 42.50%"; }, 5));
    EXPECT_EQ(Get<QProgressBar>("1028")->value(), 42);
    ASSERT_TRUE(cd.FireFinalize());
    ASSERT_TRUE(cd.FireBurnDone(nullptr));
    ASSERT_TRUE(WaitFor([&] { return Text("1027") == "Burn" && Text("2") == "Finish"; }, 5));
    EXPECT_TRUE(Get<QWidget>("1027")->isEnabled());
    EXPECT_TRUE(Get<QWidget>("2")->isEnabled());
    EXPECT_EQ(Text("1042"), kPromptBurnAnother);
    EXPECT_TRUE(Get<QWidget>("1042")->isVisible());
    EXPECT_FALSE(Get<QWidget>("1032")->isVisible());
    EXPECT_FALSE(Get<QWidget>("1047")->isEnabled()) << "the image is ready: the folder stays";
    EXPECT_TRUE(Get<QWidget>("1023")->isEnabled());
    for (const char* line :
         {"Starting...", "Creating the cue image...", "Created the cue image successfully.",
          "Burning...", "Burned the disc successfully.", "Done!"})
        EXPECT_TRUE(Log().contains(line)) << line;
    EXPECT_TRUE(dlg->Burned());

    Click("2");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST_F(DlgTest, StopDuringTheBuildAsksAndReturnsToStart) {
    cd.devices = {
        {"E: PELLAM CDRW", engines::kCdWriterCapabilities, engines::FakeCdMedium::BlankCdR()}};
    // Enough input that the build is still going when Stop arrives.
    Open(DISC_VCD, std::vector<std::string>(12, Fixture("vcd_pal.mpg")));
    Click("1027");
    ASSERT_EQ(Text("1027"), "Stop");
    boxes.Answer(platform::IDOK);
    Click("1027");
    EXPECT_EQ(boxes.Texts().back(), kAbortBuildQuestion);
    ASSERT_TRUE(WaitFor([&] { return Text("1027") == "Start"; }));
    QStringList lines = Log().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[lines.size() - 2].endsWith("  Failed to create the cue image."))
        << Log().toStdString();
    EXPECT_TRUE(lines.back().endsWith("  Failed!"));
    EXPECT_EQ(Text("1032"), "Fail to create image.");
    EXPECT_TRUE(Get<QWidget>("2")->isEnabled());
    EXPECT_EQ(Text("2"), "Cancel");
    EXPECT_FALSE(dlg->Burned());
}

TEST_F(DlgTest, NoWriterAndSelectOfTheOutputFolder) {
    Open(DISC_SVCD, {Fixture("svcd_pal.mpg")});
    EXPECT_EQ(Text("1023"), "My SVCD");
    QString asked;
    dlg->chooseFolder = [&](QWidget*, const QString& current) {
        asked = current;
        return QString::fromStdString(root + "/elsewhere");
    };
    Click("1047");
    EXPECT_EQ(asked, QString::fromStdString(root + "/out/"));
    EXPECT_EQ(Text("1046"), QString::fromStdString(root + "/elsewhere/"));
    EXPECT_EQ(settings.outputFolder, root + "/elsewhere/");
    dlg->chooseFolder = [](QWidget*, const QString&) { return QString(); }; // Cancel
    Click("1047");
    EXPECT_EQ(Text("1046"), QString::fromStdString(root + "/elsewhere/"));

    fs::create_directories(root + "/elsewhere");
    Click("1027");
    EXPECT_EQ(boxes.Texts().back(), kNoWriterMessage);
    QStringList lines = Log().split('\n');
    ASSERT_EQ(lines.size(), 3) << Log().toStdString();
    EXPECT_TRUE(lines[0].endsWith("  Starting..."));
    EXPECT_TRUE(lines[1].endsWith("  Failed to find writer with burning capabilities."));
    EXPECT_TRUE(lines[2].endsWith("  Failed!"));
    EXPECT_EQ(Text("1027"), "Start");
}

TEST_F(DlgTest, DvdJobWithTheOptionsAndTheScriptedStages) {
    engines::FakeDvdDevice d;
    d.address = {1, 0, 2, 0};
    d.vendor = "PIONEER";
    d.product = "DVD-RW DVR-111D";
    d.medium = engines::FakeDvdMedium::BlankDvdR();
    dvdEngine.devices = {d};
    Open(DISC_DVD, {Fixture("dvd_pal_mpa.mpg")});
    EXPECT_EQ(Text("1023"), "My DVD");
    for (const char* id : {"1035", "1051", "1052", "1053", "1054", "1055", "1059"})
        EXPECT_TRUE(Get<QWidget>(id)->isEnabled()) << id;
    EXPECT_TRUE(Get<QRadioButton>("1052")->isChecked());
    EXPECT_TRUE(Get<QRadioButton>("1054")->isChecked());
    EXPECT_TRUE(Get<QCheckBox>("1055")->isChecked());

    // Option clicks reach the settings.
    Click("1051");
    Click("1053");
    Click("1055");
    EXPECT_EQ(settings.tvType, 0);
    EXPECT_EQ(settings.aspectRatio, 0);
    EXPECT_EQ(settings.letterBox, 0);
    EXPECT_TRUE(Get<QRadioButton>("1051")->isChecked());
    EXPECT_FALSE(Get<QRadioButton>("1052")->isChecked());

    mplex.script = {{{4096}, 0}};
    Click("1027");
    EXPECT_EQ(Text("1027"), "Stop");
    EXPECT_FALSE(Get<QWidget>("1051")->isEnabled());
    ASSERT_TRUE(mpgtx.DemuxProgress(50));
    ASSERT_TRUE(WaitFor([&] { return Text("1032") == "Demultiplexing  50.00%"; }, 5));
    ASSERT_TRUE(mpgtx.DemuxDone());
    ASSERT_TRUE(WaitFor([&] { return dlg->Job().Job().State() == 11; }, 30));
    EXPECT_FALSE(Get<QWidget>("1027")->isEnabled());
    ASSERT_EQ(author.calls.size(), 1u);
    EXPECT_EQ(author.calls[0].tvSystem, 0);
    EXPECT_EQ(author.calls[0].aspect, 0);
    EXPECT_EQ(author.calls[0].letterBox, 0);
    ASSERT_TRUE(author.Report(engines::kAuthorCreatingImage, 90));
    ASSERT_TRUE(WaitFor([&] { return Text("1032") == "Creating DVD image...  90%"; }, 5));
    ASSERT_TRUE(author.Report(engines::kAuthorMayClose));
    ASSERT_TRUE(author.Succeed());
    ASSERT_TRUE(WaitFor([&] { return dlg->Job().Job().State() == 4; }, 5));
    dvdEngine.PushProgress(engines::kDvdWrittenEvent, 1000, 500);
    dvdEngine.PushProgress(engines::kDvdFinalizeEvent, 0, 0);
    dvdEngine.PushWriteEnd();
    ASSERT_TRUE(WaitFor([&] { return Text("1027") == "Burn" && Text("2") == "Finish"; }, 10))
        << Log().toStdString();
    EXPECT_EQ(Text("1042"), kPromptBurnAnother);
    EXPECT_TRUE(Log().contains("Created the DVD image successfully"));
    EXPECT_FALSE(Get<QWidget>("1051")->isEnabled()) << "the image is ready";
    Click("2");
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(DlgTest, VideoCdJobRecordedByTheImageRecorder) {
    std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", (root + "/home").c_str(), 1);
    fs::create_directories(root + "/home");
    auto real = engines::MakeSystemCdEngine();
    Open(DISC_VCD, {Fixture("vcd_ntsc.mpg")}, real.get());
    auto* writers = Get<QComboBox>("1020");
    ASSERT_GE(writers->count(), 1) << "the Image Recorder at least";
    writers->setCurrentIndex(writers->count() - 1);
    QTest::qWait(150); // the window renders the job meanwhile; the choice stays
    Click("1027");
    bool ended = WaitFor([&] { return Text("1027") == "Burn" || Text("1027") == "Start"; }, 180);
    setenv("HOME", oldHome.c_str(), 1);
    ASSERT_TRUE(ended) << Log().toStdString();
    EXPECT_EQ(Text("1027"), "Burn") << Log().toStdString();
    EXPECT_EQ(Text("2"), "Finish");
    EXPECT_TRUE(Log().endsWith("Done!")) << Log().toStdString();
    std::vector<fs::path> cues;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(root + "/home/Pellam/discs", ec))
        if (e.path().extension() == ".cue") cues.push_back(e.path());
    ASSERT_EQ(cues.size(), 1u);
    std::string command =
        "cd-info --no-device-info --no-cddb --cue-file '" + cues[0].string() + "' 2>&1";
    std::string info;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = fread(buf, 1, sizeof buf, p))
            info.append(buf, n);
        pclose(p);
    }
    EXPECT_NE(info.find("Video CD"), std::string::npos) << info;
}

// Not a pass/fail figure: prints how late a 10 ms timer of the window's thread ran while a large
// image was built, the longest the window could not answer. Run by bench/run_ui_stall_bench.sh.
TEST_F(DlgTest, UiStallDuringALargeBuild) {
    const char* clip = std::getenv("PELLAM_UI_STALL_CLIP");
    if (!clip) GTEST_SKIP() << "set PELLAM_UI_STALL_CLIP to a VideoCD MPEG file to measure";
    cd.devices = {
        {"E: PELLAM CDRW", engines::kCdWriterCapabilities, engines::FakeCdMedium::BlankCdR()}};
    Open(DISC_VCD, {clip, clip, clip, clip});
    QElapsedTimer clock;
    qint64 last = 0, worst = 0, ticks = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        qint64 now = clock.elapsed();
        worst = std::max(worst, now - last - 10);
        last = now;
        ++ticks;
    });
    QElapsedTimer build;
    build.start();
    Click("1027");
    clock.start();
    probe.start(10);
    ASSERT_TRUE(WaitFor([&] { return dlg->Job().Job().State() != 8; }, 600));
    probe.stop();
    ASSERT_EQ(dlg->Job().Job().State(), 4) << Log().toStdString();
    std::printf("UI stall: build of %lld MB took %lld ms; longest lateness of a 10 ms timer: "
                "%lld ms over %lld ticks\n",
                static_cast<long long>(fs::file_size(dlg->Job().Values().binPath) >> 20),
                static_cast<long long>(build.elapsed()), static_cast<long long>(worst),
                static_cast<long long>(ticks));
}

} // namespace

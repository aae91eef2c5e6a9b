// The launcher's logic with a scripted window and process, and its real window on the offscreen
// platform with the skin "MainWnd".
#include "launcher/launcher_logic.h"
#include "launcher/launcher_wnd.h"
#include "skin/skin_engine.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

QApplication& App() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "launcher_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: torn down among the static destructors it crashes in its window clean-up.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class FakeProcess : public BurnerProcess {
  public:
    struct Run {
        std::string program, argument;
    };
    std::vector<Run> runs;
    std::function<void()> onEnded;
    bool startable = true;
    bool Start(const std::string& program, const std::string& argument,
               std::function<void()> ended) override {
        runs.push_back({program, argument});
        if (!startable) return false;
        onEnded = std::move(ended);
        return true;
    }
    void End() { std::exchange(onEnded, nullptr)(); }
};

class FakeHost : public LauncherHost {
  public:
    std::vector<std::string> calls;
    void HideWindow() override { calls.push_back("hide"); }
    void ShowWindow() override { calls.push_back("show"); }
    void ShowPicture(int bitmap) override { calls.push_back("picture " + std::to_string(bitmap)); }
    void ShowAbout() override { calls.push_back("about"); }
    void OpenHelp(const std::string& path) override { calls.push_back("help " + path); }
    void OpenHome(const std::string& url) override { calls.push_back("home " + url); }
};

struct LogicTest : ::testing::Test {
    FakeHost host;
    FakeProcess process;
    CLauncherLogic logic{host, process, "/opt/pellam/bin/"};
    std::map<std::string, int> states; // absent: the call fails
    void Tick() {
        logic.OnPreviewTick([&](const char* name, int* state) {
            auto it = states.find(name);
            if (it == states.end()) return false;
            *state = it->second;
            return true;
        });
    }
};

TEST_F(LogicTest, PictureFollowsTheHoveredButtonInPriorityOrder) {
    struct Case {
        std::map<std::string, int> states;
        int picture;
    } cases[] = {
        {{{"DVD-Burner", 3}, {"VCD-Burner", 0}, {"SVCD-Burner", 3}}, kPictureVcd},
        {{{"DVD-Burner", 0}, {"VCD-Burner", 3}, {"SVCD-Burner", 3}}, kPictureDvd},
        {{{"DVD-Burner", 0}, {"VCD-Burner", 0}, {"SVCD-Burner", 0}}, kPictureDvd},
        {{{"DVD-Burner", 3}, {"VCD-Burner", 3}, {"SVCD-Burner", 0}}, kPictureSvcd},
        {{{"DVD-Burner", 2}, {"VCD-Burner", 3}, {"SVCD-Burner", 3}}, kPictureNone},
    };
    EXPECT_EQ(logic.Picture(), kPictureNone);
    for (const Case& c : cases) {
        states = c.states;
        Tick();
        EXPECT_EQ(logic.Picture(), c.picture);
    }
    // The picture is set only when the choice changes.
    host.calls.clear();
    Tick();
    Tick();
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(LogicTest, AFailedStateReadKeepsTheLastValue) {
    states = {{"VCD-Burner", 0}};
    Tick();
    EXPECT_EQ(logic.Picture(), kPictureVcd);
    states.clear(); // every read fails: VCD stays hovered
    Tick();
    EXPECT_EQ(logic.Picture(), kPictureVcd);
    states = {{"VCD-Burner", 3}};
    Tick();
    EXPECT_EQ(logic.Picture(), kPictureNone);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"picture 134", "picture 132"}));
}

TEST_F(LogicTest, BurnerCommandsStartVandrelHiddenUntilItEnds) {
    struct Case {
        int command;
        const char* argument;
    } cases[] = {{kCmdDvdBurner, "#D"}, {kCmdVcdBurner, "#V"}, {kCmdSvcdBurner, "#S"}};
    for (const Case& c : cases) {
        host.calls.clear();
        logic.OnCommand(c.command);
        ASSERT_EQ(process.runs.size() > 0, true);
        EXPECT_EQ(process.runs.back().program, "/opt/pellam/bin/Vandrel");
        EXPECT_EQ(process.runs.back().argument, c.argument);
        EXPECT_EQ(host.calls, (std::vector<std::string>{"hide"}));
        EXPECT_TRUE(logic.BurnerRunning());
        // A queued second click while the burner runs starts nothing.
        logic.OnCommand(kCmdVcdBurner);
        EXPECT_EQ(process.runs.size(), static_cast<std::size_t>(&c - cases + 1));
        process.End();
        EXPECT_EQ(host.calls, (std::vector<std::string>{"hide", "show"}));
        EXPECT_FALSE(logic.BurnerRunning());
    }
}

TEST_F(LogicTest, ABurnerThatCannotStartBringsTheWindowBackAtOnce) {
    process.startable = false;
    logic.OnCommand(kCmdSvcdBurner);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"hide", "show"}));
    EXPECT_FALSE(logic.BurnerRunning());
    process.startable = true;
    logic.OnCommand(kCmdSvcdBurner);
    EXPECT_EQ(process.runs.size(), 2u);
}

TEST_F(LogicTest, AboutHelpAndHome) {
    for (int command : {kCmdAbout, 16, 31, 32, 15, 9999})
        logic.OnCommand(command);
    logic.OnCommand(kCmdHelp);
    logic.OnCommand(kCmdHome);
    ASSERT_EQ(host.calls.size(), 5u) << ::testing::PrintToString(host.calls);
    EXPECT_EQ(host.calls[0], "about");
    EXPECT_EQ(host.calls[2], "about");
    EXPECT_EQ(host.calls[3].rfind("help /", 0), 0u);
    EXPECT_NE(host.calls[3].find("index.html"), std::string::npos);
    EXPECT_EQ(host.calls[4], std::string("home ") + CLauncherLogic::HomeUrl());
}

TEST(LauncherInstance, OnlyTheFirstLauncherGetsTheLock) {
    auto first = CLauncherLogic::AcquireInstance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CLauncherLogic::AcquireInstance(), nullptr);
    first.reset();
    EXPECT_NE(CLauncherLogic::AcquireInstance(), nullptr);
}

struct WindowTest : ::testing::Test {
    FakeProcess process;
    std::unique_ptr<CLauncherDlg> window;
    void SetUp() override {
        App();
        ASSERT_EQ(skin::StartEngine(nullptr, "test"), 1);
        ASSERT_EQ(skin::LoadSkinFromResource(nullptr, 129, skin::kSkinResourceType), 1);
        ASSERT_EQ(skin::SetDialogSkinName("Dialog"), 1);
        window = std::make_unique<CLauncherDlg>(process, "/opt/pellam/bin/");
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        if (skin::IsStarted()) skin::ShutdownEngine();
    }
    QPoint CenterOf(const char* name) {
        skin::SkinButton* b = skin::FindSkinButton(window.get(), name);
        EXPECT_NE(b, nullptr) << name;
        return b ? b->geometry().center() : QPoint();
    }
    // The picture switches on the preview timer, about 100 ms after the mouse moved.
    bool PictureBecomes(int bitmap) {
        return QTest::qWaitFor([&] { return window->Picture() == bitmap; }, 400);
    }
};

TEST_F(WindowTest, HoveringANamedButtonSwitchesThePicture) {
    EXPECT_EQ(window->windowTitle(), "Pellam");
    EXPECT_EQ(window->property(skin::kSkinProperty).toString(), "MainWnd");
    auto* picture = window->findChild<QLabel*>("1012");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(window->Picture(), kPictureNone);
    QImage before = picture->pixmap().toImage();
    EXPECT_FALSE(before.isNull());

    QTest::mouseMove(window.get(), CenterOf("VCD-Burner"));
    EXPECT_TRUE(PictureBecomes(kPictureVcd));
    EXPECT_NE(picture->pixmap().toImage(), before) << "the control shows another bitmap";
    QTest::mouseMove(window.get(), CenterOf("DVD-Burner"));
    EXPECT_TRUE(PictureBecomes(kPictureDvd));
    QTest::mouseMove(window.get(), CenterOf("SVCD-Burner"));
    EXPECT_TRUE(PictureBecomes(kPictureSvcd));
    QTest::mouseMove(window.get(), QPoint(2, window->height() - 2));
    EXPECT_TRUE(PictureBecomes(kPictureNone));
    EXPECT_EQ(picture->pixmap().toImage(), before);
}

TEST_F(WindowTest, ClickingVcdBurnerStartsVandrelHiddenAndComesBack) {
    skin::SkinButton* vcd = skin::FindSkinButton(window.get(), "VCD-Burner");
    ASSERT_NE(vcd, nullptr);
    QTest::mouseClick(vcd, Qt::LeftButton);
    ASSERT_EQ(process.runs.size(), 1u);
    EXPECT_EQ(process.runs[0].program, "/opt/pellam/bin/Vandrel");
    EXPECT_EQ(process.runs[0].argument, "#V");
    EXPECT_FALSE(window->isVisible());
    process.End();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    // The preview runs again once the window is back.
    QTest::mouseMove(window.get(), CenterOf("SVCD-Burner"));
    EXPECT_TRUE(PictureBecomes(kPictureSvcd));
}

TEST_F(WindowTest, TheRealProcessStartsAProgramAndReportsItsEnd) {
    // A stand-in for Vandrel that records its argument and ends.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string folder = dir.path().toStdString() + "/";
    std::string script = folder + "Vandrel";
    {
        FILE* f = std::fopen(script.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "#!/bin/sh\necho \"$#:$1\" > '%sargs'\nsleep 0.2\n", folder.c_str());
        std::fclose(f);
    }
    QFile::setPermissions(QString::fromStdString(script), QFile::ReadOwner | QFile::ExeOwner);
    QtBurnerProcess real;
    CLauncherDlg launcher(real, folder);
    launcher.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&launcher));
    QTest::mouseClick(skin::FindSkinButton(&launcher, "DVD-Burner"), Qt::LeftButton);
    EXPECT_FALSE(launcher.isVisible());
    EXPECT_TRUE(launcher.Logic().BurnerRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return launcher.isVisible(); }, 5000));
    QFile args(QString::fromStdString(folder + "args"));
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll().trimmed(), "1:#D");

    // A missing program: the window comes back at once.
    CLauncherDlg none(real, folder + "missing/");
    none.show();
    QTest::mouseClick(skin::FindSkinButton(&none, "SVCD-Burner"), Qt::LeftButton);
    EXPECT_TRUE(none.isVisible());
    EXPECT_FALSE(none.Logic().BurnerRunning());
}

TEST_F(WindowTest, AboutShowsTheVersionOfAppIni) {
    struct Case {
        const char* ini;
        const char* line;
    } cases[] = {{"[main]\nAppVer=2.1.0\n", "Pellam 2.1.0"}, {"[main]\nOther=1\n", "Pellam "}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        std::string folder = dir.path().toStdString() + "/";
        QFile ini(QString::fromStdString(folder + "app.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(c.ini);
        ini.close();
        CLauncherDlg launcher(process, folder);
        if (&c == cases) {
            launcher.OnSkinCommand(kCmdAbout);
        } else {
            // The window menu's item.
            auto* item = launcher.findChild<QAction*>("about");
            ASSERT_NE(item, nullptr);
            item->trigger();
        }
        auto* about = launcher.findChild<QDialog*>("100");
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->windowTitle(), "About Pellam");
        auto* version = about->findChild<QLabel*>("1002");
        ASSERT_NE(version, nullptr);
        EXPECT_EQ(version->text(), c.line);
        EXPECT_NE(about->findChild<QLabel*>("1003"), nullptr);
        EXPECT_NE(about->findChild<QLabel*>("1005"), nullptr);
    }
}

} // namespace

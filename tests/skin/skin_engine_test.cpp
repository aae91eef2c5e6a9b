#include "skin/burner_skin_engine.h"
#include "skin/skin_engine.h"

#include "skin_test_app.h"

#include <QDialog>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A window that records the commands of its skin's buttons.
class CommandWindow : public QDialog, public skin::CommandTarget {
  public:
    void OnSkinCommand(int command) override { commands.push_back(command); }
    std::vector<int> commands;
};

// A dialog that takes the engine's skin off itself before its own set-up, as the launcher's main
// window and the burner's wait windows do.
class UnskinnedDialog : public QDialog {
  public:
    UnskinnedDialog() { skin::RemoveWindowSkin(this); }
};

class SkinEngineTest : public ::testing::Test {
  protected:
    void SetUp() override { SkinTestApp(); }
    void TearDown() override {
        if (skin::IsStarted()) skin::ShutdownEngine();
    }
    static void StartWithSkin129() {
        ASSERT_EQ(skin::StartEngine(nullptr, "test"), 1);
        ASSERT_EQ(skin::LoadSkinFromResource(nullptr, 129, "RT_SKINMAGIC"), 1);
    }
};

QColor PixelOf(QWidget& widget, QPoint at) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image.pixelColor(at);
}

TEST_F(SkinEngineTest, CallsBeforeStartFailWithoutEffect) {
    CommandWindow window;
    window.setStyleSheet("QDialog { background: white; }");
    int state = 3;
    struct Call {
        const char* what;
        int result;
    } calls[] = {
        {"load", skin::LoadSkinFromResource(nullptr, 129, "RT_SKINMAGIC")},
        {"dialog name", skin::SetDialogSkinName("Dialog")},
        {"window skin", skin::SetWindowSkin(&window, "MainWnd")},
        {"remove", skin::RemoveWindowSkin(&window)},
        {"button state", skin::GetButtonState(&window, "DVD-Burner", &state)},
        {"shutdown", skin::ShutdownEngine()},
    };
    for (const Call& call : calls) {
        EXPECT_EQ(call.result, 0) << call.what;
    }
    EXPECT_EQ(skin::GetLastError(), skin::SKIN_E_NOT_STARTED);
    EXPECT_EQ(state, 3);
    EXPECT_EQ(window.styleSheet(), "QDialog { background: white; }");
    EXPECT_FALSE(window.property(skin::kSkinProperty).isValid());
    EXPECT_TRUE(window.findChildren<QPushButton*>().isEmpty());
}

TEST_F(SkinEngineTest, StartsOnceLoadsOnlyItsOwnSkinResourceAndShutsDownOnce) {
    ASSERT_EQ(skin::StartEngine(nullptr, "test"), 1);
    EXPECT_EQ(skin::StartEngine(nullptr, "test"), 0);
    EXPECT_EQ(skin::GetLastError(), skin::SKIN_E_ALREADY_STARTED);

    CommandWindow window;
    EXPECT_EQ(skin::SetWindowSkin(&window, "Dialog"), 0) << "no skin loaded yet";
    EXPECT_EQ(skin::GetLastError(), skin::SKIN_E_NO_SKIN);

    struct Case {
        int resource;
        const char* type;
        int result;
    } cases[] = {{129, "RT_BITMAP", 0},
                 {130, "RT_SKINMAGIC", 0},
                 {129, nullptr, 0},
                 {129, "RT_SKINMAGIC", 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(skin::LoadSkinFromResource(nullptr, c.resource, c.type), c.result)
            << c.resource << " " << (c.type ? c.type : "null");
        EXPECT_EQ(skin::GetLastError(),
                  c.result ? skin::SKIN_OK : int(skin::SKIN_E_RESOURCE_NOT_FOUND));
    }
    EXPECT_EQ(skin::SetWindowSkin(&window, "NoSuchObject"), 0);
    EXPECT_EQ(skin::GetLastError(), skin::SKIN_E_UNKNOWN_OBJECT);

    EXPECT_EQ(skin::ShutdownEngine(), 1);
    EXPECT_EQ(skin::ShutdownEngine(), 0);
    EXPECT_EQ(skin::GetLastError(), skin::SKIN_E_NOT_STARTED);
}

TEST_F(SkinEngineTest, TheBurnersStartUpDrivesTheEngineThroughItsInterface) {
    skin::BurnerSkinEngine engine;
    SkinEngine& startUp = engine;
    EXPECT_NE(startUp.Start(), 0);
    EXPECT_EQ(startUp.LoadSkinFromResource(nullptr, 129, "RT_SKINMAGIC"), 1);
    EXPECT_TRUE(skin::IsStarted());
    EXPECT_EQ(startUp.Shutdown(), 1);
    EXPECT_FALSE(skin::IsStarted());
    EXPECT_EQ(startUp.Shutdown(), 0);
}

TEST_F(SkinEngineTest, ErrorCodesBelongToTheCallingThreadAndOtherThreadsAreRefused) {
    StartWithSkin129();
    EXPECT_EQ(skin::SetDialogSkinName("Dialog"), 1);
    int result = -1, error = -1;
    std::thread other([&] {
        result = skin::SetDialogSkinName("MainWnd");
        error = skin::GetLastError();
    });
    other.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, skin::SKIN_E_WRONG_THREAD);
    EXPECT_EQ(skin::GetLastError(), skin::SKIN_OK);
}

TEST_F(SkinEngineTest, TheLauncherWindowGetsItsNamedButtonsAndTheirCommands) {
    StartWithSkin129();
    CommandWindow window;
    ASSERT_EQ(skin::RemoveWindowSkin(&window), 1);
    ASSERT_EQ(skin::SetWindowSkin(&window, "MainWnd"), 1);
    EXPECT_EQ(window.property(skin::kSkinProperty).toString(), "MainWnd");

    const struct {
        const char* name;
        int command;
    } buttons[] = {{"DVD-Burner", 6061}, {"VCD-Burner", 6062}, {"SVCD-Burner", 6063},
                   {"About", 7071},      {"Help", 7072},       {"Home", 7073}};
    std::vector<int> expected;
    for (const auto& b : buttons) {
        skin::SkinButton* button = skin::FindSkinButton(&window, b.name);
        ASSERT_NE(button, nullptr) << b.name;
        button->click();
        expected.push_back(b.command);
    }
    EXPECT_EQ(window.commands, expected);

    // The buttons lie inside the window, clear of each other and of the picture control
    // (179 x 125 dialog units at 33, 45).
    const QRect picture = skin::DialogUnitsToPixels(QRect(33, 45, 179, 125), window.fontMetrics());
    const QRect client = window.rect();
    for (const auto& a : buttons) {
        QRect ra = skin::FindSkinButton(&window, a.name)->geometry();
        EXPECT_TRUE(client.contains(ra)) << a.name;
        EXPECT_FALSE(ra.intersects(picture)) << a.name;
        for (const auto& b : buttons) {
            if (a.name == b.name) continue;
            EXPECT_FALSE(ra.intersects(skin::FindSkinButton(&window, b.name)->geometry()))
                << a.name << " and " << b.name;
        }
    }
}

TEST_F(SkinEngineTest, ButtonStatesFollowTheMouse) {
    StartWithSkin129();
    CommandWindow window;
    skin::RemoveWindowSkin(&window);
    skin::SetWindowSkin(&window, "MainWnd");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const char* names[] = {"DVD-Burner", "VCD-Burner", "SVCD-Burner"};
    auto states = [&] {
        std::vector<int> out;
        for (const char* name : names) {
            int state = 3;
            EXPECT_EQ(skin::GetButtonState(&window, name, &state), 1) << name;
            out.push_back(state);
        }
        return out;
    };
    EXPECT_EQ(states(), (std::vector<int>{3, 3, 3}));

    QTest::mouseMove(&window, skin::FindSkinButton(&window, "VCD-Burner")->geometry().center());
    EXPECT_EQ(states(), (std::vector<int>{3, 0, 3}));
    QTest::mouseMove(&window, skin::FindSkinButton(&window, "DVD-Burner")->geometry().center());
    EXPECT_EQ(states(), (std::vector<int>{0, 3, 3}));
    QTest::mouseMove(&window, QPoint(2, window.height() - 2));
    EXPECT_EQ(states(), (std::vector<int>{3, 3, 3}));

    // Hidden while the mouse is over a button, as when the launcher starts a burner.
    QTest::mouseMove(&window, skin::FindSkinButton(&window, "SVCD-Burner")->geometry().center());
    EXPECT_EQ(states(), (std::vector<int>{3, 3, 0}));
    window.hide();
    EXPECT_EQ(states(), (std::vector<int>{3, 3, 3}));

    skin::FindSkinButton(&window, "DVD-Burner")->setEnabled(false);
    int state = 3;
    skin::GetButtonState(&window, "DVD-Burner", &state);
    EXPECT_EQ(state, skin::kButtonDisabled);

    state = 7;
    EXPECT_EQ(skin::GetButtonState(&window, "Burner", &state), 0);
    EXPECT_EQ(skin::GetLastError(), skin::SKIN_E_UNKNOWN_BUTTON);
    EXPECT_EQ(state, 7) << "a failed call keeps the caller's value";
}

TEST_F(SkinEngineTest, DialogsCreatedAfterTheNameIsSetAreSkinnedUnlessTakenOff) {
    StartWithSkin129();
    ASSERT_EQ(skin::SetDialogSkinName("Dialog"), 1);

    QDialog skinned;
    skinned.resize(200, 100);
    skinned.ensurePolished();
    EXPECT_EQ(skinned.property(skin::kSkinProperty).toString(), "Dialog");
    EXPECT_EQ(PixelOf(skinned, QPoint(3, 3)), QColor("#eef2f7"));

    UnskinnedDialog plain;
    plain.ensurePolished();
    EXPECT_EQ(plain.property(skin::kSkinProperty).toString(), skin::kSkinOff);
    EXPECT_TRUE(plain.styleSheet().isEmpty());

    // Taking the skin off a dialog that has it restores its own sheet.
    QDialog own;
    own.setStyleSheet("QDialog { background: #102030; }");
    own.ensurePolished();
    EXPECT_TRUE(own.styleSheet().contains("#eef2f7"));
    skin::RemoveWindowSkin(&own);
    EXPECT_EQ(own.styleSheet(), "QDialog { background: #102030; }");

    QWidget notADialog;
    notADialog.ensurePolished();
    EXPECT_FALSE(notADialog.property(skin::kSkinProperty).isValid());

    ASSERT_EQ(skin::SetDialogSkinName(""), 1);
    QDialog afterEmptyName;
    afterEmptyName.ensurePolished();
    EXPECT_FALSE(afterEmptyName.property(skin::kSkinProperty).isValid());
}

TEST_F(SkinEngineTest, ShutdownTakesTheSkinOffEveryWindow) {
    StartWithSkin129();
    CommandWindow window;
    window.setStyleSheet("QDialog { color: red; }");
    skin::SetWindowSkin(&window, "MainWnd");
    ASSERT_NE(skin::FindSkinButton(&window, "Home"), nullptr);
    // The launcher's band: the top of the window is the accent blue, not the dialog grey.
    window.show();
    EXPECT_NE(PixelOf(window, QPoint(window.width() / 2, 2)), QColor("#eef2f7"));
    EXPECT_EQ(skin::ShutdownEngine(), 1);
    EXPECT_EQ(skin::FindSkinButton(&window, "Home"), nullptr);
    EXPECT_EQ(window.styleSheet(), "QDialog { color: red; }");
    EXPECT_FALSE(window.property(skin::kSkinProperty).isValid());
}

TEST_F(SkinEngineTest, TheDialogSkinNameIsKeptUpToFiftyCharacters) {
    const QString fifty(skin::kMaxSkinNameLength, 'D');
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile json(dir.filePath("skin.json"));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(
        QString(R"({"objects": [{"name": "%1", "styleSheet": "s.qss"}]})").arg(fifty).toUtf8());
    json.close();
    QFile sheet(dir.filePath("s.qss"));
    ASSERT_TRUE(sheet.open(QIODevice::WriteOnly));
    sheet.write("QDialog { background: #123456; }");
    sheet.close();

    ASSERT_EQ(skin::StartEngine(nullptr), 1);
    ASSERT_EQ(skin::LoadSkinFromFolder(dir.path()), 1);
    ASSERT_EQ(skin::SetDialogSkinName((fifty + "XYZ").toUtf8().constData()), 1);
    QDialog dialog;
    dialog.ensurePolished();
    EXPECT_EQ(dialog.property(skin::kSkinProperty).toString(), fifty);
}

} // namespace

// Built only where Qt is installed.
#if __has_include(<QCoreApplication>)

#include "platform/qt/qt_message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QApplication& App() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qt_message_boxes_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: torn down among the static destructors it crashes in its window clean-up.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Clicks a button of the box that is about to show, noting what it showed.
struct Clicker {
    QMessageBox::StandardButton button = QMessageBox::Ok;
    QString text, title;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    void Arm() {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            text = box->text();
            title = box->windowTitle();
            buttons = static_cast<int>(box->standardButtons());
            icon = box->icon();
            box->button(button)->click();
        });
    }
};

TEST(QtMessageBoxes, ShowsTheTextAndButtonsAndReturnsTheAnswer) {
    App();
    platform::QtMessageBoxes boxes;
    struct Case {
        unsigned type;
        QMessageBox::StandardButton click;
        int answer;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
    } cases[] = {
        {platform::MB_OK, QMessageBox::Ok, platform::IDOK, QMessageBox::Ok, QMessageBox::NoIcon},
        {platform::MB_YESNO | platform::MB_ICONQUESTION, QMessageBox::No, platform::IDNO,
         QMessageBox::Yes | QMessageBox::No, QMessageBox::Question},
        {platform::MB_OKCANCEL | platform::MB_ICONERROR, QMessageBox::Cancel, platform::IDCANCEL,
         QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Critical},
    };
    for (const Case& c : cases) {
        Clicker clicker;
        clicker.button = c.click;
        clicker.Arm();
        EXPECT_EQ(boxes.Show("Can't load mplex DLL!", "Vandrel", c.type), c.answer);
        EXPECT_EQ(clicker.text, "Can't load mplex DLL!");
        EXPECT_EQ(clicker.title, "Vandrel");
        EXPECT_EQ(clicker.buttons, static_cast<int>(c.buttons));
        EXPECT_EQ(clicker.icon, c.icon);
    }
    boxes.Beep(platform::MB_ICONWARNING); // must not block or crash without a sound device
}

} // namespace

#endif

#include "burner_window_support.h"

#include "engines/cd/fake_cd_engine.h"
#include "engines/cd/system_cd_engine.h"
#include "engines/mpgtx/fake_mpgtx.h"
#include "engines/mpgtx/system_mpgtx.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace burnerqt {

QApplication& App() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "burner_qt_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: torn down among the static destructors it crashes in its window clean-up.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

bool WaitFor(const std::function<bool()>& condition, int ms) {
    return QTest::qWaitFor(condition, ms);
}

std::string Fixture(const std::string& name) {
    return std::string(PELLAM_FIXTURES) + "/" + name;
}

ScratchDir::ScratchDir() {
    char name[] = "/tmp/pellam_qtdlg_XXXXXX";
    path_ = mkdtemp(name) ? name : "";
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::File(const std::string& name, std::uintmax_t bytes) const {
    std::string p = path_ + "/" + name;
    { std::ofstream(p, std::ios::binary); }
    std::filesystem::resize_file(p, bytes);
    return p;
}

BurnerWindow::BurnerWindow(int discMode, bool real) : mode(discMode) {
    App();
    if (real) {
        if (mode == DISC_DVD)
            mpgtx = engines::MakeSystemMpgtx();
        else
            cd = engines::MakeSystemCdEngine();
    } else {
        cd = std::make_unique<engines::FakeCdEngine>();
        mpgtx = std::make_unique<engines::FakeMpgtx>();
    }
    BurnerDlgServices s{mode, TitleForDiscMode(mode), boxes, shell, loop};
    s.cdEngine = cd.get();
    s.mpgtx = mpgtx.get();
    s.appFolder = dir.Path() + "/";
    s.startBurning = [this](QWidget*, const std::vector<std::string>& paths) {
        burns.push_back(paths);
        return burnAnswer;
    };
    s.chooseFiles = [this](QWidget*, const FileOpenRequest& request) {
        requests.push_back(request);
        if (choices.empty()) return std::vector<std::string>();
        std::vector<std::string> c = choices.front();
        choices.pop_front();
        return c;
    };
    s.runModal = [this](QDialog& dialog) {
        ShownDialog shown{
            dialog.objectName().toStdString(), dialog.windowTitle().toStdString(), {}};
        for (QLabel* label : dialog.findChildren<QLabel*>())
            if (!label->objectName().isEmpty())
                shown.texts[label->objectName().toStdString()] = label->text().toStdString();
        if (QLabel* reason = dialog.findChild<QLabel*>("1064"))
            shown.visibleReason = !reason->isHidden();
        dialogs.push_back(shown);
    };
    s.runMenu = [this](QMenu& menu, const QPoint&) {
        MenuShown shown;
        for (QAction* action : menu.actions())
            if (!action->objectName().isEmpty())
                shown[action->objectName().toStdString()] = action->isEnabled();
        menus.push_back(shown);
    };
    s.findPlayer = [] { return std::string(); };
    dlg = std::make_unique<CBurnerDlg>(std::move(s));
    dlg->show();
}

BurnerWindow::~BurnerWindow() {
    dlg.reset();
}

void BurnerWindow::Click(const char* id) {
    QAbstractButton* button = Child<QAbstractButton>(id);
    ASSERT_NE(button, nullptr) << id;
    button->click();
}

std::string BurnerWindow::Text(const char* id) {
    QLabel* label = Child<QLabel>(id);
    return label ? label->text().toStdString() : std::string("<no ") + id + ">";
}

std::vector<std::string> BurnerWindow::Column(int column) {
    std::vector<std::string> texts;
    QTableWidget& list = dlg->List();
    for (int r = 0; r < list.rowCount(); ++r)
        texts.push_back(list.item(r, column) ? list.item(r, column)->text().toStdString() : "");
    return texts;
}

void BurnerWindow::Add(const std::vector<std::string>& paths) {
    choices.push_back(paths);
    Click("1000");
    if (!dynamic_cast<engines::FakeCdEngine*>(cd.get()) &&
        !dynamic_cast<engines::FakeMpgtx*>(mpgtx.get())) {
        EXPECT_TRUE(WaitFor([this] { return Idle(); }));
    }
}

} // namespace burnerqt

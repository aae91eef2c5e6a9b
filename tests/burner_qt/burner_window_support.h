// The burner's main window on the offscreen platform with a Qt message loop: scripted or real
// engines, a recording message box, and the modal dialogs and the list's menu captured instead
// of run.
#pragma once

#include "burner/app/burner_startup.h"
#include "burner/app/qt/burner_dlg.h"
#include "engines/cd/cd_engine.h"
#include "engines/mpgtx/mpgtx.h"
#include "platform/message_boxes.h"
#include "platform/qt/qt_message_loop.h"
#include "platform/shell_open.h"

#include <QApplication>
#include <QDialog>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace burnerqt {

QApplication& App();

// Runs the event loop until the condition holds or the time is up; returns the condition.
bool WaitFor(const std::function<bool()>& condition, int ms = 20000);

std::string Fixture(const std::string& name);

class NullShell : public platform::Shell {
  public:
    std::vector<std::string> opened;
    std::intptr_t Open(const std::string& target) override {
        opened.push_back(target);
        return platform::SE_OK;
    }
    std::intptr_t Start(const std::string&, const std::vector<std::string>&) override {
        return platform::SE_OK;
    }
};

// What a modal dialog showed: its id, caption and the texts of its numbered labels.
struct ShownDialog {
    std::string id;
    std::string caption;
    std::map<std::string, std::string> texts;
    bool visibleReason = false; // label 1064 of the invalid-file dialog
};

// What the list's menu offered: the enabled state of each numbered item.
using MenuShown = std::map<std::string, bool>;

class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    std::string File(const std::string& name, std::uintmax_t bytes) const; // sparse
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

struct BurnerWindow {
    // real: the machine's CD engine or MPEG checker; otherwise the scripted ones.
    BurnerWindow(int mode, bool real);
    ~BurnerWindow();

    template <class W> W* Child(const char* id) { return dlg->findChild<W*>(id); }
    void Click(const char* id);
    std::string Text(const char* id);
    std::vector<std::string> Column(int column);
    // Adds through the Add button with the file dialog answering these paths; with the real
    // engines waits for the checks.
    void Add(const std::vector<std::string>& paths);
    bool Idle() { return !dlg->Logic().View().checking; }

    int mode;
    platform::QtMessageLoop loop;
    platform::RecordingMessageBoxes boxes;
    NullShell shell;
    ScratchDir dir;
    std::unique_ptr<engines::CdEngine> cd;
    std::unique_ptr<engines::Mpgtx> mpgtx;
    std::deque<std::vector<std::string>> choices;
    std::vector<FileOpenRequest> requests;
    std::vector<ShownDialog> dialogs;
    std::vector<MenuShown> menus;
    std::vector<std::vector<std::string>> burns; // the paths each Start Burning run got
    bool burnAnswer = false;
    std::unique_ptr<CBurnerDlg> dlg;
};

} // namespace burnerqt

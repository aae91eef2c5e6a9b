// Start-up's main-dialog step on the desktop: the real engines of the disc mode, the Qt message
// loop, and CBurnerDlg run modally. With a screenshot folder it instead shows each window once
// and saves a picture of it there.
#pragma once

#include "burner/app/burner_startup.h"

#include <string>
#include <vector>

namespace platform {
class MessageBoxes;
class MessageLoop;
class Shell;
} // namespace platform

class QtBurnerDialogHost : public MainDialogHost {
  public:
    QtBurnerDialogHost(platform::MessageBoxes& boxes, platform::Shell& shell,
                       platform::MessageLoop& loop, BurnSettings& settings);
    int RunMainDialog(const std::string& title) override;

    // Screenshot mode: files to drop on the list first (a refused one shows its dialog).
    std::string screenshotDir;
    std::vector<std::string> screenshotFiles;

  private:
    platform::MessageBoxes& boxes_;
    platform::Shell& shell_;
    platform::MessageLoop& loop_;
    BurnSettings& settings_;
};

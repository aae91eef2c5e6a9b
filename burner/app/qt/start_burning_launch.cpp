#include "burner/app/qt/start_burning_launch.h"

#include "burner/app/qt/start_burning_dlg.h"
#include "platform/drives.h"
#include "platform/qt/qt_message_loop.h"
#include "platform/qt/trash.h"

namespace {

// The folder steps' side of the dialog: log lines go into the job's log, removed folders to the
// desktop trash.
class DialogFolderHost : public CJobFolderHost {
  public:
    CBurnJob* job = nullptr;
    void Log(const std::string& text) override {
        if (job) job->Log(text);
    }
    bool MoveToTrash(const std::string& path) override { return platform::MoveToTrash(path); }
};

} // namespace

bool RunStartBurning(QWidget* parent, const StartBurningLaunch& launch) {
    if (!launch.settings || !launch.boxes) return false;
    CBurnClock clock;
    DialogFolderHost host;
    // The engines' events and the build's messages come back through this loop on the GUI
    // thread; it outlives the dialog.
    platform::QtMessageLoop loop;
    StartBurningServices services{clock,           *launch.boxes,   host, *launch.settings,
                                  launch.discMode, launch.listPaths};
    services.cdEngine = launch.cdEngine;
    services.dvdEngine = launch.dvdEngine;
    services.mpgtx = launch.mpgtx;
    services.multiplexer = launch.multiplexer;
    services.author = launch.author;
    bool burned = false;
    {
        CStartBurningDlg dialog(std::move(services), &loop, parent);
        host.job = &dialog.Job().Job();
        dialog.InitDialog(platform::ListDrives());
        dialog.exec();
        burned = dialog.Burned();
        host.job = nullptr;
    }
    return burned;
}

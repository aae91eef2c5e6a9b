// Pellam: the launcher. One instance per user; its whole life is the main window.
#include "launcher/launcher_wnd.h"
#include "platform/program_folder.h"
#include "skin/skin_engine.h"

#include <QApplication>

int main(int argc, char** argv) {
    // A second launcher ends at once, without a window or a message.
    std::unique_ptr<platform::InstanceLock> lock = CLauncherLogic::AcquireInstance();
    if (!lock) return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName("Pellam");
    QApplication::setDesktopFileName("pellam");

    const bool skinned = skin::StartEngine(nullptr, "Pellam") == 1;
    if (skinned) {
        skin::LoadSkinFromResource(nullptr, 129, skin::kSkinResourceType);
        skin::SetDialogSkinName("Dialog");
    }
    {
        QtBurnerProcess process;
        CLauncherDlg dialog(process, platform::GetAppFolder());
        dialog.exec();
    }
    if (skinned) skin::ShutdownEngine();
    return 0;
}

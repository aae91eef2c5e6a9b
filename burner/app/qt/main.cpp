// Vandrel, the burner: one process per disc type, named on the command line ("#V", "#S", "#D").
// "--screenshot DIR [files...]" saves pictures of its windows into DIR instead of running.
#include "burner/app/burn_settings.h"
#include "burner/app/burner_startup.h"
#include "burner/app/qt/burner_dialog_host.h"
#include "platform/library_loader.h"
#include "platform/qt/qt_message_boxes.h"
#include "platform/qt/qt_message_loop.h"
#include "platform/registry.h"
#include "platform/shell_open.h"
#include "skin/burner_skin_engine.h"

#include <QApplication>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::QtMessageLoop loop;
    platform::QtMessageBoxes boxes;
    platform::SetMessageBoxes(&boxes);
    platform::DesktopRegistry registry;
    platform::DlLibraryLoader loader;
    platform::DesktopShell shell;
    skin::BurnerSkinEngine skinEngine;
    QtBurnerDialogHost host(boxes, shell, loop, g_settings);

    std::vector<const char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            host.screenshotDir = argv[++i];
            while (i + 1 < argc)
                host.screenshotFiles.push_back(argv[++i]);
            break;
        }
        args.push_back(argv[i]);
    }

    CBurnerApp burner(
        CBurnerApp::Services{registry, boxes, loader, skinEngine, host, g_settings, {}});
    burner.InitInstance(CommandLineFromArgs(static_cast<int>(args.size()), args.data()));
    int code = burner.ExitInstance();
    platform::SetMessageBoxes(nullptr);
    return code;
}

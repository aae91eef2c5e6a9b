#include "burner/app/qt/burner_dialog_host.h"

#include "burner/app/qt/burner_dlg.h"
#include "burner/app/qt/screenshots.h"
#include "burner/app/qt/start_burning_launch.h"
#include "engines/cd/system_cd_engine.h"
#include "engines/dvd/system_dvd_engine.h"
#include "engines/dvdauthor/system_author_dvd.h"
#include "engines/mjpgtools/mplex.h"
#include "engines/mpgtx/system_mpgtx.h"
#include "platform/program_folder.h"

#include <memory>

QtBurnerDialogHost::QtBurnerDialogHost(platform::MessageBoxes& boxes, platform::Shell& shell,
                                       platform::MessageLoop& loop, BurnSettings& settings)
    : boxes_(boxes), shell_(shell), loop_(loop), settings_(settings) {}

int QtBurnerDialogHost::RunMainDialog(const std::string& title) {
    const bool dvd = DiscMode == DISC_DVD;
    // One process serves one disc type, so only its engines are started.
    std::unique_ptr<engines::CdEngine> cd;
    std::unique_ptr<engines::DvdEngine> dvdEngine;
    std::unique_ptr<engines::Mpgtx> mpgtx;
    std::unique_ptr<engines::DvdAuthor> author;
    std::unique_ptr<engines::Multiplexer> multiplexer;
    if (dvd) {
        dvdEngine = engines::MakeSystemDvdEngine();
        mpgtx = engines::MakeSystemMpgtx();
        author = engines::MakeSystemDvdAuthor();
        multiplexer = std::make_unique<engines::EntryMultiplexer>(
            reinterpret_cast<engines::MplexEntry>(g_pfnMplex));
    } else {
        cd = engines::MakeSystemCdEngine();
    }

    BurnerDlgServices services{DiscMode, title, boxes_, shell_, loop_};
    services.cdEngine = cd.get();
    services.mpgtx = mpgtx.get();
    services.appFolder = platform::GetAppFolder();
    services.startBurning = [&](QWidget* parent, const std::vector<std::string>& paths) {
        StartBurningLaunch launch;
        launch.discMode = DiscMode;
        launch.listPaths = paths;
        launch.settings = &settings_;
        launch.boxes = &boxes_;
        launch.cdEngine = cd.get();
        launch.dvdEngine = dvdEngine.get();
        launch.mpgtx = mpgtx.get();
        launch.multiplexer = multiplexer.get();
        launch.author = author.get();
        return RunStartBurning(parent, launch);
    };
    const QString prefix = dvd ? "dvd" : DiscMode == DISC_SVCD ? "svcd" : "vcd";
    const QString dir = QString::fromStdString(screenshotDir);
    if (!screenshotDir.empty()) {
        services.runModal = ScreenshotModal(dir, prefix);
        services.runMenu = ScreenshotMenu(dir, prefix);
    }

    int result = 0;
    {
        CBurnerDlg dialog(std::move(services));
        if (screenshotDir.empty())
            result = dialog.exec();
        else
            result = TakeScreenshots(dialog, dir, prefix, screenshotFiles);
    }
    return result;
}

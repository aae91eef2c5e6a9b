// pellam-burn: the burner's whole job without a window. It checks nothing the Start Burning dialog
// would not, and goes the same way: the VideoCD image built and burned, or the DVD files
// demultiplexed, multiplexed, authored and burned, on a drive or on the Image Recorder.
#include "burner/app/burn_settings.h"
#include "burner/app/burner_startup.h"
#include "burner/app/start_burning_job.h"
#include "engines/cd/system_cd_engine.h"
#include "engines/checks/mpeg_compat.h"
#include "engines/dvd/system_dvd_engine.h"
#include "engines/dvdauthor/system_author_dvd.h"
#include "engines/mjpgtools/mplex.h"
#include "engines/mpgtx/system_mpgtx.h"
#include "platform/drives.h"
#include "platform/library_loader.h"
#include "platform/manual_message_loop.h"
#include "platform/message_boxes.h"
#include "platform/qt/trash.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop = true;
}

// Boxes on the terminal. Questions get the answer of the command line: Yes to erasing a
// rewritable disc only with --erase, OK to stopping once the user pressed Ctrl-C.
class ConsoleBoxes : public platform::MessageBoxes {
  public:
    bool erase = false;
    int Show(const std::string& text, const std::string&, unsigned type) override {
        std::fprintf(stderr, "pellam-burn: %s\n", text.c_str());
        if ((type & 0xF) == platform::MB_YESNO) return erase ? platform::IDYES : platform::IDNO;
        return platform::IDOK;
    }
    void Beep(unsigned) override {}
};

class ConsoleHost : public CJobFolderHost {
  public:
    CBurnJob* job = nullptr;
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "pellam-burn: %s\n", text.c_str());
    }
    void Log(const std::string& text) override {
        if (job) job->Log(text);
    }
    bool MoveToTrash(const std::string& path) override { return platform::MoveToTrash(path); }
};

int Usage(int code) {
    std::fprintf(code ? stderr : stdout,
                 "Usage: pellam-burn --mode vcd|svcd|dvd [--label TEXT] [--output FOLDER]\n"
                 "                   [--writer N] [--list] [--erase] [--pal|--ntsc] [--wide]\n"
                 "                   FILE.mpg...\n"
                 "Burns the files, in order, as one disc. Without a burner the disc is recorded\n"
                 "by the Image Recorder into ~/Pellam/discs/. --list shows the writers.\n");
    return code;
}

} // namespace

int main(int argc, char** argv) {
    int mode = -1;
    std::string label, output;
    int writer = -1, tv = -1;
    bool list = false, wide = false;
    ConsoleBoxes boxes;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--mode") {
            std::string m = value();
            mode = m == "vcd" ? DISC_VCD : m == "svcd" ? DISC_SVCD : m == "dvd" ? DISC_DVD : -2;
        } else if (a == "--label") {
            label = value();
        } else if (a == "--output") {
            output = value();
        } else if (a == "--writer") {
            writer = std::atoi(value().c_str());
        } else if (a == "--list") {
            list = true;
        } else if (a == "--erase") {
            boxes.erase = true;
        } else if (a == "--pal" || a == "--ntsc") {
            tv = a == "--pal" ? 1 : 0;
        } else if (a == "--wide") {
            wide = true;
        } else if (a == "-h" || a == "--help") {
            return Usage(0);
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "pellam-burn: unknown option %s\n", a.c_str());
            return Usage(2);
        } else {
            // The list holds full paths, as the main window's does.
            std::error_code ec;
            std::filesystem::path full = std::filesystem::absolute(a, ec);
            files.push_back(ec ? a : full.lexically_normal().string());
        }
    }
    if (mode < 0 || (files.empty() && !list)) return Usage(2);

    DiscMode = mode;
    g_settings.Load();
    if (!output.empty()) g_settings.SetOutputFolder(output.back() == '/' ? output : output + "/");

    // The files are checked as Add checks them; a refused one stops everything.
    const engines::DiscKind kind = mode == DISC_VCD    ? engines::DiscKind::Vcd
                                   : mode == DISC_SVCD ? engines::DiscKind::Svcd
                                                       : engines::DiscKind::Dvd;
    for (const std::string& f : files) {
        engines::MpegCheckResult r = engines::CheckMpegFile(f, kind);
        if (!r.ok) {
            std::fprintf(stderr, "pellam-burn: %s: %s\n", f.c_str(), r.reason.c_str());
            return 1;
        }
    }

    platform::DlLibraryLoader loader;
    platform::LibraryHandle mjpg = nullptr;
    engines::MplexEntry mplexEntry = nullptr;
    if (mode == DISC_DVD) {
        mjpg = loader.Load(kMjpgToolsLibrary);
        if (mjpg)
            mplexEntry = reinterpret_cast<engines::MplexEntry>(loader.Symbol(mjpg, kMplexEntry));
        if (!mplexEntry) {
            std::fprintf(stderr, "pellam-burn: cannot load %s\n", kMjpgToolsLibrary);
            return 1;
        }
    }
    engines::EntryMultiplexer multiplexer(mplexEntry);
    auto cd = mode == DISC_DVD ? nullptr : engines::MakeSystemCdEngine();
    auto dvd = mode == DISC_DVD ? engines::MakeSystemDvdEngine() : nullptr;
    auto mpgtx = mode == DISC_DVD ? engines::MakeSystemMpgtx() : nullptr;
    auto author = mode == DISC_DVD ? engines::MakeSystemDvdAuthor() : nullptr;

    platform::ManualMessageLoop loop;
    CBurnClock clock;
    ConsoleHost host;
    StartBurningServices services{clock, boxes, host, g_settings, mode, files};
    services.cdEngine = cd.get();
    services.dvdEngine = dvd.get();
    services.mpgtx = mpgtx.get();
    services.multiplexer = &multiplexer;
    services.author = author.get();
    int exitCode = 1;
    {
        CStartBurningJob job(services);
        host.job = &job.Job();
        job.AttachLoop(&loop);
        job.OnInitDialog(platform::ListDrives());
        if (list) {
            for (int i = 0; i < job.writers.GetCount(); ++i)
                std::printf("%d%s %s\n", i, i == job.writers.GetCurSel() ? "*" : " ",
                            job.writers.rows[i].c_str());
            return 0;
        }
        if (writer >= 0) {
            job.writers.SetCurSel(writer);
        } else if (job.writers.GetCount() > 0 && job.writers.GetCurSel() < 0) {
            job.writers.SetCurSel(0);
        }
        if (!label.empty()) job.label = label;
        if (mode == DISC_DVD) {
            if (tv >= 0) job.OnTvType(tv);
            if (wide) job.OnAspect(1);
        }

        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        std::size_t shown = 0;
        auto print = [&] {
            const std::string& log = job.View().log;
            if (log.size() < shown) shown = 0; // the log was cleared
            while (shown < log.size()) {
                std::size_t end = log.find("\r\n", shown);
                if (end == std::string::npos) break;
                std::printf("%s\n", log.substr(shown, end - shown).c_str());
                shown = end + 2;
            }
            std::fflush(stdout);
        };
        job.OnStart();
        bool stopAsked = false;
        std::string status;
        while (job.Job().State() != 0 || job.BuildRunning()) {
            loop.PumpWait(std::chrono::milliseconds(100));
            loop.Advance(100);
            print();
            if (job.View().status != status && isatty(fileno(stderr))) {
                status = job.View().status;
                std::fprintf(stderr, "\r\033[K%s", status.c_str());
            }
            if (g_stop && !stopAsked) {
                stopAsked = true;
                job.OnStart(); // Stop, where the job can stop
            }
        }
        if (isatty(fileno(stderr))) std::fprintf(stderr, "\r\033[K");
        print();
        exitCode =
            job.Burned() && job.View().log.rfind("Done!\r\n") == job.View().log.size() - 7 ? 0 : 1;
    }
    g_settings.Save();
    if (mjpg) loader.Free(mjpg);
    return exitCode;
}

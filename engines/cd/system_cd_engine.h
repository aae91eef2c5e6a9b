// The CD engine on Linux: the optical drives of the kernel's CD-ROM table burned with cdrdao,
// the Image Recorder writing BIN/CUE pairs into $HOME/Pellam/discs, and the video scanner of the
// VCD and SVCD projects on the MPEG compatibility check.
//
// Calls come from the user-interface thread. Burns and erases run on one thread of the engine,
// scans on another; the events are called from those threads. Options the engine reads: the
// label (file names of the Image Recorder) and byte 405 (1: eject the disc after the burn).
#pragma once

#include "engines/cd/cd_drive_list.h"
#include "engines/cd/cd_engine.h"
#include "engines/checks/mpeg_compat.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace engines {

using CdScanFn = std::function<MpegCheckResult(const std::string& path, DiscKind kind,
                                               const std::atomic<int>* cancel)>;

struct SystemCdConfig {
    CdDrivePaths drives;
    std::string discsFolder; // empty: $HOME/Pellam/discs as HOME reads at the burn
    CdScanFn scan;           // empty: every scanned file is refused
    // After an abort the program gets SIGQUIT (cdrdao's own clean stop), SIGTERM after this
    // long and SIGKILL after twice this long.
    int abortGraceMs = 5000;
};

std::unique_ptr<CdEngine> MakeSystemCdEngine(SystemCdConfig config);
// The machine's drives and the MPEG compatibility check.
std::unique_ptr<CdEngine> MakeSystemCdEngine();

} // namespace engines

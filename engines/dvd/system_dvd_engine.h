// The DVD engine on Linux: drives from the kernel's cdrom table and sysfs, the disc read with
// dvd+rw-mediainfo, erased with dvd+rw-format, written with growisofs; after the drives, the
// Image Recorder, which records the disc into an image file with genisoimage.
#pragma once

#include "engines/dvd/dvd_drive_discovery.h"
#include "engines/dvd/dvd_engine.h"

#include <memory>
#include <string>

namespace engines {

// Exception codes of this engine besides kDvdAbortException; the status then holds the tool's
// exit status and the text its error lines.
constexpr std::uint32_t kSystemDvdToolMissing = 1; // the program could not be started
constexpr std::uint32_t kSystemDvdToolFailed = 2;
constexpr std::uint32_t kSystemDvdNoSuchDevice = 3;
constexpr std::uint32_t kSystemDvdBadTree = 4;
constexpr std::uint32_t kSystemDvdNoMedium = 5;

struct SystemDvdEngineOptions {
    DvdDiscoveryPaths paths;
    std::string discsFolder; // empty: $HOME/Pellam/discs/ at the time of each write
};

std::unique_ptr<DvdEngine> MakeSystemDvdEngine();
std::unique_ptr<DvdEngine> MakeSystemDvdEngine(const SystemDvdEngineOptions& options);

} // namespace engines

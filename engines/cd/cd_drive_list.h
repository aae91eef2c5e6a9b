// The optical drives of the machine as the CD engine lists them: read from the kernel's CD-ROM
// table and sysfs, each given a drive letter, plus the Image Recorder after them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engines {

// Capability bits of GetDeviceCapabilities. 0x200 | 0x400 is what the burner tests for a CD
// writer.
constexpr std::uint32_t kCdCapReadCd = 0x001;
constexpr std::uint32_t kCdCapReadDvd = 0x002;
constexpr std::uint32_t kCdCapWriteCdR = 0x200;
constexpr std::uint32_t kCdCapWriteCdRw = 0x400;
constexpr std::uint32_t kCdCapWriteDvdR = 0x800;
constexpr std::uint32_t kCdCapWriteDvdRam = 0x1000;

// Where discovery reads; tests point these into a temporary folder.
struct CdDrivePaths {
    std::string cdromInfo = "/proc/sys/dev/cdrom/info";
    std::string sysBlock = "/sys/block";
    std::string devDir = "/dev";
};

struct CdDrive {
    char letter = 0;
    std::string name;       // kernel name, "sr0"
    std::string devicePath; // "/dev/sr0"; empty for the Image Recorder
    std::string text;       // the device list's display text, starting with the letter
    std::uint32_t capabilities = 0;
    bool imageRecorder = false;
};

// One column of the kernel's table: the drive's name and its capabilities.
struct CdromInfoColumn {
    std::string name;
    std::uint32_t capabilities = 0;
};
// Parses /proc/sys/dev/cdrom/info; columns come back sorted by drive number (sr0, sr1, ...,
// sr10), whatever order the kernel printed them in.
std::vector<CdromInfoColumn> ParseCdromInfo(const std::string& text);

// The drives found, lettered from D: in order, then the Image Recorder with the next letter.
// Never more than the 26 entries the device list holds.
std::vector<CdDrive> DiscoverCdDrives(const CdDrivePaths& paths);

} // namespace engines

// Drives as the job code sees them: the mounted local, writable, non-removable block-device file
// systems, each with the root folder where the program may write.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MountEntry {
    std::string device;
    std::string mountPoint;
    std::string type;
    std::string options;
    bool readOnly = false;
};

struct Drive {
    std::string device;
    std::string mountPoint;
    std::string type;
    std::string root; // with a trailing '/'
};

// The lines of a mounts file (fstab format, octal escapes such as \040 decoded); lines that are
// not well formed are skipped.
std::vector<MountEntry> ParseMounts(std::string_view text);

// What the drive model asks of the system; tests answer for it.
struct DriveProbe {
    std::function<bool(const std::string& device)> isRemovable;
    std::function<bool(const std::string& folder)> isWritableFolder;
    std::string home;   // $HOME
    std::string tmpdir; // $TMPDIR
};

// The probe of this machine: sysfs for removable devices, access(2) for writable folders.
DriveProbe SystemDriveProbe();

// The drives among the mounts, in mount order, one per root. The root is the first writable
// folder of: the mount point, $HOME when the mount holds it, $TMPDIR when the mount holds it.
std::vector<Drive> ListDrives(const std::vector<MountEntry>& mounts, const DriveProbe& probe);

// The drives of this machine (/proc/self/mounts).
std::vector<Drive> ListDrives();

} // namespace platform

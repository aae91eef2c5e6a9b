// The optical drives of the machine: the kernel's table in /proc/sys/dev/cdrom/info (one column
// per drive) and each drive's SCSI address and identification in sysfs.
#pragma once

#include "engines/dvd/dvd_engine.h"

#include <string>
#include <vector>

namespace engines {

struct DvdDiscoveryPaths {
    std::string cdromInfo = "/proc/sys/dev/cdrom/info";
    std::string sysBlock = "/sys/block";
    std::string dev = "/dev";
};

struct DvdDriveInfo {
    std::string name;         // "sr0"
    std::string devicePath;   // "/dev/sr0"
    DvdDeviceAddress address; // host, channel, target, lun of the SCSI device
    std::string vendor, model, revision;
    bool canReadDvd = false, canWriteDvdR = false, canWriteDvdRam = false;
    bool canWriteCdR = false, canWriteCdRw = false, canReadMultisession = false;
    bool canOpenTray = false, canCloseTray = false, canLockTray = false;
    bool canChangeSpeed = false;
};

// Drives in the order of their names (sr0, sr1, ...). Nothing when the table cannot be read.
std::vector<DvdDriveInfo> DiscoverDvdDrives(const DvdDiscoveryPaths& paths);

} // namespace engines

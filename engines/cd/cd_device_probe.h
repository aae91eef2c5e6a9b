// Direct questions to a drive through the kernel, asked before cdrdao is run: whether a disc is
// in (cdrdao would otherwise retry an empty drive for half a minute), what kind of disc it is
// (cdrdao only knows CDs), and opening the tray.
#pragma once

#include <string>

namespace engines {

enum class CdTrayState { Unknown, NoDisc, DiscPresent };

// CDROM_DRIVE_STATUS; Unknown when the path is no CD-ROM device or the kernel cannot tell.
CdTrayState ProbeCdTray(const std::string& devicePath);

// The MMC current profile of GET CONFIGURATION (0x0009 CD-R, 0x000A CD-RW, 0x0011 DVD-R, ...), 0
// when no disc is in, -1 when the drive cannot be asked.
int ProbeCdProfile(const std::string& devicePath);

// The medium type name of an MMC profile ("CD-R", "DVD+RW", ...); "" for profiles without one.
std::string CdProfileName(int profile);

// CDROMEJECT; false when the drive refused or the path is no CD-ROM device.
bool EjectCdTray(const std::string& devicePath);

} // namespace engines

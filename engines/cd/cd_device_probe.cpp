#include "engines/cd/cd_device_probe.h"

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace engines {

namespace {

// O_NONBLOCK opens a drive without a disc; the descriptor closes with the scope.
class DeviceFd {
  public:
    explicit DeviceFd(const std::string& path)
        : fd_(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~DeviceFd() {
        if (fd_ >= 0) close(fd_);
    }
    DeviceFd(const DeviceFd&) = delete;
    DeviceFd& operator=(const DeviceFd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

} // namespace

CdTrayState ProbeCdTray(const std::string& devicePath) {
    DeviceFd fd(devicePath);
    if (fd.get() < 0) return CdTrayState::Unknown;
    int status = ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (status == CDS_NO_DISC || status == CDS_TRAY_OPEN) return CdTrayState::NoDisc;
    if (status == CDS_DISC_OK) return CdTrayState::DiscPresent;
    return CdTrayState::Unknown;
}

int ProbeCdProfile(const std::string& devicePath) {
    DeviceFd fd(devicePath);
    if (fd.get() < 0) return -1;
    // GET CONFIGURATION, RT = 1 (the current features), allocation length 8: the feature header
    // alone, whose bytes 6 and 7 hold the current profile.
    unsigned char cdb[10] = {0x46, 0x01, 0, 0, 0, 0, 0, 0, 8, 0};
    unsigned char reply[8] = {};
    unsigned char sense[32] = {};
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = sizeof cdb;
    io.cmdp = cdb;
    io.dxfer_len = sizeof reply;
    io.dxferp = reply;
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.timeout = 5000;
    if (ioctl(fd.get(), SG_IO, &io) != 0) return -1;
    if ((io.info & SG_INFO_OK_MASK) != SG_INFO_OK) return -1;
    if (io.dxfer_len - static_cast<unsigned>(io.resid) < 8) return -1;
    return reply[6] << 8 | reply[7];
}

std::string CdProfileName(int profile) {
    switch (profile) {
    case 0x0008:
        return "CD-ROM";
    case 0x0009:
        return "CD-R";
    case 0x000A:
        return "CD-RW";
    case 0x0010:
        return "DVD-ROM";
    case 0x0011:
        return "DVD-R";
    case 0x0012:
        return "DVD-RAM";
    case 0x0013:
    case 0x0014:
        return "DVD-RW";
    case 0x0015:
    case 0x0016:
        return "DVD-R DL";
    case 0x001A:
        return "DVD+RW";
    case 0x001B:
        return "DVD+R";
    case 0x002B:
        return "DVD+R DL";
    case 0x0040:
        return "BD-ROM";
    case 0x0041:
    case 0x0042:
        return "BD-R";
    case 0x0043:
        return "BD-RE";
    default:
        return {};
    }
}

bool EjectCdTray(const std::string& devicePath) {
    DeviceFd fd(devicePath);
    if (fd.get() < 0) return false;
    ioctl(fd.get(), CDROM_LOCKDOOR, 0);
    return ioctl(fd.get(), CDROMEJECT, 0) == 0;
}

} // namespace engines

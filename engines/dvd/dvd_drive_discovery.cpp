#include "engines/dvd/dvd_drive_discovery.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

namespace engines {

namespace fs = std::filesystem;

namespace {

// Drives that have no SCSI address in sysfs are numbered on this port.
constexpr std::uint8_t kUnaddressedPort = 0xFE;

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// A kernel drive name such as "sr0": letters then digits, nothing that could leave /dev.
bool SafeDriveName(const std::string& name) {
    if (name.empty() || name.size() > 16) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

int DriveNumber(const std::string& name) {
    std::size_t i = name.find_first_of("0123456789");
    int n = 0;
    if (i == std::string::npos) return 1 << 20;
    std::from_chars(name.data() + i, name.data() + name.size(), n);
    return n;
}

// First line of a sysfs attribute; trailing blanks go (vendors are padded to 8 characters).
std::string ReadAttribute(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    std::size_t e = line.find_last_not_of(" \t\r\n");
    if (e == std::string::npos) return line.empty() ? std::string() : std::string(" ");
    return line.substr(0, e + 1);
}

// The device link ends in "host:channel:target:lun".
bool ReadScsiAddress(const fs::path& deviceLink, DvdDeviceAddress& address) {
    std::error_code ec;
    fs::path target = fs::canonical(deviceLink, ec);
    if (ec) return false;
    std::string hctl = target.filename().string();
    unsigned values[4] = {};
    const char* p = hctl.data();
    const char* end = hctl.data() + hctl.size();
    for (int i = 0; i < 4; ++i) {
        auto [next, err] = std::from_chars(p, end, values[i]);
        if (err != std::errc() || values[i] > 0xFF) return false;
        p = next;
        if (i < 3) {
            if (p == end || *p != ':') return false;
            ++p;
        }
    }
    if (p != end) return false;
    address.port = static_cast<std::uint8_t>(values[0]);
    address.bus = static_cast<std::uint8_t>(values[1]);
    address.targetId = static_cast<std::uint8_t>(values[2]);
    address.lun = static_cast<std::uint8_t>(values[3]);
    return true;
}

} // namespace

std::vector<DvdDriveInfo> DiscoverDvdDrives(const DvdDiscoveryPaths& paths) {
    std::ifstream in(paths.cdromInfo);
    if (!in) return {};
    // Every row is "Key:<tabs>value per drive", in the column order of "drive name".
    std::vector<std::string> names;
    std::map<std::string, std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = Trim(line.substr(0, colon));
        std::istringstream values(line.substr(colon + 1));
        std::vector<std::string> cells;
        for (std::string cell; values >> cell;)
            cells.push_back(cell);
        if (key == "drive name")
            names = cells;
        else
            rows[key] = cells;
    }
    auto flag = [&](const char* key, std::size_t column) {
        auto it = rows.find(key);
        return it != rows.end() && column < it->second.size() && it->second[column] == "1";
    };

    std::vector<DvdDriveInfo> drives;
    for (std::size_t column = 0; column < names.size(); ++column) {
        if (!SafeDriveName(names[column])) continue;
        DvdDriveInfo d;
        d.name = names[column];
        d.devicePath = (fs::path(paths.dev) / d.name).string();
        d.canReadDvd = flag("Can read DVD", column);
        d.canWriteDvdR = flag("Can write DVD-R", column);
        d.canWriteDvdRam = flag("Can write DVD-RAM", column);
        d.canWriteCdR = flag("Can write CD-R", column);
        d.canWriteCdRw = flag("Can write CD-RW", column);
        d.canReadMultisession = flag("Can read multisession", column);
        d.canOpenTray = flag("Can open tray", column);
        d.canCloseTray = flag("Can close tray", column);
        d.canLockTray = flag("Can lock tray", column);
        d.canChangeSpeed = flag("Can change speed", column);
        fs::path device = fs::path(paths.sysBlock) / d.name / "device";
        if (!ReadScsiAddress(device, d.address)) {
            d.address = {kUnaddressedPort, 0, static_cast<std::uint8_t>(DriveNumber(d.name) & 0xFF),
                         0};
        }
        d.vendor = ReadAttribute(device / "vendor");
        d.model = ReadAttribute(device / "model");
        d.revision = ReadAttribute(device / "rev");
        bool duplicate = std::any_of(drives.begin(), drives.end(), [&](const DvdDriveInfo& o) {
            return o.name == d.name || o.address == d.address;
        });
        if (!duplicate) drives.push_back(std::move(d));
    }
    std::sort(drives.begin(), drives.end(), [](const DvdDriveInfo& a, const DvdDriveInfo& b) {
        return DriveNumber(a.name) < DriveNumber(b.name);
    });
    return drives;
}

} // namespace engines

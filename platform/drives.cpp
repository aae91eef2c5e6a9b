#include "platform/drives.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const std::set<std::string>& LocalTypes() {
    static const std::set<std::string> types{
        "ext2", "ext3",  "ext4",    "xfs",  "btrfs", "vfat",     "msdos",   "exfat",
        "ntfs", "ntfs3", "fuseblk", "f2fs", "jfs",   "reiserfs", "hfsplus", "nilfs2"};
    return types;
}

std::string Unescape(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool HasOption(const std::string& options, std::string_view name) {
    std::size_t pos = 0;
    while (pos <= options.size()) {
        std::size_t end = options.find(',', pos);
        if (end == std::string::npos) end = options.size();
        if (std::string_view(options).substr(pos, end - pos) == name) return true;
        pos = end + 1;
    }
    return false;
}

std::string WithSlash(std::string p) {
    if (p.empty() || p.back() != '/') p += '/';
    return p;
}

// Whether mount point mp holds path (on a folder boundary).
bool Holds(const std::string& mp, const std::string& path) {
    if (path.empty() || mp.empty()) return false;
    if (mp == "/") return path.front() == '/';
    return path.compare(0, mp.size(), mp) == 0 &&
           (path.size() == mp.size() || path[mp.size()] == '/');
}

// The mount that holds path: the longest mount point above it, the later mount of equals.
const MountEntry* HolderOf(const std::vector<MountEntry>& mounts, const std::string& path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts) {
        if (!Holds(m.mountPoint, path)) continue;
        if (!best || m.mountPoint.size() >= best->mountPoint.size()) best = &m;
    }
    return best;
}

bool ReadFlag(const std::string& file) {
    std::ifstream in(file);
    int v = 0;
    return (in >> v) && v != 0;
}

} // namespace

std::vector<MountEntry> ParseMounts(std::string_view text) {
    std::vector<MountEntry> out;
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string device, mountPoint, type, options;
        if (!(fields >> device >> mountPoint >> type >> options)) continue;
        if (device.front() == '#') continue;
        MountEntry m;
        m.device = Unescape(device);
        m.mountPoint = Unescape(mountPoint);
        m.type = type;
        m.options = options;
        m.readOnly = HasOption(options, "ro");
        out.push_back(std::move(m));
    }
    return out;
}

DriveProbe SystemDriveProbe() {
    DriveProbe probe;
    probe.isRemovable = [](const std::string& device) {
        char real[PATH_MAX];
        if (!::realpath(device.c_str(), real)) return false;
        std::string name = real;
        name = name.substr(name.rfind('/') + 1);
        char sys[PATH_MAX];
        std::string link = "/sys/class/block/" + name;
        if (!::realpath(link.c_str(), sys)) return false;
        std::string dir = sys;
        // A partition has no flag of its own; its disk is the folder above.
        if (::access((dir + "/partition").c_str(), F_OK) == 0) dir = dir.substr(0, dir.rfind('/'));
        return ReadFlag(dir + "/removable");
    };
    probe.isWritableFolder = [](const std::string& folder) {
        struct stat st {};
        return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
               ::access(folder.c_str(), W_OK | X_OK) == 0;
    };
    if (const char* h = std::getenv("HOME")) probe.home = h;
    if (const char* t = std::getenv("TMPDIR")) probe.tmpdir = t;
    return probe;
}

std::vector<Drive> ListDrives(const std::vector<MountEntry>& mounts, const DriveProbe& probe) {
    std::vector<Drive> drives;
    std::set<std::string> roots;
    for (const MountEntry& m : mounts) {
        if (m.readOnly || !LocalTypes().count(m.type)) continue;
        if (m.device.compare(0, 5, "/dev/") != 0) continue;
        // Hidden by a later mount on the same point.
        if (HolderOf(mounts, m.mountPoint) != &m) continue;
        if (probe.isRemovable && probe.isRemovable(m.device)) continue;
        std::vector<std::string> candidates{m.mountPoint};
        for (const std::string* p : {&probe.home, &probe.tmpdir}) {
            std::string path = *p;
            while (path.size() > 1 && path.back() == '/')
                path.pop_back();
            if (!path.empty() && HolderOf(mounts, path) == &m) candidates.push_back(path);
        }
        for (const std::string& c : candidates) {
            if (probe.isWritableFolder && !probe.isWritableFolder(c)) continue;
            std::string root = WithSlash(c);
            if (roots.insert(root).second) drives.push_back({m.device, m.mountPoint, m.type, root});
            break;
        }
    }
    return drives;
}

std::vector<Drive> ListDrives() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    return ListDrives(ParseMounts(text.str()), SystemDriveProbe());
}

} // namespace platform

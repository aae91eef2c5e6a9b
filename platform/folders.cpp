#include "platform/folders.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {

namespace {

std::string Strip(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// Empties the folder open as fd and closes it; entries are removed relative to it, so a
// folder swapped for a link meanwhile is never followed.
bool EmptyFolder(int fd) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            int sub = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0 || !EmptyFolder(sub) || ::unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0)
                ok = false;
        } else if (::unlinkat(fd, name.c_str(), 0) != 0) {
            ok = false;
        }
    }
    ::closedir(dir);
    return ok;
}

} // namespace

bool FolderExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool MakeFolders(const std::string& path) {
    std::string p = Strip(path);
    if (p.empty()) return false;
    for (std::size_t pos = 1; pos <= p.size(); ++pos) {
        if (pos != p.size() && p[pos] != '/') continue;
        std::string level = p.substr(0, pos);
        if (::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return FolderExists(p);
}

bool DeleteFolder(const std::string& path) {
    std::string p = Strip(path);
    if (p.empty() || p == "/") return false;
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return ::unlink(p.c_str()) == 0;
    int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = EmptyFolder(fd);
    return ::rmdir(p.c_str()) == 0 && ok;
}

std::int64_t FreeSpaceMB(const std::string& path) {
    struct statvfs vfs {};
    if (path.empty() || ::statvfs(path.c_str(), &vfs) != 0) return -1;
    unsigned long long bytes = static_cast<unsigned long long>(vfs.f_bavail) *
                               static_cast<unsigned long long>(vfs.f_frsize);
    return static_cast<std::int64_t>(bytes / (1024ull * 1024ull));
}

} // namespace platform

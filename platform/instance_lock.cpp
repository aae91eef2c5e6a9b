#include "platform/instance_lock.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// A folder of this user's alone, or empty: one that another user made first is not taken.
std::string FallbackFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string dir = base && *base ? base : "/tmp";
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    dir += "/pellam-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return dir;
}

} // namespace

InstanceLock::InstanceLock(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = runtime && runtime[0] == '/' ? runtime : FallbackFolder();
    if (dir.empty() || name.empty() || name.find('/') != std::string::npos) return;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    m_path = dir + "/" + name + ".lock";
    int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

InstanceLock::~InstanceLock() {
    // The file stays: removing it would let a second process lock a fresh file while a third
    // still holds the old one.
    if (m_fd >= 0) ::close(m_fd);
}

} // namespace platform

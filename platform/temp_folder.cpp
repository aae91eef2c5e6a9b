#include "platform/temp_folder.h"

#include "platform/folders.h"

#include <cstdlib>
#include <sys/stat.h>

namespace platform {

PrivateTempFolder::PrivateTempFolder(const char* prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string dir = base && *base && FolderExists(base) ? base : "/tmp";
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    std::string pattern = dir + "/" + (prefix && *prefix ? prefix : "pellam") + "-XXXXXX";
    if (::mkdtemp(pattern.data())) {
        ::chmod(pattern.c_str(), 0700);
        m_path = pattern + "/";
    }
}

PrivateTempFolder::~PrivateTempFolder() {
    if (!m_path.empty()) DeleteFolder(m_path);
}

} // namespace platform

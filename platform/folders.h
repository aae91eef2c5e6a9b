// Folder operations the job code relies on.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A folder that exists and can be entered. A trailing '/' does not matter.
bool FolderExists(const std::string& path);

// Makes the folder and every missing level above it (mode 0777 less the umask). True when the
// folder exists afterwards.
bool MakeFolders(const std::string& path);

// Deletes the folder and everything in it; symbolic links are removed, never followed. True
// when nothing of it is left (also when it did not exist).
bool DeleteFolder(const std::string& path);

// Space available to the user on the file system holding path, in whole megabytes (MiB,
// rounded down); -1 when it cannot be read.
std::int64_t FreeSpaceMB(const std::string& path);

} // namespace platform

// Moving a file or folder to the desktop's trash, where the user can still restore it.
#pragma once

#include <string>

namespace platform {

// False when the desktop has no trash for the path's file system; nothing is deleted then.
bool MoveToTrash(const std::string& path);

} // namespace platform

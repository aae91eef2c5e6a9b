// Replacing a file's whole content so that a crash or a full disk leaves either the old file or
// the new one, never a part of either.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes a temporary file in the same folder, flushes it to disk and renames it over path.
// Returns false (and removes the temporary file) on any failure; the old file is then untouched.
bool WriteFileAtomically(const std::string& path, std::string_view data);

} // namespace platform

// Where the running program and the user's configuration live.
#pragma once

#include <string>

namespace platform {

// The folder of the running executable (/proc/self/exe) with a trailing '/'; empty when unknown.
std::string GetAppFolder();

// The user's configuration folder of Pellam: $XDG_CONFIG_HOME/Pellam/ when that is an absolute
// path, else $HOME/.config/Pellam/; with a trailing '/'. It is not created here.
std::string ConfigFolder();

} // namespace platform

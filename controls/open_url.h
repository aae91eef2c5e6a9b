// Opening a link the two ways the programs do it, and the texts of a failed open. Results follow
// the shell's convention: above 32 is success.
#pragma once

#include "platform/registry.h"
#include "platform/shell_open.h"

#include <cstdint>
#include <string>
#include <vector>

namespace controls {

enum class UrlOpenForm {
    Launcher, // the shell's "open" first, the browser registered for ".htm" as the fallback
    Burner,   // "mailto" addresses to the shell, every other one to the ".htm" browser
};

constexpr int SW_SHOWNORMAL = 1;

// The browser command for address: the ".htm" class's open command cut where "\"%1\"" (or else
// "%1") first occurs, then one blank and the address. False when the registry lacks either key.
bool BrowserCommandLine(const platform::Registry& registry, const std::string& address,
                        std::string& commandLine);

// The program and its arguments in the part of a command line before the address, split at
// blanks outside double quotes.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Runs the browser command through the shell; the address stays one argument, never re-split or
// handed to a command interpreter. SE_ERR_NOASSOC when the registry has no browser.
std::intptr_t RunBrowser(platform::Shell& shell, const platform::Registry& registry,
                         const std::string& address);

// The open routine over the process's shell and registry; showCommand has no effect here.
std::intptr_t OpenUrl(UrlOpenForm form, const std::string& address, int showCommand);
std::intptr_t OpenUrl(UrlOpenForm form, platform::Shell& shell, const platform::Registry& registry,
                      const std::string& address);

// "Unable to open hyperlink:\n" and the reason for the code.
std::string OpenErrorText(std::intptr_t code);

} // namespace controls

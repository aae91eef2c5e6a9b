#include "controls/open_url.h"

#include <cstdio>

namespace controls {

bool BrowserCommandLine(const platform::Registry& registry, const std::string& address,
                        std::string& commandLine) {
    std::string htmlClass, command;
    if (!registry.ReadString(platform::RegistryRoot::ClassesRoot, ".htm", "", htmlClass) ||
        htmlClass.empty())
        return false;
    if (!registry.ReadString(platform::RegistryRoot::ClassesRoot,
                             htmlClass + "\\shell\\open\\command", "", command))
        return false;
    std::size_t cut = command.find("\"%1\"");
    if (cut == std::string::npos) cut = command.find("%1");
    if (cut != std::string::npos) command.resize(cut);
    commandLine = command + " " + address;
    return true;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> parts;
    std::string current;
    bool quoted = false, any = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) parts.push_back(current);
            current.clear();
            any = false;
        } else {
            current.push_back(c);
            any = true;
        }
    }
    if (any) parts.push_back(current);
    return parts;
}

std::intptr_t RunBrowser(platform::Shell& shell, const platform::Registry& registry,
                         const std::string& address) {
    std::string line;
    if (!BrowserCommandLine(registry, address, line)) return platform::SE_ERR_NOASSOC;
    // The address is what follows the command's own part; keep it whole.
    std::vector<std::string> program =
        SplitCommandLine(line.substr(0, line.size() - address.size()));
    if (program.empty()) return platform::SE_ERR_NOASSOC;
    std::vector<std::string> args(program.begin() + 1, program.end());
    args.push_back(address);
    return shell.Start(program[0], args);
}

std::intptr_t OpenUrl(UrlOpenForm form, platform::Shell& shell, const platform::Registry& registry,
                      const std::string& address) {
    if (form == UrlOpenForm::Burner) {
        if (address.compare(0, 6, "mailto") == 0) return shell.Open(address);
        return RunBrowser(shell, registry, address);
    }
    std::intptr_t result = shell.Open(address);
    if (result > 32) return result;
    std::string line;
    if (!BrowserCommandLine(registry, address, line)) return result;
    return RunBrowser(shell, registry, address);
}

std::intptr_t OpenUrl(UrlOpenForm form, const std::string& address, int /*showCommand*/) {
    return OpenUrl(form, platform::GetShell(), platform::GetRegistry(), address);
}

std::string OpenErrorText(std::intptr_t code) {
    std::string reason;
    switch (code) {
    case 0:
        reason = "The operating system is out\nof memory or resources.";
        break;
    case 2:
        reason = "The specified file was not found.";
        break;
    case 3:
        reason = "The specified path was not found.";
        break;
    case 5:
        reason = "The operating system denied\naccess to the specified file.";
        break;
    case 8:
        reason = "There was not enough memory to complete the operation.";
        break;
    case 11:
        reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        break;
    case 26:
        reason = "A sharing violation occurred. ";
        break;
    case 27:
        reason = "The filename association is\nincomplete or invalid.";
        break;
    case 28:
        reason = "The DDE transaction could not\nbe completed because the request timed out.";
        break;
    case 29:
        reason = "The DDE transaction failed.";
        break;
    case 30:
        reason = "The DDE transaction could not\nbe completed because other DDE "
                 "transactions\nwere being processed.";
        break;
    case 31:
        reason = "There is no application associated\nwith the given filename extension.";
        break;
    case 32:
        reason = "The specified dynamic-link library was not found.";
        break;
    default: {
        char text[64];
        std::snprintf(text, sizeof text, "Unknown Error (%d) occurred.", static_cast<int>(code));
        reason = text;
        break;
    }
    }
    return "Unable to open hyperlink:\n" + reason;
}

} // namespace controls

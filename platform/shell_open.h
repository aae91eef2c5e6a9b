// Opening a file, URL or mail address with the desktop's choice of program, and starting a
// program of our own choosing. Results follow the shell's convention: above 32 is success.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr std::intptr_t SE_ERR_FNF = 2;      // the program was not found
constexpr std::intptr_t SE_ERR_NOASSOC = 31; // nothing opens the document
constexpr std::intptr_t SE_OK = 42;

class Shell {
  public:
    virtual ~Shell() = default;
    // Hands target to the desktop's opener and waits for the opener's verdict (at most a few
    // seconds: an opener still running then has started a program in the foreground).
    virtual std::intptr_t Open(const std::string& target) = 0;
    // Starts program with the arguments and does not wait for it.
    virtual std::intptr_t Start(const std::string& program,
                                const std::vector<std::string>& args) = 0;
};

// xdg-open for Open; programs are looked for as FindProgram does.
class DesktopShell : public Shell {
  public:
    std::intptr_t Open(const std::string& target) override;
    std::intptr_t Start(const std::string& program, const std::vector<std::string>& args) override;
};

// The full path of an executable program: the folder named by $PELLAM_TOOLS first, then $PATH.
// Empty when there is none. A name holding a '/' is taken as it stands.
std::string FindProgram(const std::string& name);

// Stands in for "wmplayer.exe": the first installed of mpv, mplayer and ffplay; empty when none.
std::string FindMediaPlayer();

Shell& GetShell();
void SetShell(Shell* shell);

} // namespace platform

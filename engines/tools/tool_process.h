// Running the outside programs the engines drive (cdrdao, growisofs, mplex, dvdauthor, ...): found
// in $PELLAM_TOOLS first, then on PATH; output read line by line as it comes; stopped by signal.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace engines {

// Full path of the program, "" when it is nowhere to be found.
std::string FindTool(const std::string& name);

class ToolProcess {
  public:
    // Called for each line of output (stdout and stderr merged, '\r' also ends a line so that
    // progress counters arrive as they are printed), without its end.
    using LineFn = std::function<void(const std::string& line)>;

    ToolProcess() = default;
    ~ToolProcess(); // kills a process still running and waits for it
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // argv[0] is the program name, looked up with FindTool. Standard input is /dev/null. The
    // locale is C so that the texts are those of the transcripts. False when it cannot start;
    // ErrorText() then says why.
    bool Start(const std::vector<std::string>& argv, const std::string& workDir = {});
    // Reads all output, calling fn per line, until the program ends; returns its exit status
    // (0-255), 128 + the signal when it was killed, -1 when it never started.
    int Wait(const LineFn& fn);
    // Sends the signal to the program's process group (safe from another thread while Wait runs).
    void Signal(int sig);
    bool Running() const { return pid_ > 0; }
    const std::string& ErrorText() const { return error_; }

  private:
    std::atomic<pid_t> pid_{-1};
    int outFd_ = -1;
    std::string error_;
};

// Runs to the end and returns the exit status; every line of output is appended to output.
int RunTool(const std::vector<std::string>& argv, std::vector<std::string>* output,
            const std::string& workDir = {});

} // namespace engines

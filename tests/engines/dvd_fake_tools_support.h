// For the DVD engine tests: the recorded tool transcripts, and a bench that puts fake tools on
// PELLAM_TOOLS and points HOME at a private folder for the length of a test.
#pragma once

#include <string>
#include <vector>

namespace dvdtools {

// The tool's output as recorded in tests/engines/transcripts/NAME (stdout, then stderr, or the
// posted output), one entry per line.
std::vector<std::string> TranscriptLines(const std::string& name);

class ToolBench {
  public:
    ToolBench();  // makes the folder, sets PELLAM_TOOLS and HOME
    ~ToolBench(); // restores both and removes the folder
    ToolBench(const ToolBench&) = delete;
    ToolBench& operator=(const ToolBench&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string Home() const { return dir_ + "/home"; }

    // A shell script named tool in the tools folder; it logs its arguments to calls.log first.
    void Script(const std::string& tool, const std::string& body);
    // A tool that prints the lines and exits with the status. The lines are kept in
    // <tool>.out, which tests and other fakes may replace to change what the tool says next.
    void Replay(const std::string& tool, const std::vector<std::string>& lines, int status);
    void SetOutput(const std::string& tool, const std::vector<std::string>& lines, int status);
    // "tool arg arg ..." per run, in order.
    std::vector<std::string> Calls() const;

  private:
    std::string dir_;
    std::string oldTools_, oldHome_;
    bool hadTools_ = false, hadHome_ = false;
};

// Runs the command with sh -c; returns its output, stdout and stderr together.
std::string Sh(const std::string& command, int* status = nullptr);
std::string ShellQuote(const std::string& text);

} // namespace dvdtools

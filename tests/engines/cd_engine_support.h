// Helpers of the CD engine tests: a temporary folder, environment variables set for one test,
// fake programs on PELLAM_TOOLS, and a log of the engine's events that tests can wait on.
#pragma once

#include "engines/cd/cd_engine.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace cdtest {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets (or with nullptr unsets) a variable until the end of the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_, old_;
    bool had_ = false;
};

// Writes an executable /bin/sh script.
void WriteScript(const std::string& path, const std::string& body);
std::vector<std::string> ReadLines(const std::string& path);
bool Exists(const std::string& path);

// The output lines of a recorded transcript in tests/engines/transcripts (stdout then stderr, or
// the posted output), without the header.
std::vector<std::string> CdTranscript(const std::string& name);

// Fake cdrdao and eject on PELLAM_TOOLS, HOME in the same private folder, both restored at the
// end. The fake cdrdao logs its arguments, then prints <command>-<device name>.out (or
// <command>.out) byte for byte to stderr and exits with the status kept beside it; a
// <command>.sh in the folder is run instead when present.
class CdToolBench {
  public:
    CdToolBench();
    const std::string& Dir() const { return dir_.path(); }
    std::string Path(const std::string& name) const { return dir_.File(name); }
    std::string Home() const { return dir_.File("home"); }
    // Lines joined with '\n'; a line may carry its own '\r' ends inside.
    void Replay(const std::string& command, const std::string& device,
                const std::vector<std::string>& lines, int status);
    void Script(const std::string& name, const std::string& body);
    std::vector<std::string> Calls() const; // "cdrdao disk-info --device ..." per run

  private:
    TempDir dir_;
    ScopedEnv tools_;
    ScopedEnv home_;
};

// Every event of an engine as a line ("process 50.0", "finalize", "burn-done <text>",
// "erase-done", "scan-progress 0", "scan-done <path> invalid=0 352x288 1150000 25.00").
class EventLog {
  public:
    // Registers all six events with this log as user data.
    void Attach(engines::CdEngine& engine);
    std::vector<std::string> Events() const;
    // Waits until an event starting with `prefix` has come; false after the time-out.
    bool WaitFor(const std::string& prefix,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Called on the engine's thread inside the process event, before it returns.
    std::function<void(float)> onProcess;
    std::vector<float> Percents() const;

    void Add(const std::string& event);

  private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::vector<float> percents_;
};

} // namespace cdtest

#include "cd_engine_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace cdtest {

TempDir::TempDir() {
    char pattern[] = "/tmp/pellam-cd-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

void WriteScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> CdTranscript(const std::string& name) {
    std::ifstream in(std::string(PELLAM_SOURCE_DIR) + "/tests/engines/transcripts/" + name);
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "=== end ===") break;
        if (line.rfind("=== ", 0) == 0) {
            inside = true;
            continue;
        }
        if (inside) lines.push_back(line);
    }
    return lines;
}

CdToolBench::CdToolBench()
    : tools_("PELLAM_TOOLS", dir_.path().c_str()), home_("HOME", Home().c_str()) {
    std::filesystem::create_directories(Home());
    Script("cdrdao", "dir=$(dirname \"$0\")\n"
                     "echo \"cdrdao $*\" >> \"$dir/calls.log\"\n"
                     "cmd=$1; dev=\n"
                     "while [ $# -gt 0 ]; do [ \"$1\" = --device ] && dev=$2; shift; done\n"
                     "[ -f \"$dir/$cmd.sh\" ] && . \"$dir/$cmd.sh\"\n"
                     "out=\"$dir/$cmd-$(basename \"$dev\").out\"\n"
                     "[ -f \"$out\" ] || out=\"$dir/$cmd.out\"\n"
                     "[ -f \"$out\" ] || exit 1\n"
                     "cat \"$out\" >&2\n"
                     "exit $(cat \"$out.status\")\n");
    Script("eject", "echo \"eject $*\" >> \"$(dirname \"$0\")/calls.log\"\n");
}

void CdToolBench::Replay(const std::string& command, const std::string& device,
                         const std::vector<std::string>& lines, int status) {
    const std::string out = Path(command + (device.empty() ? "" : "-" + device) + ".out");
    std::ofstream file(out, std::ios::binary);
    for (const std::string& line : lines)
        file << line << "\n";
    std::ofstream(out + ".status") << status << "\n";
}

void CdToolBench::Script(const std::string& name, const std::string& body) {
    WriteScript(Path(name), body);
}

std::vector<std::string> CdToolBench::Calls() const {
    return ReadLines(Path("calls.log"));
}

namespace {

EventLog* LogOf(void* user) {
    return static_cast<EventLog*>(user);
}

std::string Num(double v, const char* format = "%.1f") {
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

} // namespace

void EventLog::Attach(engines::CdEngine& engine) {
    engine.SetProcessEventCallback(
        [](float percent, int, int, int, int, int, int, void* user) {
            EventLog* log = LogOf(user);
            {
                std::lock_guard<std::mutex> guard(log->lock_);
                log->percents_.push_back(percent);
            }
            log->Add("process " + Num(percent));
            if (log->onProcess) log->onProcess(percent);
        },
        this);
    engine.SetFinalizeEventCallback([](void* user) { LogOf(user)->Add("finalize"); }, this);
    engine.SetBurnDoneEventCallback(
        [](const char* text, void* user) {
            LogOf(user)->Add(std::string("burn-done ") + (text ? text : "<null>"));
        },
        this);
    engine.SetEraseDoneEventCallback([](int, void* user) { LogOf(user)->Add("erase-done"); }, this);
    engine.SetVideoScannerEventCallback(
        [](float percent, int, void* user) { LogOf(user)->Add("scan-progress " + Num(percent)); },
        this);
    engine.SetVideoScanDoneEventCallback(
        [](const char* path, int, int invalid, int, int width, int height, int bitRate,
           double frameRate, int, int, void* user) {
            LogOf(user)->Add(std::string("scan-done ") + path +
                             " invalid=" + std::to_string(invalid) + " " + std::to_string(width) +
                             "x" + std::to_string(height) + " " + std::to_string(bitRate) + " " +
                             Num(frameRate, "%.2f"));
        },
        this);
}

void EventLog::Add(const std::string& event) {
    std::lock_guard<std::mutex> guard(lock_);
    events_.push_back(event);
    changed_.notify_all();
}

std::vector<std::string> EventLog::Events() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

std::vector<float> EventLog::Percents() const {
    std::lock_guard<std::mutex> guard(lock_);
    return percents_;
}

bool EventLog::WaitFor(const std::string& prefix, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] {
        for (const std::string& e : events_)
            if (e.rfind(prefix, 0) == 0) return true;
        return false;
    });
}

} // namespace cdtest

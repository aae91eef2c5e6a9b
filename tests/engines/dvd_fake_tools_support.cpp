#include "dvd_fake_tools_support.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dvdtools {

std::vector<std::string> TranscriptLines(const std::string& name) {
    std::ifstream in(std::string(PELLAM_SOURCE_DIR) + "/tests/engines/transcripts/" + name);
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "=== end ===") break;
        if (line.rfind("=== ", 0) == 0) {
            inside = true; // "=== stdout ===", "=== stderr ===", "=== output as posted ..."
            continue;
        }
        if (inside) lines.push_back(line);
    }
    return lines;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string Sh(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(("(" + command + ") 2>&1").c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return out;
    }
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    int raw = pclose(pipe);
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

ToolBench::ToolBench() {
    char pattern[] = "/tmp/pellam-dvdtools-XXXXXX";
    if (mkdtemp(pattern)) dir_ = pattern;
    mkdir(Home().c_str(), 0700);
    if (const char* t = std::getenv("PELLAM_TOOLS")) {
        hadTools_ = true;
        oldTools_ = t;
    }
    if (const char* h = std::getenv("HOME")) {
        hadHome_ = true;
        oldHome_ = h;
    }
    setenv("PELLAM_TOOLS", (dir_ + "/tools").c_str(), 1);
    setenv("HOME", Home().c_str(), 1);
    mkdir((dir_ + "/tools").c_str(), 0700);
}

ToolBench::~ToolBench() {
    if (hadTools_)
        setenv("PELLAM_TOOLS", oldTools_.c_str(), 1);
    else
        unsetenv("PELLAM_TOOLS");
    if (hadHome_)
        setenv("HOME", oldHome_.c_str(), 1);
    else
        unsetenv("HOME");
    if (!dir_.empty()) Sh("rm -rf " + ShellQuote(dir_));
}

void ToolBench::Script(const std::string& tool, const std::string& body) {
    std::string path = dir_ + "/tools/" + tool;
    std::ofstream(path) << "#!/bin/sh\n"
                        << "D=" << ShellQuote(dir_) << "\n"
                        << "echo \"" << tool << " $*\" >> \"$D/calls.log\"\n"
                        << body;
    chmod(path.c_str(), 0755);
}

void ToolBench::SetOutput(const std::string& tool, const std::vector<std::string>& lines,
                          int status) {
    std::ofstream out(Path(tool + ".out"), std::ios::binary);
    for (const std::string& l : lines)
        out << l << "\n";
    std::ofstream(Path(tool + ".status")) << status << "\n";
}

void ToolBench::Replay(const std::string& tool, const std::vector<std::string>& lines, int status) {
    SetOutput(tool, lines, status);
    Script(tool, "cat \"$D/" + tool + ".out\"\nexit $(cat \"$D/" + tool + ".status\")\n");
}

std::vector<std::string> ToolBench::Calls() const {
    std::ifstream in(Path("calls.log"));
    std::vector<std::string> calls;
    for (std::string line; std::getline(in, line);)
        calls.push_back(line);
    return calls;
}

} // namespace dvdtools

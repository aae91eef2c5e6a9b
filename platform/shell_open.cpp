#include "platform/shell_open.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

bool IsExecutable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool FindIn(const char* list, const std::string& name, std::string& out) {
    if (!list) return false;
    std::string folders(list);
    std::size_t pos = 0;
    while (pos <= folders.size()) {
        std::size_t end = folders.find(':', pos);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = end > pos ? folders.substr(pos, end - pos) : std::string(".");
        while (candidate.size() > 1 && candidate.back() == '/')
            candidate.pop_back();
        candidate.push_back('/');
        candidate.append(name);
        if (IsExecutable(candidate)) {
            out = candidate;
            return true;
        }
        pos = end + 1;
    }
    return false;
}

// Starts argv[0] (a full path); pid through out.
bool Spawn(const std::vector<std::string>& argv, pid_t& pid) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return ::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0;
}

std::atomic<Shell*> installed{nullptr};

constexpr int kOpenerWaitMs = 3000;

// Reaps the child in the background so it never lingers as a zombie.
void ReapLater(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace

std::string FindProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsExecutable(name) ? name : std::string();
    std::string out;
    if (FindIn(std::getenv("PELLAM_TOOLS"), name, out)) return out;
    if (FindIn(std::getenv("PATH"), name, out)) return out;
    return {};
}

std::string FindMediaPlayer() {
    for (const char* name : {"mpv", "mplayer", "ffplay"}) {
        std::string path = FindProgram(name);
        if (!path.empty()) return path;
    }
    return {};
}

std::intptr_t DesktopShell::Open(const std::string& target) {
    std::string opener = FindProgram("xdg-open");
    if (opener.empty()) return SE_ERR_FNF;
    pid_t pid = 0;
    if (!Spawn({opener, target}, pid)) return SE_ERR_FNF;
    // Without a desktop, xdg-open runs the chosen program in the foreground; one that is still
    // running after a while has found something to open it with.
    int status = 0;
    for (int waited = 0;; waited += 10) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) return SE_ERR_NOASSOC;
        if (waited >= kOpenerWaitMs) {
            ReapLater(pid);
            return SE_OK;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!WIFEXITED(status)) return SE_ERR_NOASSOC;
    switch (WEXITSTATUS(status)) {
    case 0:
        return SE_OK;
    case 2: // the file does not exist
        return SE_ERR_FNF;
    default:
        return SE_ERR_NOASSOC;
    }
}

std::intptr_t DesktopShell::Start(const std::string& program,
                                  const std::vector<std::string>& args) {
    std::string path = FindProgram(program);
    if (path.empty()) return SE_ERR_FNF;
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = 0;
    if (!Spawn(argv, pid)) return SE_ERR_FNF;
    ReapLater(pid);
    return SE_OK;
}

Shell& GetShell() {
    static DesktopShell desktop;
    Shell* s = installed.load();
    return s ? *s : desktop;
}

void SetShell(Shell* shell) {
    installed.store(shell);
}

} // namespace platform

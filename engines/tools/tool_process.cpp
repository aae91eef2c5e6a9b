#include "engines/tools/tool_process.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace engines {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string SearchIn(const char* list, const std::string& name) {
    if (!list) return {};
    std::string dirs(list);
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + name;
            if (IsExecutableFile(candidate)) return candidate;
        }
        start = end + 1;
    }
    return {};
}

} // namespace

std::string FindTool(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    std::string found = SearchIn(std::getenv("PELLAM_TOOLS"), name);
    if (found.empty()) found = SearchIn(std::getenv("PATH"), name);
    return found;
}

ToolProcess::~ToolProcess() {
    if (pid_ > 0) {
        Signal(SIGKILL);
        Wait(nullptr);
    }
    if (outFd_ >= 0) close(outFd_);
}

bool ToolProcess::Start(const std::vector<std::string>& argv, const std::string& workDir) {
    error_.clear();
    if (pid_ > 0 || argv.empty()) {
        error_ = argv.empty() ? "no program named" : "a program is already running";
        return false;
    }
    std::string path = FindTool(argv[0]);
    if (path.empty()) {
        error_ = argv[0] + ": program not found";
        return false;
    }

    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "LC_ALL=", 7) == 0 || std::strncmp(*e, "LANG=", 5) == 0 ||
            std::strncmp(*e, "LANGUAGE=", 9) == 0)
            continue;
        envStore.emplace_back(*e);
    }
    envStore.emplace_back("LC_ALL=C");
    envStore.emplace_back("LANG=C");
    std::vector<char*> env;
    for (std::string& e : envStore)
        env.push_back(e.data());
    env.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const char* dir = workDir.empty() ? nullptr : workDir.c_str();

    pid_t pid = fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        if (devNull >= 0) close(devNull);
        return false;
    }
    if (pid == 0) {
        setpgid(0, 0);
        if (devNull >= 0) dup2(devNull, 0);
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        if (dir && chdir(dir) != 0) _exit(127);
        execve(path.c_str(), args.data(), env.data());
        _exit(127);
    }
    setpgid(pid, pid); // both sides, so Signal reaches the group whoever runs first
    close(fds[1]);
    if (devNull >= 0) close(devNull);
    pid_ = pid;
    outFd_ = fds[0];
    return true;
}

int ToolProcess::Wait(const LineFn& fn) {
    if (pid_ <= 0) return -1;
    std::string pending;
    bool afterCr = false;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(outFd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            char c = buffer[i];
            if (c == '\n' || c == '\r') {
                // "\r\n" ends one line, not two.
                if (fn && !(c == '\n' && afterCr)) fn(pending);
                pending.clear();
            } else {
                pending += c;
            }
            afterCr = c == '\r';
        }
    }
    if (fn && !pending.empty()) fn(pending);
    close(outFd_);
    outFd_ = -1;
    // Wait without reaping first, so that Signal never reaches a recycled process number.
    pid_t pid = pid_.load();
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

void ToolProcess::Signal(int sig) {
    pid_t pid = pid_;
    if (pid > 0) kill(-pid, sig);
}

int RunTool(const std::vector<std::string>& argv, std::vector<std::string>* output,
            const std::string& workDir) {
    ToolProcess process;
    if (!process.Start(argv, workDir)) {
        if (output) output->push_back(process.ErrorText());
        return -1;
    }
    return process.Wait([output](const std::string& line) {
        if (output) output->push_back(line);
    });
}

} // namespace engines

#include "engines/cd/image_recorder.h"

#include "engines/cd/cd_error_codes.h"
#include "engines/cd/cue_sheet.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engines {

const char kCdBurnAbortedText[] = "The burn was aborted.";

namespace {

// About a hundredth of the image per step, so that progress moves and an abort is seen soon.
constexpr std::uint64_t kMinChunk = 64 << 10;
constexpr std::uint64_t kMaxChunk = 4 << 20;
constexpr int kMaxNumber = 9999;

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

bool ReadWhole(const std::string& path, std::string& text) {
    Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    struct stat st {};
    // A cue sheet is a few lines; anything large is not one.
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (1 << 20)) return false;
    text.clear();
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

bool MakeFolders(const std::string& path) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(path.c_str(), W_OK) == 0;
}

bool WriteAllBytes(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string Failure(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno) + ".";
}

} // namespace

std::string CdDiscsFolder() {
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) home = h;
    if (home.empty()) {
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    if (home.empty()) home = "/tmp";
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home + "/Pellam/discs";
}

std::string DiscFileStem(const std::string& label) {
    std::string stem;
    for (char c : label) {
        if (stem.size() == 64) break;
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
        stem += keep ? c : '_';
    }
    // No hidden files, no "." or "..".
    if (!stem.empty() && stem[0] == '.') stem[0] = '_';
    if (stem.empty() || label == "BS_NDEF") stem = "VideoCD";
    return stem;
}

std::int32_t PlanImageRecording(const std::string& cuePath, const std::string& folder,
                                const std::string& label, ImageRecording& plan) {
    plan = ImageRecording{};
    std::string text;
    CueSheet sheet;
    if (!ReadWhole(cuePath, text) || !ParseCueSheet(text, sheet)) return kCdErrBadCue;
    for (const std::string& name : sheet.files) {
        std::string source = ResolveCueFile(cuePath, name);
        struct stat st {};
        if (stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            access(source.c_str(), R_OK) != 0)
            return kCdErrBadCue;
        plan.sources.push_back(source);
        plan.totalBytes += static_cast<std::uint64_t>(st.st_size);
    }
    if (!MakeFolders(folder)) return kCdErrDiscsFolder;

    const std::string stem = DiscFileStem(label);
    for (int n = 1; n <= kMaxNumber; ++n) {
        const std::string base = stem + "-" + std::to_string(n);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < plan.sources.size(); ++i)
            names.push_back(base + (i == 0 ? "" : "-" + std::to_string(i + 1)) + ".bin");
        std::vector<std::string> wanted{folder + "/" + base + ".cue"};
        for (const std::string& name : names)
            wanted.push_back(folder + "/" + name);

        std::vector<std::string> made;
        bool taken = false;
        for (const std::string& path : wanted) {
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) {
                taken = errno == EEXIST;
                if (!taken) {
                    for (const std::string& m : made)
                        unlink(m.c_str());
                    return kCdErrDiscsFolder;
                }
                break;
            }
            close(fd);
            made.push_back(path);
        }
        if (taken) {
            for (const std::string& m : made)
                unlink(m.c_str());
            continue;
        }
        plan.cueTarget = wanted[0];
        plan.targets.assign(wanted.begin() + 1, wanted.end());
        plan.cueText = RenameCueFiles(sheet, names);
        return 0;
    }
    return kCdErrDiscsFolder;
}

void DropImageRecording(const ImageRecording& plan) {
    for (const std::string& path : plan.targets)
        unlink(path.c_str());
    if (!plan.cueTarget.empty()) unlink(plan.cueTarget.c_str());
}

std::string RecordImage(const ImageRecording& plan, const std::atomic<bool>& abort,
                        const std::function<void(float)>& progress,
                        const std::function<void()>& finalize) {
    auto fail = [&](std::string reason) {
        DropImageRecording(plan);
        return reason;
    };
    std::uint64_t chunk = plan.totalBytes / 100;
    if (chunk < kMinChunk) chunk = kMinChunk;
    if (chunk > kMaxChunk) chunk = kMaxChunk;
    std::vector<char> buffer(static_cast<std::size_t>(chunk));
    std::uint64_t copied = 0;
    float reported = -1;
    for (std::size_t i = 0; i < plan.sources.size() && i < plan.targets.size(); ++i) {
        Fd in(open(plan.sources[i].c_str(), O_RDONLY | O_CLOEXEC));
        if (in.get() < 0) return fail(Failure("Cannot read", plan.sources[i]));
        Fd out(open(plan.targets[i].c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (out.get() < 0) return fail(Failure("Cannot write", plan.targets[i]));
        for (;;) {
            if (abort) return fail(kCdBurnAbortedText);
            ssize_t n = read(in.get(), buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return fail(Failure("Cannot read", plan.sources[i]));
            if (n == 0) break;
            if (!WriteAllBytes(out.get(), buffer.data(), static_cast<std::size_t>(n)))
                return fail(Failure("Cannot write", plan.targets[i]));
            copied += static_cast<std::uint64_t>(n);
            float percent = plan.totalBytes == 0
                                ? 100.0f
                                : static_cast<float>(100.0 * static_cast<double>(copied) /
                                                     static_cast<double>(plan.totalBytes));
            if (percent > 100.0f) percent = 100.0f;
            if (percent > reported) {
                reported = percent;
                progress(percent);
            }
        }
        if (fsync(out.get()) != 0) return fail(Failure("Cannot write", plan.targets[i]));
    }
    if (reported < 100.0f) progress(100.0f);
    if (abort) return fail(kCdBurnAbortedText);

    finalize();
    Fd cue(open(plan.cueTarget.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (cue.get() < 0 || !WriteAllBytes(cue.get(), plan.cueText.data(), plan.cueText.size()) ||
        fsync(cue.get()) != 0)
        return fail(Failure("Cannot write", plan.cueTarget));
    return {};
}

} // namespace engines

#include "engines/dvdauthor/system_author_dvd.h"

#include "engines/dvdauthor/dvdauthor_output.h"
#include "engines/dvdauthor/dvdauthor_project.h"
#include "engines/tools/tool_process.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <list>
#include <mutex>
#include <set>
#include <thread>

namespace engines {

namespace {

namespace fs = std::filesystem;

struct AuthorJob {
    platform::HWND window = nullptr;
    std::vector<std::string> segments;
    std::string output;
    bool pal = false, wide = false, letterBox = false;
};

class SystemDvdAuthor : public DvdAuthor {
  public:
    ~SystemDvdAuthor() override;
    void AuthorDVD(AuthorDvdParam* param) override;

  private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    bool Run(const AuthorJob& job);
    void Post(const AuthorJob& job, unsigned wParam, platform::LPARAM lParam = 0);
    bool Stopping() const { return stopping_; }

    std::mutex lock_;
    std::list<Worker> workers_;
    std::set<ToolProcess*> running_;
    std::atomic<bool> stopping_{false};
};

void Log(const std::string& text) {
    std::fprintf(stderr, "DVDAuthor: %s\n", text.c_str());
}

// Staging folder and what it owns; removed with everything in it when the job ends.
class Staging {
  public:
    explicit Staging(const std::string& output) {
        std::string pattern = output + "/.authoring-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data())) path_ = name.data();
    }
    ~Staging() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

} // namespace

SystemDvdAuthor::~SystemDvdAuthor() {
    stopping_ = true;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (ToolProcess* p : running_)
            p->Signal(SIGTERM);
    }
    for (Worker& w : workers_)
        if (w.thread.joinable()) w.thread.join();
}

void SystemDvdAuthor::Post(const AuthorJob& job, unsigned wParam, platform::LPARAM lParam) {
    if (!Stopping()) platform::PostMessage(job.window, WM_AUTHOR_EVENT, wParam, lParam);
}

void SystemDvdAuthor::AuthorDVD(AuthorDvdParam* param) {
    if (!param) return;
    // The job works on its own copy: nothing of the record is read after the call.
    AuthorJob job;
    job.window = param->window;
    job.segments = param->segments;
    job.output.assign(param->outputFolder,
                      ::strnlen(param->outputFolder, sizeof param->outputFolder));
    if (job.output.size() == sizeof param->outputFolder) job.output.clear(); // no terminator
    job.pal = param->tvSystem == 1;
    job.wide = param->aspect == 1;
    job.letterBox = param->letterBox == 1;

    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
    Worker& worker = workers_.emplace_back();
    worker.thread = std::thread([this, job = std::move(job), &worker] {
        bool ok = Run(job);
        if (ok) {
            Post(job, kAuthorCreatingImage, 100);
            Post(job, kAuthorMayClose);
            Post(job, kAuthorSucceeded);
        } else {
            Post(job, kAuthorFailed);
        }
        worker.done = true;
    });
}

bool SystemDvdAuthor::Run(const AuthorJob& job) {
    if (job.segments.empty() || job.output.empty()) {
        Log("no segments or no output folder");
        return false;
    }
    std::string output = job.output;
    while (output.size() > 1 && output.back() == '/')
        output.pop_back();
    std::error_code ec;
    fs::path videoTs = fs::path(output) / "VIDEO_TS", audioTs = fs::path(output) / "AUDIO_TS";
    if (fs::exists(videoTs, ec)) {
        // dvdauthor would add a title set to it; an old DVD is not ours to mix with.
        Log(videoTs.string() + " exists already");
        return false;
    }
    bool madeOutput = !fs::exists(output, ec);
    fs::create_directories(output, ec);
    bool ok = false;
    {
        Staging staging(output);
        if (staging.Path().empty()) {
            Log("cannot make a staging folder in " + output);
        } else {
            DvdauthorProject project;
            project.pal = job.pal;
            project.wide = job.wide;
            project.letterBox = job.letterBox;
            std::uint64_t total = 0;
            fs::create_directory(staging.Path() + "/in", ec);
            for (std::size_t i = 0; i < job.segments.size(); ++i) {
                const std::string& segment = job.segments[i];
                std::error_code sizeError;
                std::uintmax_t size = fs::file_size(segment, sizeError);
                if (!sizeError) total += size;
                std::string vob = segment;
                if (!IsPlainVobPath(vob)) {
                    // A name the control file cannot carry as it is goes by a plain link.
                    char name[32];
                    std::snprintf(name, sizeof name, "/in/%05zu.mpg", i);
                    vob = staging.Path() + name;
                    std::error_code linkError;
                    fs::create_symlink(fs::absolute(segment, linkError), vob, linkError);
                }
                project.vobs.push_back(vob);
                project.chapterAt.push_back(StartsSourceFile(segment));
            }
            std::string xmlPath = staging.Path() + "/project.xml";
            std::string dvd = staging.Path() + "/dvd";
            if (!WriteFile(xmlPath, MakeDvdauthorXml(project))) {
                Log("cannot write " + xmlPath);
            } else {
                ok = true;
                ToolProcess process;
                if (!process.Start({"dvdauthor", "-o", dvd, "-x", xmlPath})) {
                    Log(process.ErrorText());
                    ok = false;
                } else {
                    {
                        std::lock_guard<std::mutex> guard(lock_);
                        running_.insert(&process);
                    }
                    if (Stopping()) process.Signal(SIGTERM);
                    DvdauthorOutput reader(total);
                    bool vobsDone = false;
                    int exitStatus = process.Wait([&](const std::string& line) {
                        std::optional<AuthorProgress> p = reader.Feed(line);
                        if (!p) return;
                        if (p->stage == kAuthorCreatingImage && !vobsDone)
                            Post(job, kAuthorBuildingVobs, 100);
                        vobsDone = p->stage == kAuthorCreatingImage;
                        Post(job, p->stage, p->percent);
                    });
                    {
                        std::lock_guard<std::mutex> guard(lock_);
                        running_.erase(&process);
                    }
                    if (reader.Failed()) Log(reader.ErrorText());
                    if (exitStatus != 0)
                        Log("dvdauthor ended with status " + std::to_string(exitStatus));
                    ok = exitStatus == 0 && !reader.Failed() && !Stopping();
                }
                fs::path built = fs::path(dvd) / "VIDEO_TS";
                if (ok && !(fs::is_regular_file(built / "VIDEO_TS.IFO", ec) &&
                            fs::is_regular_file(built / "VTS_01_0.IFO", ec))) {
                    Log("dvdauthor wrote no complete VIDEO_TS");
                    ok = false;
                }
                if (ok) {
                    fs::rename(built, videoTs, ec);
                    if (ec) {
                        Log("cannot move VIDEO_TS into " + output + ": " + ec.message());
                        ok = false;
                    }
                }
                if (ok) {
                    fs::path builtAudio = fs::path(dvd) / "AUDIO_TS";
                    if (fs::is_directory(builtAudio, ec)) fs::rename(builtAudio, audioTs, ec);
                    if (!fs::is_directory(audioTs, ec)) fs::create_directory(audioTs, ec);
                }
            }
        }
    }
    if (!ok && madeOutput && fs::is_empty(output, ec)) fs::remove(output, ec);
    return ok;
}

std::unique_ptr<DvdAuthor> MakeSystemDvdAuthor() {
    return std::make_unique<SystemDvdAuthor>();
}

} // namespace engines

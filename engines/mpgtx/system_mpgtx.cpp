#include "engines/mpgtx/system_mpgtx.h"

#include "engines/checks/mpeg_compat.h"
#include "engines/checks/program_stream.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace engines {

namespace {

struct Job {
    const void* record = nullptr;
    std::atomic<int> cancel{0}; // superseded, or the engine goes away: stop without a report
    std::mutex reportLock;      // a report and the cancel exclude each other
    std::promise<void> finished;
    std::shared_future<void> finishedFuture;
    std::atomic<bool> done{false};
    std::thread thread;
};

void Cancel(Job& job) {
    std::lock_guard<std::mutex> hold(job.reportLock);
    job.cancel = 1;
}

// Fills the record and posts the message, unless the job has been cancelled: from then on the
// record belongs to the next job.
void Report(Job& job, platform::HWND window, unsigned message, platform::WPARAM wParam,
            platform::LPARAM lParam, const std::function<void()>& fill) {
    std::lock_guard<std::mutex> hold(job.reportLock);
    if (job.cancel) return;
    fill();
    platform::PostMessage(window, message, wParam, lParam);
}

std::string Bounded(const char* text, std::size_t size) {
    return std::string(text, strnlen(text, size));
}

void RunCheck(Job& job, _mpgtx_check_param_* param, const std::string& path, platform::HWND window,
              unsigned message) {
    MpegCheckResult result = CheckMpegFile(path, DiscKind::Dvd, &job.cancel);
    Report(job, window, message, result.ok ? 0 : 1, 0, [&] {
        param->fileSize = result.facts.fileSize;
        param->seconds = static_cast<float>(result.facts.seconds);
        param->width = result.facts.width;
        param->height = result.facts.height;
        param->frameRate = static_cast<float>(result.facts.frameRate);
        SetCheckRefusalReason(*param, result.reason);
    });
}

class Output {
  public:
    explicit Output(std::string path) : path_(std::move(path)) {}
    ~Output() {
        if (file_) std::fclose(file_);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool Open() {
        file_ = std::fopen(path_.c_str(), "wb");
        if (!file_) error_ = errno;
        return file_ != nullptr;
    }
    bool Write(const std::uint8_t* data, std::size_t n) {
        if (n == 0) return true;
        if (std::fwrite(data, 1, n, file_) != n) {
            error_ = errno;
            return false;
        }
        bytes_ += n;
        return true;
    }
    bool Close() {
        std::FILE* f = file_;
        file_ = nullptr;
        if (f && std::fclose(f) != 0) {
            error_ = errno;
            return false;
        }
        return true;
    }
    void Remove() {
        Close();
        std::remove(path_.c_str());
    }
    std::string Failure() const {
        return "Cannot write " + path_ + ": " + std::strerror(error_ ? error_ : EIO) + ".";
    }
    std::uint64_t bytes() const { return bytes_; }

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint64_t bytes_ = 0;
    int error_ = 0;
};

// The first audio stream found: MPEG audio, or AC-3 in private stream 1.
struct AudioChoice {
    int id = -1;
    int subStream = -1;

    bool Takes(const PsPacket& p) {
        bool mpeg = p.streamId >= 0xC0 && p.streamId <= 0xDF;
        bool ac3 = p.streamId == 0xBD && p.subStreamId >= 0x80 && p.subStreamId <= 0x87;
        if (id < 0 && (mpeg || ac3)) {
            id = p.streamId;
            subStream = ac3 ? p.subStreamId : -1;
        }
        return id == p.streamId && (!ac3 || subStream == p.subStreamId) && (mpeg || ac3);
    }
};

// Demultiplexes `input`; the error text, or empty on success. Partial outputs are removed.
std::string Demux(Job& job, _mpgtx_demuxer_param_* param, const std::string& input,
                  const std::string& base, platform::HWND window, unsigned message) {
    ProgramStreamReader reader;
    if (!reader.Open(input)) return reader.error();
    Output video(base + ".m2v");
    Output audio(base + ".mpa");
    if (!video.Open()) return video.Failure();
    if (!audio.Open()) {
        video.Remove();
        return audio.Failure();
    }

    std::string error;
    AudioChoice choice;
    PsPack pack;
    int reported = 0;
    const double size = static_cast<double>(reader.size());
    for (;;) {
        if (job.cancel) {
            error = "Cancelled.";
            break;
        }
        if (DemuxAbortRequested(*param)) {
            error = "Aborted by user.";
            break;
        }
        PsResult r = reader.Next(pack);
        if (r == PsResult::End) break;
        if (r == PsResult::Error) {
            error = reader.error();
            break;
        }
        for (const PsPacket& p : pack.packets) {
            const std::uint8_t* data = pack.bytes.data() + p.payloadOffset;
            std::size_t n = p.payloadLength;
            bool ok = true;
            if (p.streamId == 0xE0) {
                ok = video.Write(data, n);
                if (!ok) error = video.Failure();
            } else if (choice.Takes(p)) {
                // AC-3 comes after the sub-stream byte, the frame count and the first access
                // unit pointer.
                if (p.streamId == 0xBD) {
                    data += n < 4 ? n : 4;
                    n -= n < 4 ? n : 4;
                }
                ok = audio.Write(data, n);
                if (!ok) error = audio.Failure();
            }
            if (!ok) break;
        }
        if (!error.empty()) break;
        int percent = size > 0 ? static_cast<int>(reader.position() * 100.0 / size) : 0;
        if (percent > reported && percent < 100) {
            reported = percent;
            float shown = static_cast<float>(percent);
            Report(job, window, message, 1, 0, [&] { SetDemuxPercent(*param, shown); });
        }
    }
    if (error.empty() && video.bytes() == 0) error = "The file has no video stream.";
    if (error.empty() && audio.bytes() == 0) error = "The file has no audio stream.";
    if (error.empty() && !video.Close()) error = video.Failure();
    if (error.empty() && !audio.Close()) error = audio.Failure();
    if (!error.empty()) {
        video.Remove();
        audio.Remove();
    }
    return error;
}

void RunDemux(Job& job, _mpgtx_demuxer_param_* param, const std::string& input,
              const std::string& base, platform::HWND window, unsigned message) {
    std::string error = Demux(job, param, input, base, window, message);
    if (error.empty()) {
        Report(job, window, message, 0, 0, [&] { SetDemuxPercent(*param, 100); });
        return;
    }
    Report(job, window, message, 0, 1,
           [&] { std::snprintf(param->errorText, sizeof param->errorText, "%s", error.c_str()); });
}

class SystemMpgtx : public Mpgtx {
  public:
    ~SystemMpgtx() override;
    void mpgtx_Checkfile(_mpgtx_check_param_* param) override;
    void mpgtx_Demuxer(_mpgtx_demuxer_param_* param) override;

  private:
    // Runs `work` on a new thread once any earlier job of the record has ended; that job is
    // cancelled first.
    void Start(const void* record, std::function<void(Job&)> work);

    std::mutex lock_;
    std::list<std::unique_ptr<Job>> jobs_;
};

SystemMpgtx::~SystemMpgtx() {
    std::list<std::unique_ptr<Job>> jobs;
    {
        std::lock_guard<std::mutex> hold(lock_);
        jobs.swap(jobs_);
    }
    for (auto& job : jobs)
        Cancel(*job);
    for (auto& job : jobs)
        job->thread.join();
}

void SystemMpgtx::Start(const void* record, std::function<void(Job&)> work) {
    std::vector<std::unique_ptr<Job>> ended;
    {
        std::lock_guard<std::mutex> hold(lock_);
        std::shared_future<void> previous;
        for (auto it = jobs_.begin(); it != jobs_.end();) {
            if ((*it)->done) {
                ended.push_back(std::move(*it));
                it = jobs_.erase(it);
                continue;
            }
            if ((*it)->record == record) {
                Cancel(**it);
                previous = (*it)->finishedFuture; // the latest one of the record
            }
            ++it;
        }
        auto job = std::make_unique<Job>();
        job->record = record;
        job->finishedFuture = job->finished.get_future().share();
        Job* j = job.get();
        j->thread = std::thread([j, previous, work = std::move(work)] {
            if (previous.valid()) previous.wait();
            if (!j->cancel) work(*j);
            j->finished.set_value();
            j->done = true;
        });
        jobs_.push_back(std::move(job));
    }
    for (auto& job : ended)
        job->thread.join();
}

void SystemMpgtx::mpgtx_Checkfile(_mpgtx_check_param_* param) {
    if (!param) return;
    std::string path = Bounded(param->path, sizeof param->path);
    platform::HWND window = param->window;
    unsigned message = static_cast<unsigned>(param->message);
    Start(param, [=](Job& job) { RunCheck(job, param, path, window, message); });
}

void SystemMpgtx::mpgtx_Demuxer(_mpgtx_demuxer_param_* param) {
    if (!param) return;
    std::string input = Bounded(param->input, sizeof param->input);
    std::string base = Bounded(param->outputBase, sizeof param->outputBase);
    platform::HWND window = param->window;
    unsigned message = static_cast<unsigned>(param->message);
    Start(param, [=](Job& job) { RunDemux(job, param, input, base, window, message); });
}

} // namespace

std::unique_ptr<Mpgtx> MakeSystemMpgtx() {
    return std::make_unique<SystemMpgtx>();
}

} // namespace engines

#include "engines/cd/system_cd_engine.h"

#include "engines/cd/cd_device_probe.h"
#include "engines/cd/cd_error_codes.h"
#include "engines/cd/cd_worker.h"
#include "engines/cd/cdrdao_output.h"
#include "engines/cd/cue_sheet.h"
#include "engines/cd/image_recorder.h"
#include "engines/tools/tool_process.h"

#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace engines {

namespace {

struct Medium {
    std::int32_t code = 0;
    std::string typeName;
    std::int32_t status = 1; // 0: empty
};

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

CdBurnOptions DefaultOptions() {
    CdBurnOptions o;
    std::memset(&o, 0, sizeof o);
    o.value400 = 8388608;
    return o;
}

// The cue sheet reads and every image file it names is there.
bool CueUsable(const std::string& cuePath) {
    std::ifstream in(cuePath, std::ios::binary);
    if (!in) return false;
    std::stringstream text;
    text << in.rdbuf();
    CueSheet sheet;
    if (!ParseCueSheet(text.str(), sheet)) return false;
    for (const std::string& name : sheet.files) {
        struct stat st {};
        std::string path = ResolveCueFile(cuePath, name);
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(path.c_str(), R_OK))
            return false;
    }
    return true;
}

class SystemCdEngine : public CdEngine {
  public:
    explicit SystemCdEngine(SystemCdConfig config) : config_(std::move(config)) {
        options_ = DefaultOptions();
    }
    ~SystemCdEngine() override;

    std::int32_t Initialize(const char* text, int value) override;
    std::int32_t CreateProject(std::int32_t kind) override;
    std::int32_t DeleteProject() override;
    std::int32_t ClearAll() override;
    std::int32_t AddFile(CdFileRecord record) override;
    std::int32_t GetDevices(CdDeviceList& list, std::int32_t& count, int reserved) override;
    std::int32_t SetDevice(char driveLetter) override;
    std::int32_t GetDeviceCapabilities(std::uint32_t& mask) override;
    std::int32_t GetMediumInformation(CdMediumInfo& info) override;
    std::int32_t GetOptions(CdBurnOptions& options) override;
    std::int32_t SetOptions(CdBurnOptions options) override;
    std::int32_t Prepare() override;
    std::int32_t Burn() override;
    std::int32_t Erase(int mode) override;
    std::int32_t Abort() override;
    std::int32_t EjectDevice() override;
    std::int32_t GetText(std::int32_t code, char* buffer, std::int32_t& size) override;
    std::int32_t SetVideoScannerEventCallback(CdScanProgressFn fn, void* user) override;
    std::int32_t SetVideoScanDoneEventCallback(CdScanDoneFn fn, void* user) override;
    std::int32_t SetProcessEventCallback(CdProcessFn fn, void* user) override;
    std::int32_t SetFinalizeEventCallback(CdFinalizeFn fn, void* user) override;
    std::int32_t SetBurnDoneEventCallback(CdBurnDoneFn fn, void* user) override;
    std::int32_t SetEraseDoneEventCallback(CdEraseDoneFn fn, void* user) override;
    std::string ScanRefusalReason() const override;

  private:
    // The current device, copied so that a job keeps it whatever SetDevice does meanwhile.
    bool CurrentDrive(CdDrive& drive) const;
    Medium MediumOf(const CdDrive& drive) const;
    // Marks a job as running and posts it; kCdErrBusy or kCdErrStart when it cannot.
    std::int32_t StartJob(std::function<void()> task);
    // Runs a program of the current job; -1 when it did not start (or the job was aborted first).
    int RunJobProcess(const std::vector<std::string>& argv, const std::string& workDir,
                      const ToolProcess::LineFn& onLine, std::string& startError);
    void EndJob() { jobActive_ = false; }
    void StopAfterAbort(std::uint64_t generation);

    void WriteTask(std::string device, std::string cuePath, bool eject);
    void BlankTask(std::string device, bool full);
    void RecordTask(ImageRecording plan);
    void ScanTask(std::string path, DiscKind kind);

    void FireProcess(float percent);
    void FireFinalize();
    void FireBurnDone(const std::string& text);
    void FireEraseDone();
    void FireScanProgress(float percent);
    void FireScanDone(const std::string& path, const MpegCheckResult& result);

    const SystemCdConfig config_;

    mutable std::mutex lock_; // everything below up to the workers
    std::int32_t project_ = 0;
    std::vector<std::string> cueFiles_;
    CdBurnOptions options_;
    std::vector<CdDrive> drives_;
    int current_ = -1;
    std::string scanReason_;
    CdScanProgressFn scanProgress_ = nullptr;
    void* scanProgressUser_ = nullptr;
    CdScanDoneFn scanDone_ = nullptr;
    void* scanDoneUser_ = nullptr;
    CdProcessFn process_ = nullptr;
    void* processUser_ = nullptr;
    CdFinalizeFn finalize_ = nullptr;
    void* finalizeUser_ = nullptr;
    CdBurnDoneFn burnDone_ = nullptr;
    void* burnDoneUser_ = nullptr;
    CdEraseDoneFn eraseDone_ = nullptr;
    void* eraseDoneUser_ = nullptr;

    std::mutex processLock_;
    ToolProcess* running_ = nullptr; // the program of the current job
    std::uint64_t runningGeneration_ = 0;

    std::atomic<bool> jobActive_{false};
    std::atomic<bool> abort_{false};
    std::atomic<std::uint64_t> generation_{0}; // counts jobs, so a late abort stops no newer one
    std::atomic<bool> closing_{false};
    std::atomic<int> scanCancel_{0};

    CdWorker jobs_;
    CdWorker scans_;
    CdWorker watch_;
};

SystemCdEngine::~SystemCdEngine() {
    closing_ = true; // no events into handlers that may be going away
    scanCancel_ = 1;
    Abort();
    jobs_.Stop();
    watch_.Stop();
    scans_.Stop();
}

// ---- project ----

std::int32_t SystemCdEngine::Initialize(const char*, int) {
    return 0;
}

std::int32_t SystemCdEngine::CreateProject(std::int32_t kind) {
    if (kind != kCdProjectBurnImage && kind != kCdProjectVideoCd && kind != kCdProjectSuperVideoCd)
        return kCdErrBadProjectKind;
    std::lock_guard<std::mutex> guard(lock_);
    project_ = kind;
    cueFiles_.clear();
    return 0;
}

std::int32_t SystemCdEngine::DeleteProject() {
    std::lock_guard<std::mutex> guard(lock_);
    if (project_ == 0) return kCdErrNoProject;
    project_ = 0;
    cueFiles_.clear();
    return 0;
}

std::int32_t SystemCdEngine::ClearAll() {
    std::lock_guard<std::mutex> guard(lock_);
    if (project_ == 0) return kCdErrNoProject;
    cueFiles_.clear();
    return 0;
}

std::int32_t SystemCdEngine::AddFile(CdFileRecord record) {
    record.sourcePath[sizeof record.sourcePath - 1] = '\0';
    const std::string path = record.sourcePath;
    if (path.empty() || (record.flag != 0 && record.flag != 1)) return kCdErrBadRecord;

    std::lock_guard<std::mutex> guard(lock_);
    if (project_ == 0) return kCdErrNoProject;
    const bool scanProject = project_ != kCdProjectBurnImage;
    if (scanProject != (record.flag == 1)) return kCdErrWrongProject;
    if (!scanProject) {
        cueFiles_.push_back(path);
        return 0;
    }
    const DiscKind kind = project_ == kCdProjectVideoCd ? DiscKind::Vcd : DiscKind::Svcd;
    // Scans queue up: a second Add while the first file is scanned is checked after it.
    if (!scans_.Post([this, path, kind] { ScanTask(path, kind); })) return kCdErrStart;
    return 0;
}

std::int32_t SystemCdEngine::GetOptions(CdBurnOptions& options) {
    std::lock_guard<std::mutex> guard(lock_);
    options = options_;
    return 0;
}

std::int32_t SystemCdEngine::SetOptions(CdBurnOptions options) {
    options.label[sizeof options.label - 1] = '\0';
    std::lock_guard<std::mutex> guard(lock_);
    options_ = options;
    return 0;
}

std::int32_t SystemCdEngine::Prepare() {
    std::string cue;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (project_ == 0) return kCdErrNoProject;
        if (project_ != kCdProjectBurnImage) return kCdErrWrongProject;
        if (cueFiles_.empty()) return kCdErrNoImage;
        cue = cueFiles_.back();
    }
    return CueUsable(cue) ? 0 : kCdErrBadCue;
}

// ---- devices ----

std::int32_t SystemCdEngine::GetDevices(CdDeviceList& list, std::int32_t& count, int) {
    std::vector<CdDrive> found = DiscoverCdDrives(config_.drives);
    std::lock_guard<std::mutex> guard(lock_);
    char letter = current_ >= 0 ? drives_[static_cast<std::size_t>(current_)].letter : 0;
    drives_ = std::move(found);
    current_ = -1;
    std::memset(list, 0, sizeof(CdDeviceList));
    count = 0;
    for (std::size_t i = 0; i < drives_.size() && count < kCdDeviceSlots; ++i) {
        CopyCdText(list[count++], kCdDeviceTextSize, drives_[i].text);
        if (drives_[i].letter == letter) current_ = static_cast<int>(i);
    }
    return 0;
}

std::int32_t SystemCdEngine::SetDevice(char driveLetter) {
    std::lock_guard<std::mutex> guard(lock_);
    if (drives_.empty()) drives_ = DiscoverCdDrives(config_.drives);
    if (driveLetter >= 'a' && driveLetter <= 'z') driveLetter = static_cast<char>(driveLetter - 32);
    for (std::size_t i = 0; i < drives_.size(); ++i) {
        if (drives_[i].letter == driveLetter) {
            current_ = static_cast<int>(i);
            return 0;
        }
    }
    return kCdErrUnknownDevice;
}

bool SystemCdEngine::CurrentDrive(CdDrive& drive) const {
    std::lock_guard<std::mutex> guard(lock_);
    if (current_ < 0) return false;
    drive = drives_[static_cast<std::size_t>(current_)];
    return true;
}

std::int32_t SystemCdEngine::GetDeviceCapabilities(std::uint32_t& mask) {
    CdDrive drive;
    if (!CurrentDrive(drive)) return kCdErrNoDevice;
    mask = drive.capabilities;
    return 0;
}

Medium SystemCdEngine::MediumOf(const CdDrive& drive) const {
    Medium m;
    if (drive.imageRecorder) {
        m.typeName = "CD-R";
        m.status = 0;
        return m;
    }
    if (ProbeCdTray(drive.devicePath) == CdTrayState::NoDisc) return {kCdNoDisc, "", 1};
    const int profile = ProbeCdProfile(drive.devicePath);
    if (profile == 0) return {kCdNoDisc, "", 1};
    const std::string profileName = CdProfileName(profile);
    // cdrdao knows CDs only; what the drive names a DVD or BD is all there is to say of it.
    if (!profileName.empty() && profileName.rfind("CD-", 0) != 0) return {0, profileName, 1};

    if (FindTool("cdrdao").empty()) return {kCdErrNoCdrdao, "", 1};
    std::vector<std::string> lines;
    int status = RunTool({"cdrdao", "disk-info", "--device", drive.devicePath}, &lines);
    CdrdaoDiskInfo info = ParseCdrdaoDiskInfo(lines);
    if (status != 0 || !info.haveReport) {
        switch (ClassifyCdrdaoFailure(lines)) {
        case CdrdaoFailure::NoDisc:
            return {kCdNoDisc, "", 1};
        case CdrdaoFailure::NoDevice:
            return {kCdErrDeviceOpen, "", 1};
        default:
            return {kCdErrDiskInfo, "", 1};
        }
    }
    m.typeName = profileName.empty() ? info.typeName : profileName;
    m.status = info.empty ? 0 : 1;
    return m;
}

std::int32_t SystemCdEngine::GetMediumInformation(CdMediumInfo& info) {
    CdDrive drive;
    if (!CurrentDrive(drive)) return kCdErrNoDevice;
    if (jobActive_ && !drive.imageRecorder) return kCdErrBusy;
    Medium m = MediumOf(drive);
    if (m.code != 0) return m.code;
    CopyCdText(info.typeName, sizeof info.typeName, m.typeName);
    info.status = m.status;
    return 0;
}

std::int32_t SystemCdEngine::EjectDevice() {
    CdDrive drive;
    if (!CurrentDrive(drive)) return kCdErrNoDevice;
    if (drive.imageRecorder) return 0;
    if (jobActive_) return kCdErrBusy;
    if (!FindTool("eject").empty() && RunTool({"eject", drive.devicePath}, nullptr) == 0) return 0;
    return EjectCdTray(drive.devicePath) ? 0 : kCdErrEject;
}

// ---- jobs ----

std::int32_t SystemCdEngine::StartJob(std::function<void()> task) {
    bool idle = false;
    if (!jobActive_.compare_exchange_strong(idle, true)) return kCdErrBusy;
    abort_ = false;
    ++generation_;
    if (!jobs_.Post(std::move(task))) {
        jobActive_ = false;
        return kCdErrStart;
    }
    return 0;
}

int SystemCdEngine::RunJobProcess(const std::vector<std::string>& argv, const std::string& workDir,
                                  const ToolProcess::LineFn& onLine, std::string& startError) {
    ToolProcess process;
    {
        std::lock_guard<std::mutex> guard(processLock_);
        if (abort_) return -1;
        if (!process.Start(argv, workDir)) {
            startError = process.ErrorText();
            return -1;
        }
        running_ = &process;
        runningGeneration_ = generation_;
    }
    int status = process.Wait(onLine);
    std::lock_guard<std::mutex> guard(processLock_);
    running_ = nullptr;
    return status;
}

std::int32_t SystemCdEngine::Burn() {
    CdDrive drive;
    std::string cue;
    CdBurnOptions options;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (project_ == 0) return kCdErrNoProject;
        if (project_ != kCdProjectBurnImage) return kCdErrWrongProject;
        if (cueFiles_.empty()) return kCdErrNoImage;
        cue = cueFiles_.back();
        options = options_;
    }
    if (!CurrentDrive(drive)) return kCdErrNoDevice;
    if (jobActive_) return kCdErrBusy;

    if (drive.imageRecorder) {
        std::string folder = config_.discsFolder.empty() ? CdDiscsFolder() : config_.discsFolder;
        ImageRecording plan;
        if (std::int32_t r = PlanImageRecording(cue, folder, options.label, plan)) return r;
        std::int32_t r = StartJob([this, plan] { RecordTask(plan); });
        if (r != 0) DropImageRecording(plan);
        return r;
    }

    if (!CueUsable(cue)) return kCdErrBadCue;
    Medium m = MediumOf(drive);
    if (m.code != 0) return m.code;
    if (m.typeName != "CD-R" && m.typeName != "CD-RW") return kCdNoBlankDiscB;
    if (m.status != 0) return kCdNoBlankDiscA;
    if (FindTool("cdrdao").empty()) return kCdErrNoCdrdao;
    const bool eject = options.value405 == 1;
    return StartJob(
        [this, device = drive.devicePath, cue, eject] { WriteTask(device, cue, eject); });
}

std::int32_t SystemCdEngine::Erase(int mode) {
    CdDrive drive;
    if (!CurrentDrive(drive)) return kCdErrNoDevice;
    if (drive.imageRecorder) {
        // Every recording is a new disc: there is never anything to erase.
        return StartJob([this] {
            EndJob();
            FireEraseDone();
        });
    }
    if (FindTool("cdrdao").empty()) return kCdErrNoCdrdao;
    const bool full = mode == 2;
    return StartJob([this, device = drive.devicePath, full] { BlankTask(device, full); });
}

std::int32_t SystemCdEngine::Abort() {
    if (!jobActive_) return 0;
    abort_ = true;
    const std::uint64_t generation = generation_;
    {
        std::lock_guard<std::mutex> guard(processLock_);
        if (running_ && runningGeneration_ == generation) running_->Signal(SIGQUIT);
    }
    watch_.Post([this, generation] { StopAfterAbort(generation); });
    return 0;
}

void SystemCdEngine::StopAfterAbort(std::uint64_t generation) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto grace = std::chrono::milliseconds(config_.abortGraceMs);
    int sent = SIGQUIT;
    while (jobActive_ && generation_ == generation) {
        const auto waited = Clock::now() - start;
        int next = waited >= 2 * grace ? SIGKILL : waited >= grace ? SIGTERM : sent;
        if (next != sent) {
            std::lock_guard<std::mutex> guard(processLock_);
            if (running_ && runningGeneration_ == generation) running_->Signal(next);
            sent = next;
        }
        if (sent == SIGKILL) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void SystemCdEngine::WriteTask(std::string device, std::string cuePath, bool eject) {
    std::vector<std::string> argv{"cdrdao", "write",    "--device",
                                  device,   "--driver", "generic-mmc-raw"};
    if (eject) argv.push_back("--eject");
    // No ten-second countdown: the user has already confirmed the burn.
    argv.push_back("-n");
    argv.push_back(cuePath);

    std::vector<std::string> lines;
    bool finalizing = false;
    float shown = -1;
    std::string startError;
    int status = RunJobProcess(
        argv, FolderOf(cuePath),
        [&](const std::string& line) {
            if (finalizing) {
                lines.push_back(line);
                return;
            }
            if (IsCdrdaoFinalizeLine(line)) {
                finalizing = true;
                FireFinalize();
            } else if (auto percent = ParseCdrdaoWriteProgress(line)) {
                if (*percent > shown) {
                    shown = *percent;
                    FireProcess(*percent);
                }
                return; // progress lines are many and say nothing of a failure
            }
            lines.push_back(line);
        },
        startError);

    std::string text;
    if (abort_)
        text = kCdBurnAbortedText;
    else if (status == -1)
        text = startError.empty() ? "cdrdao could not be started." : startError;
    else if (status != 0)
        text = CdrdaoErrorText(lines, status);
    else if (!finalizing)
        FireFinalize();
    EndJob();
    FireBurnDone(text);
}

void SystemCdEngine::BlankTask(std::string device, bool full) {
    FireProcess(0);
    std::string startError;
    int status = RunJobProcess(
        {"cdrdao", "blank", "--device", device, "--blank-mode", full ? "full" : "minimal"}, {},
        nullptr, startError);
    // The erase-done event has no error: a disc left unerased is refused by the burn that
    // follows, as not empty.
    if (status == 0) FireProcess(100);
    EndJob();
    FireEraseDone();
}

void SystemCdEngine::RecordTask(ImageRecording plan) {
    std::string text = RecordImage(
        plan, abort_, [this](float percent) { FireProcess(percent); }, [this] { FireFinalize(); });
    EndJob();
    FireBurnDone(text);
}

// ---- scans ----

void SystemCdEngine::ScanTask(std::string path, DiscKind kind) {
    if (closing_) return;
    FireScanProgress(0);
    MpegCheckResult result;
    if (config_.scan)
        result = config_.scan(path, kind, &scanCancel_);
    else
        result.reason = "No video scanner is available.";
    FireScanProgress(100);
    FireScanDone(path, result);
}

std::string SystemCdEngine::ScanRefusalReason() const {
    std::lock_guard<std::mutex> guard(lock_);
    return scanReason_;
}

// ---- texts ----

std::int32_t SystemCdEngine::GetText(std::int32_t code, char* buffer, std::int32_t& size) {
    const std::string text = CdErrorText(code);
    if (!buffer || size <= 0) {
        size = static_cast<std::int32_t>(text.size() + 1);
        return kCdErrBadRecord;
    }
    CopyCdText(buffer, static_cast<std::size_t>(size), text);
    size = static_cast<std::int32_t>(std::strlen(buffer));
    return 0;
}

// ---- events ----

std::int32_t SystemCdEngine::SetVideoScannerEventCallback(CdScanProgressFn fn, void* user) {
    std::lock_guard<std::mutex> guard(lock_);
    scanProgress_ = fn;
    scanProgressUser_ = user;
    return 0;
}

std::int32_t SystemCdEngine::SetVideoScanDoneEventCallback(CdScanDoneFn fn, void* user) {
    std::lock_guard<std::mutex> guard(lock_);
    scanDone_ = fn;
    scanDoneUser_ = user;
    return 0;
}

std::int32_t SystemCdEngine::SetProcessEventCallback(CdProcessFn fn, void* user) {
    std::lock_guard<std::mutex> guard(lock_);
    process_ = fn;
    processUser_ = user;
    return 0;
}

std::int32_t SystemCdEngine::SetFinalizeEventCallback(CdFinalizeFn fn, void* user) {
    std::lock_guard<std::mutex> guard(lock_);
    finalize_ = fn;
    finalizeUser_ = user;
    return 0;
}

std::int32_t SystemCdEngine::SetBurnDoneEventCallback(CdBurnDoneFn fn, void* user) {
    std::lock_guard<std::mutex> guard(lock_);
    burnDone_ = fn;
    burnDoneUser_ = user;
    return 0;
}

std::int32_t SystemCdEngine::SetEraseDoneEventCallback(CdEraseDoneFn fn, void* user) {
    std::lock_guard<std::mutex> guard(lock_);
    eraseDone_ = fn;
    eraseDoneUser_ = user;
    return 0;
}

// The handlers run without the engine's lock, so they may call back into the engine.

void SystemCdEngine::FireProcess(float percent) {
    std::unique_lock<std::mutex> guard(lock_);
    CdProcessFn fn = process_;
    void* user = processUser_;
    guard.unlock();
    if (fn && !closing_) fn(percent, 0, 0, 0, 0, 0, 0, user);
}

void SystemCdEngine::FireFinalize() {
    std::unique_lock<std::mutex> guard(lock_);
    CdFinalizeFn fn = finalize_;
    void* user = finalizeUser_;
    guard.unlock();
    if (fn && !closing_) fn(user);
}

void SystemCdEngine::FireBurnDone(const std::string& text) {
    std::unique_lock<std::mutex> guard(lock_);
    CdBurnDoneFn fn = burnDone_;
    void* user = burnDoneUser_;
    guard.unlock();
    if (fn && !closing_) fn(text.c_str(), user);
}

void SystemCdEngine::FireEraseDone() {
    std::unique_lock<std::mutex> guard(lock_);
    CdEraseDoneFn fn = eraseDone_;
    void* user = eraseDoneUser_;
    guard.unlock();
    if (fn && !closing_) fn(0, user);
}

void SystemCdEngine::FireScanProgress(float percent) {
    std::unique_lock<std::mutex> guard(lock_);
    CdScanProgressFn fn = scanProgress_;
    void* user = scanProgressUser_;
    guard.unlock();
    if (fn && !closing_) fn(percent, 0, user);
}

void SystemCdEngine::FireScanDone(const std::string& path, const MpegCheckResult& result) {
    std::unique_lock<std::mutex> guard(lock_);
    scanReason_ = result.ok ? std::string() : result.reason;
    CdScanDoneFn fn = scanDone_;
    void* user = scanDoneUser_;
    guard.unlock();
    if (!fn || closing_) return;
    const MpegFacts& f = result.facts;
    const int bitRate = f.bitRate > INT_MAX ? INT_MAX
                        : f.bitRate < 0     ? 0
                                            : static_cast<int>(f.bitRate);
    fn(path.c_str(), 0, result.ok ? 0 : 1, 0, f.width, f.height, bitRate, f.frameRate, 0, 0, user);
}

} // namespace

std::unique_ptr<CdEngine> MakeSystemCdEngine(SystemCdConfig config) {
    return std::make_unique<SystemCdEngine>(std::move(config));
}

} // namespace engines

#include "burner/app/start_burning_job.h"

#include "burner/app/burner_startup.h"
#include "burner/app/format_duration.h"
#include "burner/app/vcd_xml_writer.h"
#include "engines/dvdauthor/author_dvd.h"
#include "engines/mpgtx/mpgtx.h"
#include "platform/folders.h"
#include "platform/temp_folder.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <sys/stat.h>

namespace {

// The CD engine's events, carried from its thread to the dialog's.
enum : unsigned {
    kMsgCdProcess = 0x8101, // wParam: the percent's bits
    kMsgCdFinalize,
    kMsgCdBurnDone, // the text waits in burnDoneTexts_
    kMsgCdEraseDone,
};

// Stored by the build thread before its first message; the dialog's dispatch compares with it.
std::atomic<unsigned> g_buildMessage{0};

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void CopyPath(char* field, std::size_t size, const std::string& text) {
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

} // namespace

const char* BuildResultText(long result, bool cancelled) {
    switch (result) {
    case 0:
        return "\"QuvoDiscBuild\" finished successfully";
    case 1:
        return cancelled ? "\"QuvoDiscBuild\" finished with ERRORS : Cancel Request from User"
                         : "\"QuvoDiscBuild\" finished with ERRORS : internal error of 'libxml' or "
                           "the image builder";
    case 2:
        return "\"QuvoDiscBuild\" finished with ERRORS : an exception occured (resulting in "
               "_memory leaks_)";
    case -1:
        return "\"QuvoDiscBuild\" finished with ERRORS : missing or bad parameters";
    default:
        return "\"QuvoDiscBuild\" finished with ERRORS : internal error (in the library)";
    }
}

// The build's window while it runs: it forwards to the dialog as long as the dialog exists, so a
// build that outlives its dialog talks to nobody instead of to freed memory.
class CStartBurningJob::BuildRelay : public platform::MessageTarget {
  public:
    CStartBurningJob* job = nullptr; // read and cleared only on the dialog's thread
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam,
                                platform::LPARAM lParam) override {
        return job ? job->OnMessage(message, wParam, lParam) : 0;
    }
};

// What the build thread uses; shared, so that it stays valid for a thread left to finish alone.
struct CStartBurningJob::BuildRun {
    VcdBuildOptions options;
    int cancel = 0; // m_nCancelBuild: the dialog writes, the builder polls
    std::atomic<bool> ended{false};
    BuildRelay relay;

    void Cancel() { std::atomic_ref<int>(cancel).store(1); }
    bool Cancelled() { return std::atomic_ref<int>(cancel).load() != 0; }

    static int ThreadProc(std::shared_ptr<BuildRun> run) {
        if (!run) return 103;
        platform::HWND window = &run->relay;
        unsigned message = platform::RegisterWindowMessage(kBuildMessageName);
        g_buildMessage = message;
        if (message == 0) {
            platform::SendMessage(window, WM_BUILD_STATE, 0, 103);
            return 103;
        }
        // The cancel flag starts at 0 with the run, not here: a Stop pressed before this thread
        // got going must not be wiped out.
        platform::SendMessage(window, WM_BUILD_STATE, 1, 0);
        long result = VcdBuildImage(window, kBuildMessageName, &run->options, &run->cancel);
        platform::SendMessage(
            window, message, 1,
            reinterpret_cast<platform::LPARAM>(BuildResultText(result, run->Cancelled())));
        platform::SendMessage(window, WM_BUILD_STATE, 0, static_cast<platform::LPARAM>(result));
        return 0;
    }
};

CStartBurningJob::CStartBurningJob(StartBurningServices services)
    : s_(std::move(services)), dvd_(s_.discMode == DISC_DVD), job_(s_.clock, dvd_) {
    values_.dvd = dvd_;
    if (dvd_) {
        if (s_.dvdEngine) dvdWriter_ = std::make_unique<DvdWriter>(*s_.dvdEngine, s_.messages);
        if (s_.mpgtx && s_.multiplexer && s_.author)
            stages_ = std::make_unique<CDvdStages>(
                job_, CDvdStages::Components{*s_.mpgtx, *s_.multiplexer, *s_.author});
    } else if (s_.cdEngine) {
        cdWriter_ = std::make_unique<CdWriter>(*s_.cdEngine, s_.messages,
                                               static_cast<CdWriterHost&>(*this));
    }
}

CStartBurningJob::~CStartBurningJob() {
    if (build_) {
        build_->relay.job = nullptr;
        if (build_->ended) {
            JoinBuild();
        } else if (buildThread_.joinable()) {
            // The thread may be waiting for this window to take a message; it must not be
            // waited for here. It stops at its next pack and ends on its own.
            build_->Cancel();
            buildThread_.detach();
        }
    }
    stages_.reset();
    dvdWriter_.reset();
    RemoveWorkFolder(s_.settings.tempFolder);
}

void CStartBurningJob::OnInitDialog(const std::vector<platform::Drive>& drives) {
    if (dvd_) {
        tvType = s_.settings.tvType;
        aspect = s_.settings.aspectRatio;
        letterBox = s_.settings.letterBox != 0;
    }
    tempDrives = MakeTempDriveList(drives, s_.folderHost);
    writers.ResetContent();
    if (dvd_) {
        if (dvdWriter_) dvdWriter_->ListDvdWriters(writers);
    } else if (cdWriter_) {
        cdWriter_->FillCdWriterList(writers);
    }
    label = s_.discMode == DISC_DVD ? "My DVD" : s_.discMode == DISC_SVCD ? "My SVCD" : "My VCD";
    outputFolder = s_.settings.outputFolder;
}

void CStartBurningJob::OnTvType(int value) {
    tvType = value;
    s_.settings.tvType = value;
}

void CStartBurningJob::OnAspect(int value) {
    aspect = value;
    s_.settings.aspectRatio = value;
}

void CStartBurningJob::OnLetterBox(bool on) {
    letterBox = on;
    s_.settings.letterBox = on ? 1 : 0;
}

void CStartBurningJob::OnOutputFolderChosen(const std::string& folder) {
    if (folder.empty()) return;
    outputFolder = folder.back() == '/' ? folder : folder + "/";
    s_.settings.SetOutputFolder(outputFolder);
}

bool CStartBurningJob::BuildRunning() const {
    return build_ && !build_->ended;
}

bool CStartBurningJob::CanClose() const {
    return !BuildRunning() && job_.State() != 14;
}

void CStartBurningJob::TakeValues() {
    values_.label = label;
    values_.outputFolder = outputFolder;
    values_.listPaths = s_.listPaths;
    values_.settingsOutputFolder = s_.settings.outputFolder;
    values_.settingsTempFolder = s_.settings.tempFolder;
    int row = tempDrives.selected;
    values_.tempDriveRoot =
        row >= 0 && row < static_cast<int>(tempDrives.roots.size()) ? tempDrives.roots[row] : "";
}

void CStartBurningJob::OnStart() {
    TakeValues();
    if (dvd_)
        OnStartDvd();
    else
        OnStartCd();
    SyncTimers();
}

// ---- VCD and SVCD ----

void CStartBurningJob::OnStartCd() {
    if (!cdWriter_) return;
    CdStartPieces pieces{*cdWriter_, writers, s_.messages, values_, s_.folderHost};
    switch (job_.OnStartCd(pieces)) {
    case CdStartResult::CancelRequested:
        if (build_) build_->Cancel();
        break;
    case CdStartResult::BuildImage:
        if (MakeXmlAndStartBuild() == 0) {
            job_.SetState(8, true);
        } else {
            job_.Log("Failed to create cue image.");
            job_.Log("Failed!");
        }
        break;
    default:
        break;
    }
}

void CStartBurningJob::JoinBuild() {
    if (buildThread_.joinable()) buildThread_.join();
}

int CStartBurningJob::MakeXmlAndStartBuild() {
    job_.SetStatus("Make XML...");
    CVcdXmlWriter writer;
    writer.kind = s_.discMode == DISC_SVCD ? 4 : 3;
    writer.volumeId = values_.label;
    writer.sources = values_.listPaths;

    if (!xmlFolder_ || !xmlFolder_->Ok())
        xmlFolder_ = std::make_unique<platform::PrivateTempFolder>("pellam-vcdxml");
    xmlPath_ = VcdXmlPathIn(*xmlFolder_);
    if (xmlPath_.empty() || writer.WriteFile(xmlPath_) != 0) {
        job_.SetStatus("Failed to make XML file.");
        job_.Log("Failed to make XML file.");
        if (!writer.error.empty()) job_.Log(writer.error);
        return -1;
    }
    if (!FileExists(xmlPath_)) {
        job_.SetStatus("The VideoCD XML doesn't exist.");
        job_.Log("Failed to make XML file.");
        return -1;
    }

    // Only one build at a time: Start is a Stop button while one runs.
    if (BuildRunning()) return -1;
    JoinBuild();
    auto run = std::make_shared<BuildRun>();
    run->relay.job = this;
    run->relay.AttachLoop(Loop());
    CopyPath(run->options.xmlPath, sizeof run->options.xmlPath, xmlPath_);
    run->options.imageType = VCD_IMAGE_BINCUE;
    CopyPath(run->options.cuePath, sizeof run->options.cuePath, values_.cuePath);
    CopyPath(run->options.binPath, sizeof run->options.binPath, values_.binPath);
    run->options.progress = 1;
    build_ = run;
    buildThread_ = std::thread(BuildRun::ThreadProc, run);
    return 0;
}

void CStartBurningJob::OnBuildState(platform::WPARAM wParam, platform::LPARAM lParam) {
    if (wParam != 0) return;
    if (build_) build_->ended = true;
    job_.OnBuildState(false, static_cast<long>(lParam), *cdWriter_, values_.cuePath, values_.label);
}

void CStartBurningJob::OnBuildLog(platform::WPARAM wParam, platform::LPARAM lParam) {
    if (lParam == 0) return;
    if (wParam == 2) {
        job_.SetStatus(reinterpret_cast<const char*>(lParam));
    } else if (wParam == 6) {
        // A progress block: byte 0 is 0, the percent sits at the same place in both kinds.
        const auto* block = reinterpret_cast<const unsigned char*>(lParam);
        if (block[0] != 0) return;
        std::int32_t percent;
        std::memcpy(&percent, block + offsetof(VcdScanProgressBlock, percent), sizeof percent);
        job_.SetBar(percent);
    }
}

void CStartBurningJob::OnCdProcess(float percent) {
    platform::WPARAM bits = 0;
    std::uint32_t raw;
    std::memcpy(&raw, &percent, sizeof raw);
    bits = raw;
    if (!platform::PostMessage(this, kMsgCdProcess, bits, 0)) job_.OnCdProcess(percent);
}

void CStartBurningJob::OnCdFinalize() {
    if (!platform::PostMessage(this, kMsgCdFinalize, 0, 0)) job_.OnCdFinalize();
}

void CStartBurningJob::OnCdBurnDone(const char* errorText) {
    {
        std::lock_guard<std::mutex> guard(eventLock_);
        burnDoneTexts_.emplace_back(errorText ? errorText : "");
    }
    if (!platform::PostMessage(this, kMsgCdBurnDone, 0, 0)) OnMessage(kMsgCdBurnDone, 0, 0);
}

void CStartBurningJob::OnCdEraseDone() {
    if (!platform::PostMessage(this, kMsgCdEraseDone, 0, 0)) OnMessage(kMsgCdEraseDone, 0, 0);
}

// ---- DVD ----

bool CStartBurningJob::SelectedDvdWriter(const DvdWriterEntry*& writer) const {
    writer = nullptr;
    if (!dvdWriter_) return false;
    int row = writers.GetCurSel();
    if (row < 0) row = 0;
    for (int i = 0, seen = 0; i < dvdWriter_->WriterCount() && i < kDvdWriterSlots; ++i) {
        const DvdWriterEntry& entry = dvdWriter_->Writer(i);
        if (entry.dvdWritable != 1) continue;
        if (seen++ == row) {
            writer = &entry;
            return true;
        }
    }
    return false;
}

void CStartBurningJob::StartDvdBurn() {
    const DvdWriterEntry* w = nullptr;
    if (!SelectedDvdWriter(w)) return;
    dvdWriter_->StartDvdBurn(this, values_.dvdFolder, values_.label, w->port, w->bus, w->targetId,
                             w->lun);
}

void CStartBurningJob::StartDemuxJob(bool beginJob) {
    if (!stages_) return;
    stages_->SetJob(this, values_.listPaths, values_.tempFolder, values_.dvdFolder,
                    s_.settings.tvType, s_.settings.aspectRatio, s_.settings.letterBox);
    stages_->SetFileIndex(0);
    if (stages_->StartDemux()) job_.SetState(17, beginJob);
}

void CStartBurningJob::OnStartDvd() {
    const unsigned okCancel = platform::MB_OKCANCEL | platform::MB_ICONINFORMATION;
    if (job_.State() == 17) {
        if (s_.messages.Show(kAbortDemuxQuestion, kWriterBoxCaption, okCancel) == platform::IDOK &&
            stages_)
            stages_->RequestDemuxAbort();
        return;
    }
    if (job_.State() == 4) {
        if (s_.messages.Show(kAbortBurnQuestion, kWriterBoxCaption, okCancel) == platform::IDOK) {
            if (dvdWriter_) dvdWriter_->AbortDvdBurn();
            job_.Log("Aborted by user");
        }
        return;
    }
    job_.ClearLog();
    job_.Log("Starting...");
    if (writers.GetCount() == 0) {
        s_.messages.Show(kNoWriterMessage, kWriterBoxCaption, platform::MB_OK);
        job_.Log("Failed to find writer with burning capabilities.");
        job_.Log("Failed!");
        return;
    }
    if (!job_.ImageReady()) {
        if (!PrepareDvdJob(values_, s_.folderHost)) return;
        s_.settings.SetTempFolder(values_.settingsTempFolder);
    }
    const DvdWriterEntry* w = nullptr;
    DvdDiscInfo disc;
    if (SelectedDvdWriter(w))
        dvdWriter_->GetInsertedDiscInfo(disc, w->port, w->bus, w->targetId, w->lun);
    if (disc.isWritableDvd != 1) {
        job_.Log("No blank DVD Disc in writer.");
        job_.Log("Failed.");
        return;
    }
    if (disc.isErasable == 1 && disc.isBlank == 0) {
        if (s_.messages.Show(kCdRwNotEmptyQuestion, kWriterBoxCaption, platform::MB_YESNO) !=
            platform::IDYES) {
            job_.Log("Aborted by user.");
            job_.Log("Failed.");
            return;
        }
        dvdWriter_->StartDvdErase(this, w->port, w->bus, w->targetId, w->lun);
        job_.SetState(1, true);
        return;
    }
    if (job_.ImageReady()) {
        StartDvdBurn();
        job_.SetState(4, true);
        return;
    }
    StartDemuxJob(true);
}

void CStartBurningJob::OnDvdErase(platform::WPARAM wParam) {
    switch (wParam) {
    case kDvdEraseStarted:
        job_.SetStatus("Erasing the disc....");
        break;
    case kDvdEraseFailed:
        job_.SetState(3, false);
        break;
    case kDvdEraseDone:
        job_.SetState(2, false);
        job_.SetStatus("Erase done");
        if (job_.ImageReady()) {
            StartDvdBurn();
            job_.SetState(4, false);
        } else {
            StartDemuxJob(true);
        }
        break;
    default:
        break;
    }
}

void CStartBurningJob::OnDvdBurn(platform::WPARAM wParam, platform::LPARAM lParam) {
    BurnJobView& view = job_.View();
    switch (wParam) {
    case kDvdBurnStarted:
        job_.SetStatus("Prepare...");
        job_.MarkBurned();
        view.startEnabled = false;
        break;
    case kDvdBurnWriting:
        job_.SetStatus("Burning... 0%");
        view.startEnabled = true;
        break;
    case kDvdBurnFinalizing:
        job_.SetBar(100);
        job_.SetState(7, false);
        break;
    case kDvdBurnProgress: {
        char text[48];
        std::snprintf(text, sizeof text, "Burning... %d%% ", static_cast<int>(lParam));
        job_.SetStatus(text);
        job_.SetBar(static_cast<int>(lParam));
        break;
    }
    case kDvdBurnFailed:
        job_.Log("Failed to burn the disc");
        job_.SetStatus("Failed to burn the disc");
        job_.SetState(6, false);
        break;
    case kDvdBurnSucceeded:
        job_.Log("Burned the disc successfully.");
        job_.Log("Done!");
        job_.SetStatus("Burn the disc successfully.");
        job_.SetState(5, false);
        break;
    default:
        break;
    }
}

// ---- messages and timers ----

void CStartBurningJob::OnTimer(platform::UINT_PTR id) {
    switch (id) {
    case kElapsedTimer:
        job_.View().elapsed = "Elapsed Time : " + FormatDuration(job_.ElapsedSeconds());
        break;
    case kMultiplexTimer:
        if (stages_) stages_->OnMuxTimer();
        break;
    case kEraseTimer:
        job_.OnEraseTick();
        break;
    default:
        break;
    }
}

void CStartBurningJob::SyncTimers() {
    const BurnJobView& v = job_.View();
    auto sync = [this](bool want, bool& running, platform::UINT_PTR id, unsigned period) {
        if (want == running) return;
        running = want;
        if (want)
            platform::SetTimer(this, id, period);
        else
            platform::KillTimer(this, id);
    };
    sync(v.elapsedTimer, timer133_, kElapsedTimer, 1000);
    sync(v.multiplexTimer, timer134_, kMultiplexTimer, 200);
    sync(v.eraseTimer, timer135_, kEraseTimer, 1500);
}

platform::LRESULT CStartBurningJob::OnMessage(unsigned message, platform::WPARAM wParam,
                                              platform::LPARAM lParam) {
    unsigned buildMessage = g_buildMessage;
    if (buildMessage != 0 && message == buildMessage) {
        OnBuildLog(wParam, lParam);
        return 0;
    }
    switch (message) {
    case WM_BUILD_STATE:
        OnBuildState(wParam, lParam);
        break;
    case platform::WM_TIMER:
        OnTimer(wParam);
        break;
    case kMsgCdProcess: {
        std::uint32_t raw = static_cast<std::uint32_t>(wParam);
        float percent;
        std::memcpy(&percent, &raw, sizeof percent);
        job_.OnCdProcess(percent);
        break;
    }
    case kMsgCdFinalize:
        job_.OnCdFinalize();
        break;
    case kMsgCdBurnDone: {
        std::string text;
        {
            std::lock_guard<std::mutex> guard(eventLock_);
            if (!burnDoneTexts_.empty()) {
                text = std::move(burnDoneTexts_.front());
                burnDoneTexts_.pop_front();
            }
        }
        job_.OnCdBurnDone(text.c_str());
        break;
    }
    case kMsgCdEraseDone:
        if (cdWriter_ && job_.OnCdEraseDone(*cdWriter_, values_.cuePath, values_.label)) {
            if (MakeXmlAndStartBuild() == 0)
                job_.SetState(8, false);
            else
                job_.SetState(10, false);
        }
        break;
    case engines::WM_DEMUX_EVENT:
        if (stages_) stages_->OnDemuxEvent(wParam, lParam);
        break;
    case WM_MUX_DONE:
        if (stages_) stages_->OnMuxDone(wParam);
        break;
    case engines::WM_AUTHOR_EVENT:
        if (stages_ && stages_->OnAuthorEvent(wParam, lParam)) {
            StartDvdBurn();
            job_.SetState(4, false);
        }
        break;
    case WM_DVD_ERASE_EVENT:
        OnDvdErase(wParam);
        break;
    case WM_DVD_BURN_EVENT:
        OnDvdBurn(wParam, lParam);
        break;
    default:
        return 0;
    }
    SyncTimers();
    return 0;
}

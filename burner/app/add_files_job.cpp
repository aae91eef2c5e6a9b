#include "burner/app/add_files_job.h"

#include "burner/app/burner_startup.h"
#include "burner/app/format_duration.h"

#include <cmath>
#include <cstring>

using engines::_mpgtx_check_param_;

alignas(8) _mpgtx_check_param_ g_checkParam{};

WindowOrigin CenterOver(int mainLeft, int mainTop, int mainClientWidth, int mainClientHeight,
                        int childClientWidth, int childClientHeight) {
    return {mainLeft + mainClientWidth / 2 - childClientWidth / 2,
            mainTop + mainClientHeight / 2 - childClientHeight / 2};
}

namespace {

// The checker leaves a zero-terminated reason in the record's last field; the record was zeroed
// before the call, so a checker that gives none leaves it empty.
std::string ReasonInRecord(const _mpgtx_check_param_& record) {
    const char* text = reinterpret_cast<const char*>(record.reserved1088);
    return std::string(text, strnlen(text, sizeof record.reserved1088));
}

} // namespace

CAddFilesJob::CAddFilesJob(Services services, platform::HWND window)
    : services_(services), window_(window) {}

bool CAddFilesJob::Busy() const {
    return scanRunning_ || !scanQueue_.empty() || checksActive_;
}

void CAddFilesJob::OnAddFiles() {
    const bool dvd = services_.discMode == DISC_DVD;
    CMpegList& list = services_.list;
    // The first row added to an empty list becomes the current one.
    if (list.Empty()) list.m_nSelected = 0;

    FileOpenRequest request;
    request.title = dvd ? kAddFilesTitleDvd : kAddFilesTitleCd;
    request.multiple = dvd;
    request.mustExist = dvd;
    std::vector<std::string> paths = services_.host.ChooseFiles(request);
    if (paths.empty()) {
        if (list.Empty()) list.m_nSelected = -1;
        return;
    }
    // One file per Add in VCD and SVCD, whatever the dialog returned.
    if (!dvd) paths.resize(1);
    AddPaths(paths);
}

void CAddFilesJob::AddPaths(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    if (services_.list.Empty() && services_.list.m_nSelected == -1) services_.list.m_nSelected = 0;
    if (services_.discMode == DISC_DVD)
        QueueChecks(paths);
    else
        QueueScans(paths);
}

void CAddFilesJob::Reject(const std::string& path, const std::string& reason) {
    InvalidFileView view = MakeInvalidFileView(services_.discMode, path, reason);
    services_.boxes.Beep(platform::MB_ICONINFORMATION);
    services_.host.ShowInvalidFile(view);
}

// ---- VCD and SVCD: the CD engine's video scanner ----

void CAddFilesJob::QueueScans(const std::vector<std::string>& paths) {
    for (const std::string& p : paths)
        scanQueue_.push_back(p);
    // A file added while another is scanned waits for that scan's end rather than reach the
    // engine in the middle of it.
    if (!scanRunning_) StartNextScan();
}

void CAddFilesJob::StartNextScan() {
    while (!scanRunning_ && !scanQueue_.empty()) {
        std::string path = scanQueue_.front();
        scanQueue_.pop_front();
        // The engine's record would cut a longer path and scan some other file.
        if (path.size() >= sizeof(engines::CdFileRecord::sourcePath)) {
            Reject(path, kPathTooLongReason);
            continue;
        }
        view_.scanVisible = true;
        view_.scanPercent = 0;
        scanning_ = path;
        scanRunning_ = true;
        Changed();
        if (!services_.scan || !services_.scan->AddFile(path)) {
            // No scan-done event follows a refused AddFile, so nothing else would hide the window.
            scanRunning_ = false;
            view_.scanVisible = false;
            Changed();
        }
    }
}

void CAddFilesJob::OnScanProgress(float percent) {
    int whole = std::isfinite(percent) ? static_cast<int>(percent) : 0;
    if (whole < 0) whole = 0;
    if (whole > 100) whole = 100;
    if (!platform::PostMessage(window_, kMsgScanProgress, static_cast<platform::WPARAM>(whole), 0))
        HandleScanProgress(whole);
}

void CAddFilesJob::OnScanDone(const char*, bool invalid, int width, int height, int bitRate,
                              double frameRate) {
    ScanResult r{invalid, width, height, bitRate, frameRate, {}};
    if (invalid && services_.cdEngine) r.reason = ScanRefusalReasonOf(*services_.cdEngine);
    {
        std::lock_guard<std::mutex> guard(resultsLock_);
        results_.push_back(std::move(r));
    }
    if (!platform::PostMessage(window_, kMsgScanDone, 0, 0)) HandleScanDone();
}

void CAddFilesJob::HandleScanProgress(int percent) {
    if (!scanRunning_) return;
    view_.scanPercent = percent;
    Changed();
}

void CAddFilesJob::HandleScanDone() {
    ScanResult r;
    {
        std::lock_guard<std::mutex> guard(resultsLock_);
        if (results_.empty()) return;
        r = std::move(results_.front());
        results_.pop_front();
    }
    // An event without a scan of ours has no file to add.
    if (!scanRunning_) return;
    scanRunning_ = false;
    view_.scanVisible = false;
    view_.scanPercent = 0;
    Changed();
    // The row names the file we asked for: the engine's copy of the path may have been cut.
    const std::string path = scanning_;
    if (r.invalid)
        Reject(path, r.reason);
    else
        services_.list.AddRowVcd(path, r.width, r.height, r.bitRate, r.frameRate,
                                 GetFileSize64(path));
    Changed();
    StartNextScan();
}

// ---- DVD: the MPEG checker ----

void CAddFilesJob::QueueChecks(const std::vector<std::string>& paths) {
    view_.loadVisible = true;
    if (checksActive_) {
        // The checker owns the record until it reports, and the queue is being worked through
        // (perhaps under a modal invalid-file dialog): later files join it.
        m_pendingFiles.insert(m_pendingFiles.end(), paths.begin(), paths.end());
        Changed();
        return;
    }
    m_pendingFiles = paths;
    m_nPending = 0;
    checksActive_ = true;
    Changed();
    CheckPending();
}

void CAddFilesJob::CheckPending() {
    while (m_nPending < static_cast<int>(m_pendingFiles.size())) {
        const std::string path = m_pendingFiles[m_nPending];
        if (path.size() >= sizeof g_checkParam.path || !services_.mpgtx) {
            Reject(path, services_.mpgtx ? kPathTooLongReason : "");
            ++m_nPending;
            continue;
        }
        std::memset(&g_checkParam, 0, sizeof g_checkParam);
        g_checkParam.window = window_;
        g_checkParam.message = static_cast<std::int32_t>(engines::WM_CHECK_DONE);
        std::memcpy(g_checkParam.path, path.c_str(), path.size() + 1);
        checkRunning_ = true;
        services_.mpgtx->mpgtx_Checkfile(&g_checkParam);
        return;
    }
    checkRunning_ = false;
    checksActive_ = false;
    view_.loadVisible = false;
    Changed();
}

void CAddFilesJob::OnCheckDone(platform::WPARAM wParam, platform::LPARAM) {
    if (!checkRunning_ || m_nPending >= static_cast<int>(m_pendingFiles.size())) return;
    checkRunning_ = false;
    const std::string path = m_pendingFiles[m_nPending];
    if (wParam != 0) {
        Reject(path, ReasonInRecord(g_checkParam));
    } else {
        // A negative size from the checker would only drive the totals below zero.
        std::int64_t size = g_checkParam.fileSize > 0 ? g_checkParam.fileSize : 0;
        services_.list.AddRowDvd(path, size, g_checkParam.width, g_checkParam.height,
                                 g_checkParam.frameRate, g_checkParam.seconds);
        Changed();
    }
    ++m_nPending;
    CheckPending();
}

bool CAddFilesJob::OnWindowMessage(unsigned message, platform::WPARAM wParam,
                                   platform::LPARAM lParam) {
    switch (message) {
    case engines::WM_CHECK_DONE:
        OnCheckDone(wParam, lParam);
        return true;
    case kMsgScanProgress:
        HandleScanProgress(static_cast<int>(wParam));
        return true;
    case kMsgScanDone:
        HandleScanDone();
        return true;
    default:
        return false;
    }
}

#include "burner/app/dvd_stages.h"

#include "burner/app/format_duration.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

alignas(8) engines::_mpgtx_demuxer_param_ g_demuxParam;
engines::AuthorDvdParam g_authorParam;
MuxThreadParam g_muxThreadParam;

namespace {

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void CopyField(char* field, std::size_t size, const std::string& text) {
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

std::string Printf(const char* format, double value) {
    char text[96];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Printf(const char* format, long value) {
    char text[96];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

std::string DemuxBase(const std::string& prefix, int fileIndex) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", fileIndex);
    return prefix + number;
}

std::string SegmentPattern(const std::string& prefix, int fileIndex) {
    return DemuxBase(prefix, fileIndex) + "_%d.mpg";
}

std::string SegmentPath(const std::string& prefix, int fileIndex, int segment) {
    return DemuxBase(prefix, fileIndex) + "_" + std::to_string(segment) + ".mpg";
}

std::vector<std::string> CollectSegments(const std::string& prefix, int fileCount) {
    std::vector<std::string> segments;
    for (int index = 0; index < fileCount; ++index) {
        for (int s = 1;; ++s) {
            std::string path = SegmentPath(prefix, index, s);
            if (!FileExists(path)) break;
            segments.push_back(path);
        }
    }
    return segments;
}

CDvdStages::CDvdStages(CBurnJob& job, Components components) : job_(job), c_(components) {}

CDvdStages::~CDvdStages() {
    if (worker_.joinable()) worker_.join();
}

void CDvdStages::SetJob(platform::HWND window, std::vector<std::string> listPaths,
                        std::string workPrefix, std::string dvdFolder, int tvSystem, int aspect,
                        int letterBox) {
    window_ = window;
    listPaths_ = std::move(listPaths);
    prefix_ = std::move(workPrefix);
    dvdFolder_ = std::move(dvdFolder);
    tvSystem_ = tvSystem;
    aspect_ = aspect;
    letterBox_ = letterBox;
}

bool CDvdStages::StartDemux() {
    if (fileIndex_ < 0 || fileIndex_ >= static_cast<int>(listPaths_.size())) return false;
    const std::string& path = listPaths_[fileIndex_];
    job_.Log("Demultiplexing mpeg file: " + path);
    std::string base = DemuxBase(prefix_, fileIndex_);

    std::memset(static_cast<void*>(&g_demuxParam), 0, sizeof g_demuxParam);
    g_demuxParam.window = window_;
    g_demuxParam.message = static_cast<std::int32_t>(engines::WM_DEMUX_EVENT);
    g_demuxParam.abort = 0;
    CopyField(g_demuxParam.input, sizeof g_demuxParam.input, path);
    CopyField(g_demuxParam.outputBase, sizeof g_demuxParam.outputBase, base);
    c_.mpgtx.mpgtx_Demuxer(&g_demuxParam);
    return true;
}

void CDvdStages::RequestDemuxAbort() {
    engines::RequestDemuxAbort(g_demuxParam);
}

void CDvdStages::StartMuxThread() {
    if (worker_.joinable()) worker_.join(); // the previous file's worker has posted its end
    g_muxThreadParam.hwnd = window_;
    g_muxThreadParam.fileIndex = fileIndex_;
    g_muxThreadParam.segment = 1;
    g_muxThreadParam.doneBytes = 0;
    worker_ = std::thread(MuxThreadProc, &g_muxThreadParam, &c_.multiplexer, prefix_);
}

int CDvdStages::MuxThreadProc(MuxThreadParam* param, engines::Multiplexer* multiplexer,
                              std::string prefix) {
    int index = param->fileIndex;
    std::string base = DemuxBase(prefix, index);
    std::string video = base + ".m2v";
    std::string audio = base + ".mpa";
    param->totalInputBytes =
        static_cast<std::uint32_t>(GetFileSize64(audio) + GetFileSize64(video));
    param->segment = 1;
    param->doneBytes = 0;

    const char* inputs[3] = {video.c_str(), audio.c_str(), nullptr};
    engines::MplexParam record;
    std::memset(&record, 0, sizeof record);
    engines::FillMplexParam(record, inputs, SegmentPattern(prefix, index));
    multiplexer->mplex(&record);

    unlink(video.c_str());
    unlink(audio.c_str());
    platform::PostMessage(param->hwnd, WM_MUX_DONE, record.status == 0 ? 0 : 1, 0);
    return 0;
}

void CDvdStages::StartAuthoring() {
    g_authorParam.window = window_;
    CopyField(g_authorParam.outputFolder, sizeof g_authorParam.outputFolder, dvdFolder_);
    g_authorParam.segments = CollectSegments(prefix_, static_cast<int>(listPaths_.size()));
    g_authorParam.tvSystem = tvSystem_;
    g_authorParam.aspect = aspect_;
    g_authorParam.letterBox = letterBox_;
    c_.author.AuthorDVD(&g_authorParam);
}

void CDvdStages::OnDemuxEvent(platform::WPARAM wParam, platform::LPARAM lParam) {
    if (wParam != 0) {
        float percent = engines::DemuxPercent(g_demuxParam);
        job_.SetStatus(Printf("Demultiplexing  %.2f%%", static_cast<double>(percent)));
        job_.SetBar(static_cast<int>(percent));
        return;
    }
    if (lParam != 0) {
        job_.Log(std::string(g_demuxParam.errorText,
                             strnlen(g_demuxParam.errorText, sizeof g_demuxParam.errorText)));
        job_.SetState(19, false);
        return;
    }
    job_.SetState(18, false);
    StartMuxThread();
    job_.SetState(14, false);
}

void CDvdStages::OnMuxDone(platform::WPARAM wParam) {
    if (wParam == 1) {
        job_.SetState(16, false);
        return;
    }
    job_.SetState(15, false);
    if (fileIndex_ < static_cast<int>(listPaths_.size()) - 1) {
        ++fileIndex_;
        StartDemux();
        job_.SetState(17, false);
    } else {
        StartAuthoring();
        job_.SetState(11, false);
    }
}

bool CDvdStages::OnAuthorEvent(platform::WPARAM wParam, platform::LPARAM lParam) {
    switch (wParam) {
    case engines::kAuthorBuildingVobs:
        job_.SetStatus(Printf("Building VOB files... %ld%%", static_cast<long>(lParam)));
        job_.SetBar(static_cast<int>(lParam));
        return false;
    case engines::kAuthorCreatingImage:
        job_.SetStatus(Printf("Creating DVD image...  %ld%%", static_cast<long>(lParam)));
        job_.SetBar(static_cast<int>(lParam));
        return false;
    case engines::kAuthorMayClose:
        job_.MarkBurned();
        return false;
    case engines::kAuthorSucceeded:
        job_.SetState(12, false);
        job_.SetImageReady();
        return true;
    case engines::kAuthorFailed:
        job_.SetState(13, false);
        return false;
    default:
        return false;
    }
}

void CDvdStages::OnMuxTimer() {
    MuxThreadParam& p = g_muxThreadParam;
    int index = p.fileIndex;
    int segment = p.segment;
    std::int64_t current = GetFileSize64(SegmentPath(prefix_, index, segment));
    if (FileExists(SegmentPath(prefix_, index, segment + 1))) {
        p.segment = segment + 1;
        p.doneBytes = p.doneBytes + static_cast<double>(current);
        current = GetFileSize64(SegmentPath(prefix_, index, segment + 1));
    }
    std::uint32_t total = p.totalInputBytes;
    double ratio = total ? (static_cast<double>(current) + p.doneBytes) / total : 0.0;
    if (ratio > 1.0) ratio = 1.0;
    double percent = ratio * 100;
    job_.SetBar(static_cast<int>(percent));
    job_.SetStatus(Printf("Multiplexing %.2f%% ", percent));
}

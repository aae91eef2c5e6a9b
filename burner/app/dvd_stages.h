// The DVD job's media stages: each file of the list demultiplexed, multiplexed again into DVD
// segments on a worker thread, then all segments authored into one VIDEO_TS folder. The stages
// talk to the Start Burning dialog's window by messages; the handlers here run on its thread.
#pragma once

#include "burner/app/burn_job.h"
#include "engines/dvdauthor/author_dvd.h"
#include "engines/mjpgtools/mplex.h"
#include "engines/mpgtx/mpgtx.h"
#include "platform/window_message.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

constexpr unsigned WM_MUX_DONE = 1825; // posted by the worker: wParam 0 success, 1 failure

inline constexpr char kAbortDemuxQuestion[] =
    "It is demultiplexing the video and audio stream.\nWould you really like to abort the process?";

// Read by the dialog's multiplex timer while the worker writes it; only shown, never trusted.
struct MuxThreadParam {
    platform::HWND hwnd = nullptr;
    std::atomic<std::int32_t> fileIndex{0};
    std::atomic<std::uint32_t> totalInputBytes{0};
    std::atomic<std::int32_t> segment{1};
    std::atomic<double> doneBytes{0};
};

// The records the components keep using while they run. They outlive any one dialog, because a
// demultiplexer or an authoring run may still report after its dialog has gone.
alignas(8) extern engines::_mpgtx_demuxer_param_ g_demuxParam;
extern engines::AuthorDvdParam g_authorParam;
extern MuxThreadParam g_muxThreadParam;

// The names the stages give their files in the work folder (prefix ends with '/').
std::string DemuxBase(const std::string& prefix, int fileIndex);      // prefix + NNN
std::string SegmentPattern(const std::string& prefix, int fileIndex); // prefix + NNN_%d.mpg
std::string SegmentPath(const std::string& prefix, int fileIndex, int segment);
// Every existing segment of files 0..fileCount-1 in order; for each file from _1 up to the
// first one missing.
std::vector<std::string> CollectSegments(const std::string& prefix, int fileCount);

class CDvdStages {
  public:
    struct Components {
        engines::Mpgtx& mpgtx;
        engines::Multiplexer& multiplexer;
        engines::DvdAuthor& author;
    };
    CDvdStages(CBurnJob& job, Components components);
    // Waits for a multiplexing run; it cannot be interrupted and ends by itself.
    ~CDvdStages();
    CDvdStages(const CDvdStages&) = delete;
    CDvdStages& operator=(const CDvdStages&) = delete;

    // What the dialog fixed when Start was pressed.
    void SetJob(platform::HWND window, std::vector<std::string> listPaths, std::string workPrefix,
                std::string dvdFolder, int tvSystem, int aspect, int letterBox);

    int FileIndex() const { return fileIndex_; }
    void SetFileIndex(int index) { fileIndex_ = index; }

    // Demultiplexes the list row at the file index; false when there is no such row.
    bool StartDemux();
    void RequestDemuxAbort();
    // Starts the worker for the file index.
    void StartMuxThread();
    // The worker's body.
    static int MuxThreadProc(MuxThreadParam* param, engines::Multiplexer* multiplexer,
                             std::string prefix);
    void StartAuthoring();

    // Message handlers. OnAuthorEvent returns true when authoring succeeded and the burn of the
    // DVD folder is to start (the dialog starts it and enters state 4).
    void OnDemuxEvent(platform::WPARAM wParam, platform::LPARAM lParam);
    void OnMuxDone(platform::WPARAM wParam);
    bool OnAuthorEvent(platform::WPARAM wParam, platform::LPARAM lParam);
    void OnMuxTimer();

  private:
    CBurnJob& job_;
    Components c_;
    platform::HWND window_ = nullptr;
    std::vector<std::string> listPaths_;
    std::string prefix_;
    std::string dvdFolder_;
    int tvSystem_ = 0, aspect_ = 0, letterBox_ = 0;
    int fileIndex_ = 0;
    std::thread worker_;
};

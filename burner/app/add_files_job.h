// Adding MPEG files to the list: every file is first checked against the disc type, and only
// files that pass become rows. VCD and SVCD hand each file to the CD engine's video scanner, one
// at a time; DVD hands the chosen files to the MPEG checker one after another, each only after
// the previous one has reported by message 2025. The scanning and loading windows and the
// "Invalid MPEG file" dialog only show what this reports.
#pragma once

#include "burner/app/invalid_file_view.h"
#include "burner/app/mpeg_list.h"
#include "burner/writers/cd_scan_project.h"
#include "engines/cd/cd_engine.h"
#include "engines/mpgtx/mpgtx.h"
#include "platform/message_boxes.h"
#include "platform/window_message.h"

#include <deque>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

inline constexpr char kMpegFileFilter[] = "MPEG files(*.mpeg,*.mpg)|*.mpeg;*.mpg;||";
inline constexpr char kAddFilesTitleCd[] = "Add MPEG files";
inline constexpr char kAddFilesTitleDvd[] = "Add MPEG-2 files";
inline constexpr int kFileDialogBuffer = 1024;

// The scanning window (dialog 144) and the loading window (dialog 153).
inline constexpr char kScanningText[] = "Scanning Mpeg File...";
inline constexpr char kScanningWaitText[] =
    "It will take a few minutes for large file, Please wait....";
inline constexpr char kLoadingText[] = "Loading mpeg files";

// The CD engine's scan events reach the main window as these, so that the list is only ever
// touched on the window's thread.
inline constexpr unsigned kMsgScanProgress = 2040; // wParam: whole percent
inline constexpr unsigned kMsgScanDone = 2041;

// Reasons of our own, for files the engines' records cannot even name.
inline constexpr char kPathTooLongReason[] = "The file's path is too long to be checked.";

// The file-open dialog as the Add command runs it.
struct FileOpenRequest {
    std::string title;
    std::string filter = kMpegFileFilter;
    int bufferSize = kFileDialogBuffer;
    bool multiple = false;  // DVD only
    bool mustExist = false; // DVD: each chosen file must exist
};

struct CheckWindowsView {
    bool scanVisible = false;
    int scanPercent = 0; // progress bar 1013, 0 to 100
    bool loadVisible = false;
};

// Top-left corner that centres a child window's client area over the main window's client
// area (the child's size is not changed).
struct WindowOrigin {
    int x;
    int y;
};
WindowOrigin CenterOver(int mainLeft, int mainTop, int mainClientWidth, int mainClientHeight,
                        int childClientWidth, int childClientHeight);

// The main window's services the add flow uses; the widgets implement them.
class CAddFilesHost {
  public:
    virtual ~CAddFilesHost() = default;
    // The chosen paths in the dialog's order; empty when the user cancelled.
    virtual std::vector<std::string> ChooseFiles(const FileOpenRequest& request) = 0;
    // Runs the "Invalid MPEG file" dialog modally.
    virtual void ShowInvalidFile(const InvalidFileView& view) = 0;
    // Something the widgets show has changed (rows, totals, the check windows).
    virtual void ViewChanged() {}
};

// The reason a CD engine that can tell gives for its last refused scan; empty for one that
// cannot.
template <class Engine> std::string ScanRefusalReasonOf(Engine& engine) {
    if constexpr (requires { engine.ScanRefusalReason(); }) {
        const auto& reason = engine.ScanRefusalReason();
        if constexpr (std::is_convertible_v<decltype(reason), const char*>) {
            const char* text = reason;
            return text ? std::string(text) : std::string();
        } else {
            return std::string(reason);
        }
    } else {
        return {};
    }
}

// The checker's record, one for the process: a check still running when the main window goes
// writes into it, never into freed memory.
extern engines::_mpgtx_check_param_ g_checkParam;

class CAddFilesJob : public CdScanHost {
  public:
    struct Services {
        int discMode;
        CMpegList& list;
        CAddFilesHost& host;
        platform::MessageBoxes& boxes; // the invalid-file dialog's beep
        CdScanProject* scan;           // VCD and SVCD
        engines::CdEngine* cdEngine;   // VCD and SVCD: asked for the refusal reason
        engines::Mpgtx* mpgtx;         // DVD
    };
    // window: the main window, which receives 2025 and the scan events and hands them to
    // OnWindowMessage on its own thread.
    CAddFilesJob(Services services, platform::HWND window);
    // The scanning project reports to this job, so it is made afterwards and handed in here.
    void AttachScanProject(CdScanProject* scan) { services_.scan = scan; }

    // The Add command: the file dialog, then the checks of the chosen files.
    void OnAddFiles();
    // Dropped files go through the same checks; VCD and SVCD scan them one after another.
    void AddPaths(const std::vector<std::string>& paths);

    // On the main window's thread; true for the messages of the add flow.
    bool OnWindowMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam);
    // Message 2025: wParam is the checker's invalid flag.
    void OnCheckDone(platform::WPARAM wParam, platform::LPARAM lParam);

    // The scan events, on the engine's thread.
    void OnScanProgress(float percent) override;
    void OnScanDone(const char* path, bool invalid, int width, int height, int bitRate,
                    double frameRate) override;

    // A scan or a check is running or files wait for one.
    bool Busy() const;
    const CheckWindowsView& View() const { return view_; }
    const std::vector<std::string>& PendingFiles() const { return m_pendingFiles; }
    int PendingIndex() const { return m_nPending; }
    const engines::_mpgtx_check_param_& CheckRecord() const { return g_checkParam; }

  private:
    struct ScanResult {
        bool invalid;
        int width;
        int height;
        int bitRate;
        double frameRate;
        std::string reason;
    };
    void QueueScans(const std::vector<std::string>& paths);
    void StartNextScan();
    void HandleScanProgress(int percent);
    void HandleScanDone();
    void QueueChecks(const std::vector<std::string>& paths);
    void CheckPending();
    void Reject(const std::string& path, const std::string& reason);
    void Changed() { services_.host.ViewChanged(); }

    Services services_;
    platform::HWND window_;
    CheckWindowsView view_;

    // VCD and SVCD
    std::deque<std::string> scanQueue_;
    std::string scanning_; // the file being scanned
    bool scanRunning_ = false;
    std::mutex resultsLock_; // the engine's thread hands results over here
    std::deque<ScanResult> results_;

    // DVD
    std::vector<std::string> m_pendingFiles;
    int m_nPending = 0;
    bool checkRunning_ = false; // the checker holds the record
    bool checksActive_ = false; // the pending files are being worked through
};

// The main window of the burner without its widgets: the MPEG list with its totals and capacity
// bar, the add flow, Remove, Remove All, Play, Move Up and Down, the context menu, Burn, About,
// Home and Help. The dialog forwards every command here, renders View(), List() and Bar(), and
// hands the window messages it receives for this window (2025 and the scan events) to
// OnMessage; this object is the window handle the checker and the scan events report to. Bind
// it to the window's message loop (AttachLoop) before OnInitDialog: the engines report from
// their own threads, and only the loop brings their reports to the window's thread.
#pragma once

#include "burner/app/about_box.h"
#include "burner/app/add_files_job.h"
#include "burner/app/mpeg_list.h"
#include "burner/app/size_range_scale.h"
#include "burner/writers/cd_scan_project.h"
#include "burner/writers/cd_writer.h"
#include "engines/cd/cd_engine.h"
#include "engines/mpgtx/mpgtx.h"
#include "platform/message_boxes.h"
#include "platform/shell_open.h"
#include "platform/window_message.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

inline constexpr char kNoFilesMessage[] = "Plase add a mpeg file at least!";
inline constexpr char kRemoveAllQuestion[] = "Do you want to remove all files from list?";
inline constexpr char kCdTooLargeQuestion[] =
    "The total size is larger than 700MB.\nIt is possible the target file size is too large to "
    "fit on one CD disc.\n\nDo you want to continue?";
inline constexpr char kDvdTooLargeQuestion[] =
    "The total size is larger than 4300MB.\nIt is possible the target file size is too large to "
    "fit on one DVD disc.\n\nDo you want to continue?";
inline constexpr int kCdSizeLimitMb = 700;
inline constexpr int kDvdSizeLimitMb = 4300;

// Texts 1017 and 1018 of the disc mode; the hints of SVCD and DVD end with a blank.
const char* DiscTypeText(int discMode);
const char* DiscHintText(int discMode);

// The main dialog's modal runs and its own window, as the widgets provide them.
class CBurnerDlgHost : public CAddFilesHost {
  public:
    // The Start Burning dialog, modal; returns its m_bBurned (a burn was started).
    virtual bool RunStartBurning() = 0;
    virtual void RunAbout(const AboutView& view) = 0;
    // Ends the main dialog, and with it the program.
    virtual void CloseDialog() = 0;
    virtual void FocusList() {}
};

// What the dialog's own controls show besides the list and the bar.
struct BurnerDlgView {
    std::string caption;      // m_strTitle
    std::string discTypeText; // 1017
    std::string hintText;     // 1018
    std::string totalsText;   // 1019
    int barValue = 0;         // the capacity bar, whole megabytes
    CheckWindowsView checkWindows;
    bool checking = false; // a scan or check runs; Burn waits for it
};

enum class BurnDecision {
    NoFiles,  // "Plase add a mpeg file at least!" was shown
    Busy,     // a file is still being checked; nothing happened
    Declined, // the size question was answered No
    Returned, // the Start Burning dialog closed without a burn
    Burned,   // a burn was started: the main dialog has been closed
};

class CBurnerDlgLogic : public platform::MessageTarget {
  public:
    struct Services {
        int discMode;
        std::string title; // m_strTitle of start-up
        CBurnerDlgHost& host;
        platform::MessageBoxes& boxes;
        platform::Shell& shell;
        engines::CdEngine* cdEngine; // VCD and SVCD
        engines::Mpgtx* mpgtx;       // DVD
        std::string appFolder;       // the program's folder with its trailing '/'
        // Stands in for "wmplayer.exe"; empty when there is no player.
        std::function<std::string()> findPlayer = platform::FindMediaPlayer;
    };
    explicit CBurnerDlgLogic(Services services);
    // Takes the scan events back from the CD engine, which would otherwise call into this
    // object after it has gone.
    ~CBurnerDlgLogic() override;

    // The dialog's start: list and bar for the mode; in VCD and SVCD the CD engine and its
    // scanning project.
    void OnInitDialog();

    void OnAddFiles();
    void OnDropFiles(const std::vector<std::string>& paths);
    void OnRemove();
    void OnDeleteKey() { OnRemove(); }
    void OnRemoveAll();
    void OnPlay();
    void OnMoveUp();
    void OnMoveDown();
    BurnDecision OnBurn();
    void OnAbout();
    void OnHome();
    void OnHelp();

    // The list control's selection as the user moved it (-1: none), e.g. by the keyboard.
    void OnListSelectionChanged(int row);
    // A left click; row is the row under the mouse, -1 for empty space.
    void OnListClick(int row);
    // A right click: as the left click, then the menu's items to grey.
    MpegListMenuState OnListContextMenu(int row);

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam,
                                platform::LPARAM lParam) override;

    BurnerDlgView View() const;
    const CMpegList& List() const { return list_; }
    // The capacity bar's scale with the current total as its value.
    SizeRangeScale Bar() const;
    std::vector<std::string> GetListPaths() const { return list_.GetListPaths(); }
    CAddFilesJob& AddFiles() { return *addFiles_; }

  private:
    // The scanning project shows engine errors through a CD writer, which needs a host; the
    // main window has no burn to report to.
    class NoBurnHost : public CdWriterHost {
        void SetStateValue(int) override {}
        void MarkBurned() override {}
        void LogLine(const std::string&) override {}
        void OnCdProcess(float) override {}
        void OnCdFinalize() override {}
        void OnCdBurnDone(const char*) override {}
        void OnCdEraseDone() override {}
    };
    bool Cd() const;

    Services services_;
    CMpegList list_;
    SizeRangeScale bar_;
    NoBurnHost noBurnHost_;
    std::unique_ptr<CdWriter> cdErrors_;
    std::unique_ptr<CdScanProject> scan_;
    std::unique_ptr<CAddFilesJob> addFiles_;
};

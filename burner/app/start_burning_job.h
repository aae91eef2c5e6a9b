// The Start Burning dialog without its widgets: it owns the burn job, the writer list, the
// temporary-drive list and the job's values, receives the window messages and timers of the
// dialog's window, and runs the whole VCD, SVCD or DVD job through the engines it is given.
// The widget renders View() after every call and forwards its input here.
#pragma once

#include "burner/app/burn_job.h"
#include "burner/app/burn_settings.h"
#include "burner/app/dvd_stages.h"
#include "burner/app/job_folders.h"
#include "burner/writers/cd_writer.h"
#include "burner/writers/dvd_writer.h"
#include "burner/writers/writer_combo.h"
#include "platform/message_boxes.h"
#include "platform/window_message.h"
#include "vcdbuild/vcd_build.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {
struct Drive;
class PrivateTempFolder;
} // namespace platform

constexpr unsigned WM_BUILD_STATE = 1804; // the build thread: wParam 1 started, 0 ended
inline constexpr char kBuildMessageName[] = "msg_QuvoDiscBuilder";

// The line the build thread sends at level 1 after the builder returned.
const char* BuildResultText(long result, bool cancelled);

struct StartBurningServices {
    const CBurnClock& clock;
    platform::MessageBoxes& messages;
    CJobFolderHost& folderHost;
    BurnSettings& settings;
    int discMode;                       // DISC_VCD, DISC_SVCD or DISC_DVD
    std::vector<std::string> listPaths; // the main window's MPEG list, in row order
    // VCD and SVCD
    engines::CdEngine* cdEngine = nullptr;
    // DVD
    engines::DvdEngine* dvdEngine = nullptr;
    engines::Mpgtx* mpgtx = nullptr;
    engines::Multiplexer* multiplexer = nullptr;
    engines::DvdAuthor* author = nullptr;
};

class CStartBurningJob : public platform::MessageTarget, private CdWriterHost {
  public:
    explicit CStartBurningJob(StartBurningServices services);
    // Ends a build still running (cancel, then wait for its end), waits for a multiplexing run,
    // and deletes the work folder named in the settings.
    ~CStartBurningJob() override;
    CStartBurningJob(const CStartBurningJob&) = delete;
    CStartBurningJob& operator=(const CStartBurningJob&) = delete;

    // Temporary drives, writers, label and output folder; the window must already be bound to
    // its message loop, since the writers' events come back through it.
    void OnInitDialog(const std::vector<platform::Drive>& drives);

    // The Start / Stop / Burn button.
    void OnStart();
    // Option clicks: NTSC 0 / PAL 1, 4:3 0 / 16:9 1, the letter-box check.
    void OnTvType(int tvType);
    void OnAspect(int aspect);
    void OnLetterBox(bool on);
    // The folder the user chose with Select; nothing for an empty one.
    void OnOutputFolderChosen(const std::string& folder);

    // The controls' values the dialog edits.
    std::string label;
    std::string outputFolder;
    int tvType = -1, aspect = -1;
    bool letterBox = false;
    WriterCombo writers;
    TempDriveList tempDrives;

    const BurnJobView& View() const { return job_.View(); }
    CBurnJob& Job() { return job_; }
    const JobFolderValues& Values() const { return values_; }
    bool Burned() const { return job_.Burned(); }
    bool BuildRunning() const;
    // True when Cancel/Finish may close the dialog now (no build or multiplexing running).
    bool CanClose() const;

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam,
                                platform::LPARAM lParam) override;

    // The build; public for the tests of its steps. 0 when the thread started, -1 otherwise.
    int MakeXmlAndStartBuild();
    const std::string& XmlPath() const { return xmlPath_; }
    unsigned BuildMessage() const { return buildMessage_; }

  private:
    struct BuildRun;
    class BuildRelay;

    // CdWriterHost: the events arrive on the engine's thread and are posted to this window.
    void SetStateValue(int state) override { job_.SetStateValue(state); }
    void MarkBurned() override { job_.MarkBurned(); }
    void LogLine(const std::string& text) override { job_.Log(text); }
    void OnCdProcess(float percent) override;
    void OnCdFinalize() override;
    void OnCdBurnDone(const char* errorText) override;
    void OnCdEraseDone() override;

    void OnStartCd();
    void OnStartDvd();
    void StartDvdBurn();
    void StartDemuxJob(bool beginJob);
    bool SelectedDvdWriter(const DvdWriterEntry*& writer) const;
    void TakeValues();
    void OnBuildState(platform::WPARAM wParam, platform::LPARAM lParam);
    void OnBuildLog(platform::WPARAM wParam, platform::LPARAM lParam);
    void OnDvdErase(platform::WPARAM wParam);
    void OnDvdBurn(platform::WPARAM wParam, platform::LPARAM lParam);
    void OnTimer(platform::UINT_PTR id);
    void SyncTimers();
    void JoinBuild();

    StartBurningServices s_;
    bool dvd_;
    CBurnJob job_;
    JobFolderValues values_;
    std::unique_ptr<CdWriter> cdWriter_;
    std::unique_ptr<DvdWriter> dvdWriter_;
    std::unique_ptr<CDvdStages> stages_;
    std::unique_ptr<platform::PrivateTempFolder> xmlFolder_;
    std::string xmlPath_;
    unsigned buildMessage_ = 0;
    std::shared_ptr<BuildRun> build_;
    std::thread buildThread_;
    bool timer133_ = false, timer134_ = false, timer135_ = false;

    std::mutex eventLock_;
    std::deque<std::string> burnDoneTexts_; // texts of the engine's burn-done events
};

// The Start Burning dialog's job without its widgets: the job state, what each state does to the
// controls, the prompt, the status, the bar and the time-stamped log. The dialog mirrors
// BurnJobView into its widgets after every call; tests read it directly.
#pragma once

#include "burner/app/job_folders.h"
#include "burner/writers/cd_writer.h"
#include "burner/writers/writer_combo.h"
#include "platform/message_boxes.h"

#include <atomic>
#include <cstdint>
#include <string>

inline constexpr char kPromptStart[] =
    "Click \"Start\" to burn a copy; Click \"Cancel\" to return.";
inline constexpr char kPromptBurn[] = "Click \"Burn\" to burn a copy; Click \"Cancel\" to return.";
inline constexpr char kPromptFinish[] = "Click \"Finish\" to close the program.";
inline constexpr char kPromptBurnAnother[] =
    "Click \"Burn\" to burn another copy; Click \"Finish\" to close the program.";

// Timers of the dialog.
inline constexpr int kElapsedTimer = 133;   // 1000 ms while a job runs
inline constexpr int kMultiplexTimer = 134; // 200 ms while a file is multiplexed
inline constexpr int kEraseTimer = 135;     // 1500 ms while a disc is erased

// Time of day for the log's stamps and the millisecond tick for the elapsed time.
class CBurnClock {
  public:
    struct TimeOfDay {
        int hour = 0;
        int minute = 0;
        int second = 0;
    };
    virtual ~CBurnClock() = default;
    virtual TimeOfDay Now() const; // local time
    virtual std::uint32_t TickMs() const;
};

// What the dialog's controls show.
struct BurnJobView {
    std::string startCaption = "Start"; // button 1027
    bool startEnabled = true;
    std::string cancelCaption = "Cancel"; // button 2
    bool cancelEnabled = true;

    // Inputs. The DVD-only ones stay disabled in VCD and SVCD.
    bool outputFolderEnabled = true; // edit 1046 and Select 1047
    bool tempDriveEnabled = false;   // list 1035
    bool dvdOptionsEnabled = false;  // radios and check box 1051-1055, text 1059
    bool writerListEnabled = true;   // list 1020
    bool labelEnabled = true;        // edit 1023

    std::string prompt = kPromptStart; // text 1042
    bool promptVisible = true;
    std::string status = "Burner Progress"; // text 1032
    bool statusVisible = false;
    std::string elapsed; // text 1058
    bool elapsedVisible = false;
    int bar = 0; // progress 1028, 0 to 100

    std::string log;    // edit 1056, lines end in "\r\n"
    int logTopLine = 0; // first visible line after the last scroll

    bool elapsedTimer = false;
    bool multiplexTimer = false;
    bool eraseTimer = false;
};

inline constexpr char kAbortBurnQuestion[] =
    "Would you really like to abort the burn\nprocess?\n\nInfo:Interrupting burning may make "
    "your\ndisc unreadable!";
inline constexpr char kAbortBuildQuestion[] =
    "It is creating the cue image.\nWould you really like to abort the process?";
inline constexpr char kNoWriterMessage[] = "Can't find writer with burning capabilities.";
inline constexpr char kNoDiscMessage[] =
    "No disc in the writer.\nPlease insert a blank disc into the writer.";
inline constexpr char kCdRNotBlankMessage[] = "Please insert a blank CD disc into the writer.";
inline constexpr char kCdRwNotEmptyQuestion[] =
    "The disc in the drive is not empty.\nWriting to this disc will erase any existing data on "
    "it.\nDo you want to proceed?";
inline constexpr char kNotWritableMessage[] =
    "Please insert a blank writable disc into the writer.";

// The pieces the VCD and SVCD Start works with; they belong to the dialog.
struct CdStartPieces {
    CdWriter& writer;
    const WriterCombo& writers;
    platform::MessageBoxes& messages;
    JobFolderValues& folders; // label, output folder and list in; image paths out
    CJobFolderHost& folderHost;
};

// Where the VCD and SVCD Start left the job.
enum class CdStartResult {
    Stopped,         // refused or failed; the boxes and the log say why
    AbortRequested,  // a burn ran and the engine was asked to abort it
    CancelRequested, // an image build ran and its cancel flag is now set
    Erasing,         // the non-empty CD-RW is being erased; the erase-done event goes on
    Burning,         // the ready image is being burned
    BuildImage,      // the disc is fit: the image is to be built next (state 8 once started)
};

class CBurnJob {
  public:
    CBurnJob(const CBurnClock& clock, bool dvd);

    // Sets the state; with beginJob first starts the job's look (BeginJobUi), then applies the
    // state's effects.
    void SetState(int state, bool beginJob);
    int State() const { return state_; }
    // m_nState alone, without any effect.
    void SetStateValue(int state) { state_ = state; }

    void Log(const std::string& text);
    void ClearLog();
    void SetStatus(const std::string& text) { view_.status = text; }
    void SetBar(int percent) { view_.bar = percent; }

    void BeginJobUi();
    void EndJobUi();
    void EnableInputs(bool enable);

    // A burn was accepted; the dialog now closes the program with Finish.
    void MarkBurned();
    bool Burned() const { return burned_; }
    void SetImageReady() { imageReady_ = true; }
    bool ImageReady() const { return imageReady_; }

    // Timer 135: the bar steps by one per tick while the disc is erased.
    void OnEraseTick() { SetBar(eraseTicks_++); }
    // Seconds since the running job began, for timer 133's "Elapsed Time : " text.
    double ElapsedSeconds() const;

    // The Start / Stop / Burn button in VCD and SVCD, up to the build of the image.
    CdStartResult OnStartCd(CdStartPieces& pieces);
    // m_nCancelBuild: written here, polled by the image builder on its thread.
    const std::atomic<int>& CancelBuildFlag() const { return cancelBuild_; }
    void ResetCancelBuild() { cancelBuild_ = 0; }

    // The CD engine's burn events, once the dialog has brought them to its own thread.
    void OnCdProcess(float percent);
    void OnCdFinalize() { SetState(7, false); }
    void OnCdBurnDone(const char* errorText);

    // The erase finished: the ready image is burned at once. Returns true when the image is still
    // to be built instead; then the caller starts the build and enters state 8, or 10 when it
    // cannot start.
    bool OnCdEraseDone(CdWriter& writer, const std::string& cuePath, const std::string& label);
    // Message 1804 from the build thread: started (nonzero started) or ended with the builder's
    // result; a good image is burned at once.
    void OnBuildState(bool started, long result, CdWriter& writer, const std::string& cuePath,
                      const std::string& label);

    const BurnJobView& View() const { return view_; }
    BurnJobView& View() { return view_; }

  private:
    void EndJob(const char* caption, bool startEnabled);
    const char* EndPrompt() const;
    CdStartResult RefuseDisc(CdStartPieces& pieces, const char* message);
    void BurnReadyImage(CdWriter& writer, const std::string& cuePath, const std::string& label);

    const CBurnClock& clock_;
    bool dvd_;
    BurnJobView view_;
    int state_ = 0;
    bool burned_ = false;
    bool imageReady_ = false;
    int eraseTicks_ = 0;
    std::uint32_t startTick_ = 0;
    std::atomic<int> cancelBuild_{0};
};

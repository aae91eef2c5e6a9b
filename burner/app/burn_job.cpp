#include "burner/app/burn_job.h"

#include "engines/cd/cd_engine.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <strings.h>

CBurnClock::TimeOfDay CBurnClock::Now() const {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec};
}

std::uint32_t CBurnClock::TickMs() const {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

CBurnJob::CBurnJob(const CBurnClock& clock, bool dvd) : clock_(clock), dvd_(dvd) {
    view_.tempDriveEnabled = dvd;
    view_.dvdOptionsEnabled = dvd;
}

void CBurnJob::Log(const std::string& text) {
    CBurnClock::TimeOfDay now = clock_.Now();
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d  ", now.hour, now.minute, now.second);
    view_.log += stamp;
    view_.log += text;
    view_.log += "\r\n";
    // Scroll down by the line count so that the last line stays in view.
    int lines = 0;
    for (char c : view_.log)
        lines += c == '\n';
    view_.logTopLine = lines > 0 ? lines - 1 : 0;
}

void CBurnJob::ClearLog() {
    view_.log.clear();
    view_.logTopLine = 0;
}

void CBurnJob::EnableInputs(bool enable) {
    // Once the image exists its folder is fixed for this dialog.
    if (!imageReady_) {
        view_.outputFolderEnabled = enable;
        if (dvd_) {
            view_.tempDriveEnabled = enable;
            view_.dvdOptionsEnabled = enable;
        }
    }
    view_.writerListEnabled = enable;
    view_.labelEnabled = enable;
}

void CBurnJob::BeginJobUi() {
    startTick_ = clock_.TickMs();
    view_.elapsedTimer = true;
    EnableInputs(false);
    view_.promptVisible = false;
    view_.statusVisible = true;
    view_.elapsedVisible = true;
}

const char* CBurnJob::EndPrompt() const {
    if (imageReady_) return burned_ ? kPromptBurnAnother : kPromptBurn;
    return burned_ ? kPromptFinish : kPromptStart;
}

void CBurnJob::EndJobUi() {
    view_.elapsedTimer = false;
    EnableInputs(true);
    view_.prompt = EndPrompt();
    view_.promptVisible = true;
    view_.statusVisible = false;
    view_.elapsedVisible = false;
}

void CBurnJob::MarkBurned() {
    burned_ = true;
    view_.cancelCaption = "Finish";
}

double CBurnJob::ElapsedSeconds() const {
    return static_cast<std::uint32_t>(clock_.TickMs() - startTick_) * 0.001;
}

void CBurnJob::EndJob(const char* caption, bool startEnabled) {
    view_.bar = 0;
    view_.startCaption = caption;
    view_.startEnabled = startEnabled;
    view_.cancelEnabled = true;
    EndJobUi();
    state_ = 0;
}

void CBurnJob::SetState(int state, bool beginJob) {
    state_ = state;
    if (beginJob) BeginJobUi();
    switch (state) {
    case 1:
        eraseTicks_ = 0;
        view_.eraseTimer = true;
        Log("Erasing the disc...");
        view_.startEnabled = false;
        view_.cancelEnabled = false;
        break;
    case 2:
        view_.eraseTimer = false;
        Log("Erased the disc successfully.");
        view_.bar = 0;
        state_ = 0; // the job goes on
        break;
    case 3:
        view_.eraseTimer = false;
        Log("Failed to erase the disc.");
        Log("Failed!");
        SetStatus("Failed to erase the disc.");
        EndJob("Start", true);
        break;
    case 4:
        Log("Burning...");
        view_.bar = 0;
        view_.startCaption = "Stop";
        view_.startEnabled = true;
        view_.cancelEnabled = false;
        break;
    case 5:
        EndJob("Burn", true);
        break;
    case 6:
        Log("Failed!");
        EndJob("Burn", true);
        break;
    case 7:
        Log("Finalize the driver...");
        view_.bar = 100;
        SetStatus("Finalize the driver...");
        view_.startEnabled = false;
        break;
    case 8:
        Log("Creating the cue image...");
        view_.startCaption = "Stop";
        view_.startEnabled = true;
        view_.cancelEnabled = false;
        break;
    case 9:
        Log("Created the cue image successfully.");
        view_.startCaption = "Burn";
        view_.bar = 0;
        break;
    case 10:
        Log("Failed to create the cue image.");
        Log("Failed!");
        SetStatus("Fail to create image.");
        EndJob("Start", true);
        break;
    case 11:
        SetStatus("Prepare to create DVD Image.");
        Log("Creating the DVD image...");
        view_.startEnabled = false;
        view_.cancelEnabled = false;
        break;
    case 12:
        Log("Created the DVD image successfully");
        SetStatus("Create DVD image done");
        view_.bar = 100;
        break;
    case 13:
        Log("Failed to create DVD image");
        Log("Failed!");
        SetStatus("Failed to create DVD image");
        EndJob("Start", false);
        break;
    case 14:
        view_.multiplexTimer = true;
        view_.startEnabled = false;
        view_.cancelEnabled = false;
        SetStatus("Mutliplexing ...");
        break;
    case 15:
        view_.multiplexTimer = false;
        break;
    case 16:
        Log("Failed to multiplex the video and audio stream");
        Log("Failed!");
        SetStatus("Failed to Multiplex");
        view_.multiplexTimer = false;
        EndJob("Start", true);
        break;
    case 17:
        view_.startCaption = "Stop";
        view_.startEnabled = true;
        view_.cancelEnabled = false;
        break;
    case 18:
        view_.bar = 0;
        break;
    case 19:
        Log("Failed!");
        SetStatus("Failed to demultiplex mpeg file.");
        EndJob("Start", true);
        break;
    default:
        break;
    }
}

void CBurnJob::OnCdProcess(float percent) {
    if (state_ == 1) {
        SetStatus("Erasing the disc...");
    } else if (state_ == 4) {
        char text[64];
        std::snprintf(text, sizeof text, "Burning... %.2f%%", static_cast<double>(percent));
        SetStatus(text);
        SetBar(static_cast<int>(percent));
    }
}

void CBurnJob::OnCdBurnDone(const char* errorText) {
    if (errorText && *errorText) {
        Log(errorText);
        Log("Failed!");
        SetStatus(errorText);
    } else {
        Log("Burned the disc successfully.");
        Log("Done!");
        SetStatus("Burn the disc successfully.");
    }
    SetState(5, false);
}

void CBurnJob::BurnReadyImage(CdWriter& writer, const std::string& cuePath,
                              const std::string& label) {
    SetState(writer.BurnCdImage(cuePath, label) == 0 ? 4 : 6, false);
}

bool CBurnJob::OnCdEraseDone(CdWriter& writer, const std::string& cuePath,
                             const std::string& label) {
    SetState(2, false);
    if (!imageReady_) return true;
    BurnReadyImage(writer, cuePath, label);
    return false;
}

void CBurnJob::OnBuildState(bool started, long result, CdWriter& writer, const std::string& cuePath,
                            const std::string& label) {
    if (started) return;
    if (result != 0) {
        SetState(10, false);
        return;
    }
    imageReady_ = true;
    SetState(9, false);
    BurnReadyImage(writer, cuePath, label);
}

CdStartResult CBurnJob::RefuseDisc(CdStartPieces& p, const char* message) {
    p.messages.Show(message, kWriterBoxCaption, platform::MB_OK);
    Log(kCdNoBlankDiscLog);
    p.writer.EjectCd();
    Log("Failed!");
    return CdStartResult::Stopped;
}

CdStartResult CBurnJob::OnStartCd(CdStartPieces& p) {
    const unsigned okCancelInfo = platform::MB_OKCANCEL | platform::MB_ICONINFORMATION;
    if (state_ == 4) {
        if (p.messages.Show(kAbortBurnQuestion, kWriterBoxCaption, okCancelInfo) != platform::IDOK)
            return CdStartResult::Stopped;
        if (std::int32_t r = p.writer.AbortCd()) p.writer.ShowEngineError(r);
        return CdStartResult::AbortRequested;
    }
    if (state_ == 8) {
        if (p.messages.Show(kAbortBuildQuestion, kWriterBoxCaption, okCancelInfo) != platform::IDOK)
            return CdStartResult::Stopped;
        cancelBuild_ = 1;
        return CdStartResult::CancelRequested;
    }
    if (!imageReady_ && !PrepareCdJob(p.folders, p.folderHost)) return CdStartResult::Stopped;

    ClearLog();
    Log("Starting...");
    if (p.writers.GetCount() == 0) {
        p.messages.Show(kNoWriterMessage, kWriterBoxCaption, platform::MB_OK);
        Log("Failed to find writer with burning capabilities.");
        Log("Failed!");
        return CdStartResult::Stopped;
    }
    int row = p.writers.GetCurSel();
    const std::string& entry = p.writers.rows[row >= 0 ? row : 0];
    if (std::int32_t r = p.writer.SelectCdWriter(entry.empty() ? '\0' : entry[0])) {
        p.writer.ShowEngineError(r);
        return CdStartResult::Stopped;
    }

    engines::CdMediumInfo medium = engines::PresetCdMediumInfo();
    if (std::int32_t r = p.writer.GetCdMedium(medium)) {
        if (r == engines::kCdNoDisc) {
            p.messages.Show(kNoDiscMessage, kWriterBoxCaption, platform::MB_OK);
            Log(kCdNoBlankDiscLog);
            p.writer.EjectCd();
            Log("Failed!");
        } else {
            p.writer.ShowEngineError(r);
        }
        return CdStartResult::Stopped;
    }
    std::string type(medium.typeName, strnlen(medium.typeName, sizeof medium.typeName));
    bool empty = medium.status == 0;
    if (strcasecmp(type.c_str(), "CD-R") == 0) {
        if (!empty) return RefuseDisc(p, kCdRNotBlankMessage);
    } else if (strcasecmp(type.c_str(), "CD-RW") == 0) {
        if (!empty) {
            if (p.messages.Show(kCdRwNotEmptyQuestion, kWriterBoxCaption, platform::MB_YESNO) !=
                platform::IDYES) {
                Log("Aborted by user.");
                p.writer.EjectCd();
                Log("Failed.");
                return CdStartResult::Stopped;
            }
            if (p.writer.EraseCd() == 0) {
                SetState(1, true);
                return CdStartResult::Erasing;
            }
            Log("Failed to erase the disc.");
            p.writer.EjectCd();
            Log("Failed!");
            return CdStartResult::Stopped;
        }
    } else {
        return RefuseDisc(p, kNotWritableMessage);
    }

    if (!imageReady_) return CdStartResult::BuildImage;
    if (p.writer.BurnCdImage(p.folders.cuePath, p.folders.label) != 0) {
        Log("Failed to burn.");
        Log("Failed!");
        return CdStartResult::Stopped;
    }
    SetState(4, true);
    return CdStartResult::Burning;
}

#include "burner/app/burn_job.h"

#include "engines/cd/fake_cd_engine.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

class FixedClock : public CBurnClock {
  public:
    TimeOfDay Now() const override { return now; }
    std::uint32_t TickMs() const override { return tick; }
    TimeOfDay now{9, 5, 7};
    std::uint32_t tick = 1000;
};

std::vector<std::string> LogTexts(const std::string& log) {
    std::vector<std::string> texts;
    std::size_t pos = 0;
    while (pos < log.size()) {
        std::size_t end = log.find("\r\n", pos);
        if (end == std::string::npos) {
            texts.push_back("<unterminated>" + log.substr(pos));
            break;
        }
        std::string line = log.substr(pos, end - pos);
        texts.push_back(line.size() >= 10 ? line.substr(10) : "<short>" + line);
        pos = end + 2;
    }
    return texts;
}

struct StateCase {
    int state;
    const char* caption;        // nullptr: left as it was
    std::optional<bool> start;  // nullopt: left as it was
    std::optional<bool> cancel; // nullopt: left as it was
    const char* status;         // nullptr: left as it was
    int bar;                    // -1: left as it was
    std::vector<std::string> log;
    bool endsJob;
    int stateAfter;
};

const StateCase kStates[] = {
    {1, nullptr, false, false, nullptr, -1, {"Erasing the disc..."}, false, 1},
    {2, nullptr, {}, {}, nullptr, 0, {"Erased the disc successfully."}, false, 0},
    {3,
     "Start",
     true,
     true,
     "Failed to erase the disc.",
     0,
     {"Failed to erase the disc.", "Failed!"},
     true,
     0},
    {4, "Stop", true, false, nullptr, 0, {"Burning..."}, false, 4},
    {5, "Burn", true, true, nullptr, 0, {}, true, 0},
    {6, "Burn", true, true, nullptr, 0, {"Failed!"}, true, 0},
    {7, nullptr, false, {}, "Finalize the driver...", 100, {"Finalize the driver..."}, false, 7},
    {8, "Stop", true, false, nullptr, -1, {"Creating the cue image..."}, false, 8},
    {9, "Burn", {}, {}, nullptr, 0, {"Created the cue image successfully."}, false, 9},
    {10,
     "Start",
     true,
     true,
     "Fail to create image.",
     0,
     {"Failed to create the cue image.", "Failed!"},
     true,
     0},
    {11,
     nullptr,
     false,
     false,
     "Prepare to create DVD Image.",
     -1,
     {"Creating the DVD image..."},
     false,
     11},
    {12,
     nullptr,
     {},
     {},
     "Create DVD image done",
     100,
     {"Created the DVD image successfully"},
     false,
     12},
    {13,
     "Start",
     false,
     true,
     "Failed to create DVD image",
     0,
     {"Failed to create DVD image", "Failed!"},
     true,
     0},
    {14, nullptr, false, false, "Mutliplexing ...", -1, {}, false, 14},
    {15, nullptr, {}, {}, nullptr, -1, {}, false, 15},
    {16,
     "Start",
     true,
     true,
     "Failed to Multiplex",
     0,
     {"Failed to multiplex the video and audio stream", "Failed!"},
     true,
     0},
    {17, "Stop", true, false, nullptr, -1, {}, false, 17},
    {18, nullptr, {}, {}, nullptr, 0, {}, false, 18},
    {19, "Start", true, true, "Failed to demultiplex mpeg file.", 0, {"Failed!"}, true, 0},
};

// Every state's effects, entered during a running job whose controls are first set all one way
// and then all the other, so that "left alone" and "set" cannot be confused.
TEST(BurnJob, EachStateShowsItsEffects) {
    for (const StateCase& c : kStates) {
        for (bool primed : {false, true}) {
            SCOPED_TRACE("state " + std::to_string(c.state) + (primed ? " primed on" : " off"));
            FixedClock clock;
            CBurnJob job(clock, true);
            job.BeginJobUi();
            BurnJobView& v = job.View();
            v.startCaption = "before";
            v.startEnabled = primed;
            v.cancelEnabled = primed;
            v.status = "before";
            v.bar = 50;

            job.SetState(c.state, false);

            EXPECT_EQ(v.startCaption, c.caption ? c.caption : "before");
            EXPECT_EQ(v.startEnabled, c.start.value_or(primed));
            EXPECT_EQ(v.cancelEnabled, c.cancel.value_or(primed));
            EXPECT_EQ(v.status, c.status ? c.status : "before");
            EXPECT_EQ(v.bar, c.bar < 0 ? 50 : c.bar);
            EXPECT_EQ(LogTexts(v.log), c.log);
            EXPECT_EQ(job.State(), c.stateAfter);
            // The end of a job shows the prompt again and gives the inputs back.
            EXPECT_EQ(v.promptVisible, c.endsJob);
            EXPECT_EQ(v.statusVisible, !c.endsJob);
            EXPECT_EQ(v.elapsedVisible, !c.endsJob);
            EXPECT_EQ(v.elapsedTimer, !c.endsJob);
            EXPECT_EQ(v.writerListEnabled, c.endsJob);
            EXPECT_EQ(v.labelEnabled, c.endsJob);
            EXPECT_EQ(v.outputFolderEnabled, c.endsJob);
            EXPECT_EQ(v.tempDriveEnabled, c.endsJob);
            EXPECT_EQ(v.dvdOptionsEnabled, c.endsJob);
        }
    }
}

TEST(BurnJob, TimersFollowTheirStates) {
    FixedClock clock;
    CBurnJob job(clock, false);
    job.SetState(1, true);
    EXPECT_TRUE(job.View().eraseTimer);
    EXPECT_TRUE(job.View().elapsedTimer);
    job.SetBar(77);
    // The erase bar starts from 0 each time an erase begins.
    job.OnEraseTick();
    job.OnEraseTick();
    EXPECT_EQ(job.View().bar, 1);
    job.SetState(2, false);
    EXPECT_FALSE(job.View().eraseTimer);
    job.SetState(1, false);
    job.OnEraseTick();
    EXPECT_EQ(job.View().bar, 0);
    job.SetState(3, false);
    EXPECT_FALSE(job.View().eraseTimer);
    EXPECT_FALSE(job.View().elapsedTimer);

    job.SetState(14, true);
    EXPECT_TRUE(job.View().multiplexTimer);
    job.SetState(15, false);
    EXPECT_FALSE(job.View().multiplexTimer);
    job.SetState(14, false);
    job.SetState(16, false);
    EXPECT_FALSE(job.View().multiplexTimer);
}

TEST(BurnJob, BeginJobHidesThePromptAndTakesTheInputs) {
    FixedClock clock;
    CBurnJob job(clock, false);
    const BurnJobView& v = job.View();
    EXPECT_TRUE(v.promptVisible);
    EXPECT_EQ(v.prompt, kPromptStart);
    EXPECT_FALSE(v.statusVisible);
    EXPECT_TRUE(v.outputFolderEnabled);
    EXPECT_FALSE(v.tempDriveEnabled); // DVD only
    EXPECT_FALSE(v.dvdOptionsEnabled);

    job.SetState(8, true);
    EXPECT_FALSE(v.promptVisible);
    EXPECT_TRUE(v.statusVisible);
    EXPECT_TRUE(v.elapsedVisible);
    EXPECT_FALSE(v.outputFolderEnabled);
    EXPECT_FALSE(v.writerListEnabled);
    EXPECT_FALSE(v.labelEnabled);
    EXPECT_EQ(v.startCaption, "Stop");

    job.SetState(10, false);
    EXPECT_TRUE(v.outputFolderEnabled);
    EXPECT_FALSE(v.tempDriveEnabled); // still DVD only after the job
    EXPECT_FALSE(v.dvdOptionsEnabled);
}

TEST(BurnJob, EndPromptFollowsTheFlags) {
    struct Case {
        bool imageReady, burned;
        const char* prompt;
    } cases[] = {
        {true, true, kPromptBurnAnother},
        {false, true, kPromptFinish},
        {true, false, kPromptBurn},
        {false, false, kPromptStart},
    };
    for (const Case& c : cases) {
        FixedClock clock;
        CBurnJob job(clock, false);
        if (c.imageReady) job.SetImageReady();
        if (c.burned) job.MarkBurned();
        job.SetState(4, true);
        job.SetState(5, false);
        EXPECT_EQ(job.View().prompt, c.prompt);
        EXPECT_EQ(job.View().cancelCaption, c.burned ? "Finish" : "Cancel");
    }
}

// Once the image is built its folder cannot change; the writer and the label still can.
TEST(BurnJob, ReadyImageKeepsTheFolderInputsAsTheyWere) {
    for (bool dvd : {false, true}) {
        FixedClock clock;
        CBurnJob job(clock, dvd);
        job.SetState(17, true);
        job.SetImageReady();
        job.SetState(13, false);
        const BurnJobView& v = job.View();
        EXPECT_FALSE(v.outputFolderEnabled);
        EXPECT_FALSE(v.tempDriveEnabled);
        EXPECT_FALSE(v.dvdOptionsEnabled);
        EXPECT_TRUE(v.writerListEnabled);
        EXPECT_TRUE(v.labelEnabled);
        EXPECT_EQ(v.startCaption, "Start");
        EXPECT_FALSE(v.startEnabled);
    }
}

TEST(BurnJob, LogLinesAreStampedAndClearLogEmpties) {
    FixedClock clock;
    CBurnJob job(clock, false);
    job.Log("Starting...");
    clock.now = {23, 59, 0};
    job.Log("Failed!");
    EXPECT_EQ(job.View().log, "09:05:07  Starting...\r\n23:59:00  Failed!\r\n");
    EXPECT_EQ(job.View().logTopLine, 1);
    job.ClearLog();
    EXPECT_EQ(job.View().log, "");
    clock.now = {0, 0, 0};
    job.Log("x");
    EXPECT_EQ(job.View().log, "00:00:00  x\r\n");
}

TEST(BurnJob, ElapsedTimeCountsFromTheJobStart) {
    FixedClock clock;
    clock.tick = 0xFFFFF000u; // the tick count wraps during the job
    CBurnJob job(clock, false);
    job.SetState(8, true);
    clock.tick += 187000;
    EXPECT_DOUBLE_EQ(job.ElapsedSeconds(), 187.0);
}

TEST(BurnJob, CdProcessEventsShowTheStageProgress) {
    FixedClock clock;
    CBurnJob job(clock, false);
    job.SetStatus("before");
    job.OnCdProcess(42.5f); // idle: nothing
    EXPECT_EQ(job.View().status, "before");
    EXPECT_EQ(job.View().bar, 0);

    job.SetState(1, true);
    job.SetBar(3);
    job.OnCdProcess(42.5f);
    EXPECT_EQ(job.View().status, "Erasing the disc...");
    EXPECT_EQ(job.View().bar, 3); // the erase timer moves the bar, not the engine

    job.SetState(4, false);
    job.OnCdProcess(42.999f);
    EXPECT_EQ(job.View().status, "Burning... 43.00%");
    EXPECT_EQ(job.View().bar, 42);

    job.OnCdFinalize();
    EXPECT_EQ(job.State(), 7);
    EXPECT_EQ(job.View().status, "Finalize the driver...");
    EXPECT_EQ(job.View().bar, 100);
}

TEST(BurnJob, CdBurnDoneEndsTheJobEitherWay) {
    struct Case {
        const char* errorText;
        std::vector<std::string> log;
        const char* status;
    } cases[] = {
        {nullptr,
         {"Burning...", "Burned the disc successfully.", "Done!"},
         "Burn the disc successfully."},
        {"",
         {"Burning...", "Burned the disc successfully.", "Done!"},
         "Burn the disc successfully."},
        {"Write error", {"Burning...", "Write error", "Failed!"}, "Write error"},
    };
    for (const Case& c : cases) {
        FixedClock clock;
        CBurnJob job(clock, false);
        job.SetImageReady();
        job.MarkBurned();
        job.SetState(4, true);
        job.OnCdBurnDone(c.errorText);
        EXPECT_EQ(LogTexts(job.View().log), c.log);
        EXPECT_EQ(job.View().status, c.status);
        EXPECT_EQ(job.State(), 0);
        EXPECT_EQ(job.View().startCaption, "Burn");
        EXPECT_TRUE(job.View().cancelEnabled);
        EXPECT_EQ(job.View().prompt, kPromptBurnAnother);
    }
}

// The VCD and SVCD Start with a fake engine, recorded boxes and a real job folder.
class StartRig : public CdWriterHost, public CJobFolderHost {
  public:
    StartRig() {
        std::string pattern = (std::filesystem::temp_directory_path() / "burnjob-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
        values.label = "My VCD";
        values.outputFolder = dir_ + "/";
        values.settingsOutputFolder = values.outputFolder;
        writers.rows = {"E: writer"};
        writers.selected = 0;
        engine.devices = {
            {"E: writer", engines::kCdWriterCapabilities, engines::FakeCdMedium::BlankCdR()}};
    }
    ~StartRig() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    CdStartResult Start() { return job.OnStartCd(pieces); }
    std::vector<std::string> Log() const { return LogTexts(job.View().log); }
    bool Called(const std::string& call) const {
        auto calls = engine.Calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    // CdWriterHost
    void SetStateValue(int state) override { job.SetStateValue(state); }
    void MarkBurned() override { job.MarkBurned(); }
    void LogLine(const std::string& text) override { job.Log(text); }
    void OnCdProcess(float) override {}
    void OnCdFinalize() override {}
    void OnCdBurnDone(const char*) override {}
    void OnCdEraseDone() override {}
    // CJobFolderHost
    void ShowMessage(const std::string& text) override { folderMessages.push_back(text); }
    void Log(const std::string& text) override { job.Log(text); }
    bool MoveToTrash(const std::string&) override { return false; }
    int FreeMegabytes(const std::string&) override { return freeMegabytes; }

    FixedClock clock;
    CBurnJob job{clock, false};
    engines::FakeCdEngine engine;
    platform::RecordingMessageBoxes boxes;
    CdWriter writer{engine, boxes, *this};
    WriterCombo writers;
    JobFolderValues values;
    std::vector<std::string> folderMessages;
    int freeMegabytes = 100000;
    CdStartPieces pieces{writer, writers, boxes, values, *this};

  private:
    std::string dir_;
};

struct DiscCase {
    const char* name;
    engines::FakeCdMedium medium;
    std::vector<int> answers;
    std::int32_t eraseFailure;
    CdStartResult result;
    std::vector<std::string> boxes;
    std::vector<std::string> log;
    bool ejected;
    int state;
};

TEST(BurnJobStart, DiscTestDecidesHowTheJobGoesOn) {
    using engines::FakeCdMedium;
    const std::string noBlank = kCdNoBlankDiscLog;
    const DiscCase cases[] = {
        {"blank CD-R",
         FakeCdMedium::BlankCdR(),
         {},
         0,
         CdStartResult::BuildImage,
         {},
         {"Starting..."},
         false,
         0},
        {"blank cd-rw, any case",
         {0, "cd-rw", 0},
         {},
         0,
         CdStartResult::BuildImage,
         {},
         {"Starting..."},
         false,
         0},
        {"CD-R with data",
         FakeCdMedium::CdRWithData(),
         {},
         0,
         CdStartResult::Stopped,
         {kCdRNotBlankMessage},
         {"Starting...", noBlank, "Failed!"},
         true,
         0},
        {"CD-RW with data, No",
         FakeCdMedium::CdRwWithData(),
         {platform::IDNO},
         0,
         CdStartResult::Stopped,
         {kCdRwNotEmptyQuestion},
         {"Starting...", "Aborted by user.", "Failed."},
         true,
         0},
        {"CD-RW with data, Yes",
         FakeCdMedium::CdRwWithData(),
         {platform::IDYES},
         0,
         CdStartResult::Erasing,
         {kCdRwNotEmptyQuestion},
         {"Starting...", "Erasing the disc..."},
         false,
         1},
        {"CD-RW with data, erase fails",
         FakeCdMedium::CdRwWithData(),
         {platform::IDYES},
         7,
         CdStartResult::Stopped,
         {kCdRwNotEmptyQuestion, "error: "},
         {"Starting...", "Failed to erase the disc.", "Failed!"},
         true,
         0},
        {"DVD in a CD job",
         FakeCdMedium::Dvd(),
         {},
         0,
         CdStartResult::Stopped,
         {kNotWritableMessage},
         {"Starting...", noBlank, "Failed!"},
         true,
         0},
        {"no disc",
         FakeCdMedium::NoDisc(),
         {},
         0,
         CdStartResult::Stopped,
         {kNoDiscMessage},
         {"Starting...", noBlank, "Failed!"},
         true,
         0},
        {"medium unreadable",
         {5, "", 0},
         {},
         0,
         CdStartResult::Stopped,
         {"error: "},
         {"Starting..."},
         false,
         0},
    };
    for (const DiscCase& c : cases) {
        SCOPED_TRACE(c.name);
        StartRig rig;
        rig.engine.devices[0].medium = c.medium;
        if (c.eraseFailure) rig.engine.failures["Erase"] = c.eraseFailure;
        for (int a : c.answers)
            rig.boxes.Answer(a);

        EXPECT_EQ(rig.Start(), c.result);

        std::vector<std::string> texts = rig.boxes.Texts();
        ASSERT_EQ(texts.size(), c.boxes.size());
        for (std::size_t i = 0; i < texts.size(); ++i)
            EXPECT_EQ(texts[i].substr(0, c.boxes[i].size()), c.boxes[i]);
        EXPECT_EQ(rig.Log(), c.log);
        EXPECT_EQ(rig.Called("EjectDevice"), c.ejected);
        EXPECT_EQ(rig.job.State(), c.state);
        EXPECT_TRUE(rig.Called("SetDevice(E)"));
        // The job folder is made and the image paths are set before the disc is looked at.
        EXPECT_EQ(rig.values.cuePath, rig.values.outputFolder + "My VCD/VideoCD.cue");
        EXPECT_TRUE(std::filesystem::is_directory(rig.values.outputFolder + "My VCD"));
    }
}

TEST(BurnJobStart, RefusalsBeforeTheDisc) {
    {
        SCOPED_TRACE("invalid label: only the label box, no log line");
        StartRig rig;
        rig.values.label = "a:b";
        EXPECT_EQ(rig.Start(), CdStartResult::Stopped);
        EXPECT_EQ(rig.folderMessages, std::vector<std::string>{kInvalidLabelMessage});
        EXPECT_EQ(rig.job.View().log, "");
        EXPECT_TRUE(rig.engine.Calls().empty());
    }
    {
        SCOPED_TRACE("no writer");
        StartRig rig;
        rig.writers.rows.clear();
        rig.writers.selected = -1;
        EXPECT_EQ(rig.Start(), CdStartResult::Stopped);
        EXPECT_EQ(rig.boxes.Texts(), std::vector<std::string>{kNoWriterMessage});
        EXPECT_EQ(rig.Log(), (std::vector<std::string>{
                                 "Starting...", "Failed to find writer with burning capabilities.",
                                 "Failed!"}));
    }
    {
        SCOPED_TRACE("writer cannot be selected");
        StartRig rig;
        rig.engine.failures["SetDevice"] = 9;
        EXPECT_EQ(rig.Start(), CdStartResult::Stopped);
        ASSERT_EQ(rig.boxes.Texts().size(), 1u);
        EXPECT_EQ(rig.boxes.Texts()[0].substr(0, 7), "error: ");
        EXPECT_FALSE(rig.Called("GetMediumInformation"));
    }
    {
        SCOPED_TRACE("the selected writer's letter is used");
        StartRig rig;
        rig.writers.rows = {"D: other", "E: writer"};
        rig.writers.selected = 1;
        rig.engine.devices.insert(
            rig.engine.devices.begin(),
            {"D: other", engines::kCdWriterCapabilities, engines::FakeCdMedium::Dvd()});
        EXPECT_EQ(rig.Start(), CdStartResult::BuildImage);
        EXPECT_TRUE(rig.Called("SetDevice(E)"));
        EXPECT_FALSE(rig.Called("SetDevice(D)"));
    }
}

TEST(BurnJobStart, StopAsksBeforeAbortingTheRunningStage) {
    for (int answer : {platform::IDOK, platform::IDCANCEL}) {
        SCOPED_TRACE(answer);
        bool ok = answer == platform::IDOK;
        {
            StartRig rig;
            rig.job.SetState(4, true);
            rig.boxes.Answer(answer);
            EXPECT_EQ(rig.Start(), ok ? CdStartResult::AbortRequested : CdStartResult::Stopped);
            auto boxes = rig.boxes.Boxes();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, kAbortBurnQuestion);
            EXPECT_EQ(boxes[0].type, platform::MB_OKCANCEL | platform::MB_ICONINFORMATION);
            EXPECT_EQ(rig.engine.Calls(),
                      ok ? std::vector<std::string>{"Abort"} : std::vector<std::string>{});
            EXPECT_EQ(rig.job.State(), 4); // the engine's burn-done event ends the job
            EXPECT_EQ(rig.Log(), std::vector<std::string>{"Burning..."});
        }
        {
            StartRig rig;
            rig.job.SetState(8, true);
            rig.boxes.Answer(answer);
            EXPECT_EQ(rig.Start(), ok ? CdStartResult::CancelRequested : CdStartResult::Stopped);
            EXPECT_EQ(rig.boxes.Texts(), std::vector<std::string>{kAbortBuildQuestion});
            EXPECT_EQ(rig.job.CancelBuildFlag().load(), ok ? 1 : 0);
            EXPECT_TRUE(rig.engine.Calls().empty());
        }
    }
    StartRig rig;
    rig.job.SetState(4, true);
    rig.engine.failures["Abort"] = 3;
    EXPECT_EQ(rig.Start(), CdStartResult::AbortRequested);
    ASSERT_EQ(rig.boxes.Texts().size(), 2u);
    EXPECT_EQ(rig.boxes.Texts()[1].substr(0, 7), "error: ");
}

// A ready image skips the preparation (even a label that has turned invalid) and burns at once.
TEST(BurnJobStart, ReadyImageIsBurnedAgain) {
    for (bool burnFails : {false, true}) {
        SCOPED_TRACE(burnFails);
        StartRig rig;
        rig.values.label = "a:b";
        rig.values.cuePath = "/job/VideoCD.cue";
        rig.job.SetImageReady();
        if (burnFails) rig.engine.failures["Burn"] = 4;

        EXPECT_EQ(rig.Start(), burnFails ? CdStartResult::Stopped : CdStartResult::Burning);
        EXPECT_TRUE(rig.folderMessages.empty());
        EXPECT_TRUE(rig.Called("AddFile(/job/VideoCD.cue)"));
        if (burnFails) {
            EXPECT_EQ(rig.Log(),
                      (std::vector<std::string>{"Starting...", "Failed to burn.", "Failed!"}));
            EXPECT_EQ(rig.job.State(), 0);
        } else {
            EXPECT_EQ(rig.Log(), (std::vector<std::string>{"Starting...", "Burning..."}));
            EXPECT_EQ(rig.job.State(), 4);
            EXPECT_EQ(rig.job.View().startCaption, "Stop");
            EXPECT_FALSE(rig.job.View().promptVisible);
            EXPECT_EQ(rig.job.View().cancelCaption, "Finish");
        }
    }
}

TEST(BurnJobStart, BuildEndBurnsTheImageOrEndsTheJob) {
    struct Case {
        const char* name;
        long result;
        std::int32_t burnFailure;
        std::vector<std::string> log;
        int state;
        const char* caption;
        bool imageReady;
    } cases[] = {
        {"built, burning",
         0,
         0,
         {"Creating the cue image...", "Created the cue image successfully.", "Burning..."},
         4,
         "Stop",
         true},
        {"built, burn refused",
         0,
         21,
         {"Creating the cue image...", "Created the cue image successfully.", kCdNoBlankDiscLog,
          "Failed!"},
         0,
         "Burn",
         true},
        {"build failed or cancelled",
         1,
         0,
         {"Creating the cue image...", "Failed to create the cue image.", "Failed!"},
         0,
         "Start",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartRig rig;
        rig.engine.failures["Burn"] = c.burnFailure;
        rig.job.SetState(8, true);
        rig.job.OnBuildState(true, 0, rig.writer, "/job/VideoCD.cue", "My VCD");
        EXPECT_EQ(rig.job.State(), 8);
        rig.job.OnBuildState(false, c.result, rig.writer, "/job/VideoCD.cue", "My VCD");
        EXPECT_EQ(rig.Log(), c.log);
        EXPECT_EQ(rig.job.State(), c.state);
        EXPECT_EQ(rig.job.View().startCaption, c.caption);
        EXPECT_EQ(rig.job.ImageReady(), c.imageReady);
        EXPECT_EQ(rig.Called("Burn"), c.result == 0);
    }
}

TEST(BurnJobStart, EraseDoneGoesOnWithTheJob) {
    {
        StartRig rig;
        rig.job.SetState(1, true);
        EXPECT_TRUE(rig.job.OnCdEraseDone(rig.writer, "/job/VideoCD.cue", "My VCD"));
        EXPECT_EQ(rig.Log(), (std::vector<std::string>{"Erasing the disc...",
                                                       "Erased the disc successfully."}));
        EXPECT_FALSE(rig.Called("Burn"));
        EXPECT_FALSE(rig.job.View().eraseTimer);
    }
    {
        StartRig rig;
        rig.job.SetImageReady();
        rig.job.SetState(1, true);
        EXPECT_FALSE(rig.job.OnCdEraseDone(rig.writer, "/job/VideoCD.cue", "My VCD"));
        EXPECT_TRUE(rig.Called("AddFile(/job/VideoCD.cue)"));
        EXPECT_EQ(rig.job.State(), 4);
        EXPECT_EQ(rig.Log().back(), "Burning...");
    }
}

} // namespace

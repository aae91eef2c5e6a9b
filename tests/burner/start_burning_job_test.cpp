// Whole burn jobs through the Start Burning dialog's logic: the real image builder inside, the
// engines scripted, the message loop pumped by hand.
#include "burner/app/start_burning_job.h"

#include "burner/app/burner_startup.h"
#include "engines/cd/fake_cd_engine.h"
#include "engines/dvd/fake_dvd_engine.h"
#include "engines/dvdauthor/fake_author_dvd.h"
#include "engines/mjpgtools/fake_mplex.h"
#include "engines/mpgtx/fake_mpgtx.h"
#include "platform/drives.h"
#include "platform/manual_message_loop.h"
#include "platform/message_boxes.h"
#include "tests/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using platform::IDCANCEL;
using platform::IDNO;
using platform::IDOK;
using platform::IDYES;

namespace {

class FixedClock : public CBurnClock {
  public:
    TimeOfDay Now() const override { return {10, 20, 30}; }
    std::uint32_t TickMs() const override { return tick; }
    std::uint32_t tick = 5000;
};

// The dialog's side of the folder steps: boxes recorded, log lines into the job's log, the trash
// a folder of the test, free space as the test sets it.
class TestFolderHost : public CJobFolderHost {
  public:
    std::vector<std::string> messages;
    CBurnJob* job = nullptr;
    std::string trash;
    std::map<std::string, int> freeMb; // by root; absent: plenty
    bool oneDrive = false;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Log(const std::string& text) override {
        if (job) job->Log(text);
    }
    bool MoveToTrash(const std::string& path) override {
        std::error_code ec;
        fs::rename(path, trash + "/" + fs::path(path).parent_path().filename().string(), ec);
        return !ec;
    }
    int FreeMegabytes(const std::string& root) override {
        auto it = freeMb.find(root);
        return it == freeMb.end() ? 100000 : it->second;
    }
    std::string DriveRootOf(const std::string& path) override {
        // Two pretend drives: the output folder's and the work folder's.
        if (oneDrive) return "out/";
        return path.find("/work") != std::string::npos ? "work/" : "out/";
    }
};

std::vector<std::string> LogTexts(const std::string& log) {
    std::vector<std::string> texts;
    std::size_t pos = 0;
    while (pos < log.size()) {
        std::size_t end = log.find("\r\n", pos);
        if (end == std::string::npos) break;
        std::string line = log.substr(pos, end - pos);
        EXPECT_EQ(line.substr(0, 10), "10:20:30  ");
        texts.push_back(line.substr(10));
        pos = end + 2;
    }
    return texts;
}

std::string Fixture(const char* name) {
    return std::string(PELLAM_FIXTURES) + "/" + name;
}

// Sees every message the dialog handles, so that no state in between goes unseen however many
// messages one pump takes.
struct WatchedJob : CStartBurningJob {
    using CStartBurningJob::CStartBurningJob;
    std::function<void()> watch;
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam,
                                platform::LPARAM lParam) override {
        platform::LRESULT r = CStartBurningJob::OnMessage(message, wParam, lParam);
        if (watch) watch();
        return r;
    }
};

struct JobTest : ::testing::Test {
    platform::ManualMessageLoop loop;
    FixedClock clock;
    platform::RecordingMessageBoxes boxes;
    TestFolderHost host;
    BurnSettings settings;
    std::string root;
    engines::FakeCdEngine cd;
    engines::FakeDvdEngine dvdEngine;
    engines::FakeMpgtx mpgtx;
    engines::FakeMplex mplex;
    engines::FakeDvdAuthor author;
    std::unique_ptr<WatchedJob> job;
    int maxBar = 0;
    std::vector<std::string> statuses;

    void SetUp() override {
        root = ::testing::TempDir() + "startjob-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        fs::create_directories(root + "/out");
        fs::create_directories(root + "/trash");
        fs::create_directories(root + "/work");
        host.trash = root + "/trash";
        host.messages.clear();
        settings.SetOutputFolder(root + "/out/");
        settings.tvType = 1;
        settings.aspectRatio = 1;
        settings.letterBox = 1;
    }
    void TearDown() override {
        job.reset();
        fs::remove_all(root);
    }

    void Open(int mode, std::vector<std::string> files) {
        StartBurningServices s{clock, boxes, host, settings, mode, std::move(files)};
        s.cdEngine = &cd;
        s.dvdEngine = &dvdEngine;
        s.mpgtx = &mpgtx;
        s.multiplexer = &mplex;
        s.author = &author;
        job = std::make_unique<WatchedJob>(std::move(s));
        job->watch = [this] { Watch(); };
        host.job = &job->Job();
        job->AttachLoop(&loop);
        job->OnInitDialog({});
        // One temporary drive: the test's work folder.
        job->tempDrives.roots = {root + "/work/"};
        job->tempDrives.entries = {root + "/work/tmpPellam/      Free Space 100000 MB"};
        job->tempDrives.selected = 0;
    }

    void Pump() {
        loop.Pump();
        Watch();
    }
    void Watch() {
        maxBar = std::max(maxBar, job->View().bar);
        if (statuses.empty() || statuses.back() != job->View().status)
            statuses.push_back(job->View().status);
    }
    // Pumps (real time) until the condition holds; false after the time-out.
    bool PumpUntil(const std::function<bool()>& done, int seconds = 60) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            loop.PumpWait(std::chrono::milliseconds(20));
            Watch();
        }
        return true;
    }
    std::vector<std::string> Log() const { return LogTexts(job->View().log); }
    int Count(const std::string& call) const {
        auto calls = cd.Calls();
        return static_cast<int>(
            std::count_if(calls.begin(), calls.end(),
                          [&](const std::string& c) { return c.rfind(call, 0) == 0; }));
    }
};

// ---- VCD and SVCD ----

struct CdJobTest : JobTest {
    void Writer(const engines::FakeCdMedium& medium) {
        cd.devices = {{"E: PELLAM CDRW", engines::kCdWriterCapabilities, medium}};
    }
    // Runs the job from Start to the burn: the build on its thread, then the engine's burn.
    void BuildAndBurn() {
        ASSERT_TRUE(PumpUntil([&] { return job->Job().State() != 8; })) << "the build never ended";
        ASSERT_EQ(job->Job().State(), 4) << ::testing::PrintToString(Log());
        cd.FireProcess(42.5f);
        Pump();
        EXPECT_EQ(job->View().status, "Burning... 42.50%");
        EXPECT_EQ(job->View().bar, 42);
        cd.FireFinalize();
        Pump();
        EXPECT_EQ(job->Job().State(), 7);
        cd.FireBurnDone(nullptr);
        Pump();
    }
};

TEST_F(CdJobTest, BlankCdRBuildsARealImageBurnsItAndBurnsASecondCopy) {
    Writer(engines::FakeCdMedium::BlankCdR());
    Open(DISC_VCD, {Fixture("vcd_pal.mpg"), Fixture("vcd_pal.mpg")});
    job->label = "Tom & Jerry";
    job->OnStart();
    EXPECT_EQ(job->Job().State(), 8);
    EXPECT_EQ(job->View().startCaption, "Stop");
    EXPECT_FALSE(job->View().cancelEnabled);
    EXPECT_TRUE(job->View().elapsedTimer);
    BuildAndBurn();

    EXPECT_EQ(Log(), (std::vector<std::string>{"Starting...", "Creating the cue image...",
                                               "Created the cue image successfully.", "Burning...",
                                               "Finalize the driver...",
                                               "Burned the disc successfully.", "Done!"}));
    EXPECT_EQ(maxBar, 100); // the builder's progress blocks reached the bar
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Make XML..."), statuses.end());
    const BurnJobView& v = job->View();
    EXPECT_EQ(v.startCaption, "Burn");
    EXPECT_EQ(v.cancelCaption, "Finish");
    EXPECT_EQ(v.prompt, kPromptBurnAnother);
    EXPECT_FALSE(v.outputFolderEnabled); // the image's folder is fixed now
    EXPECT_TRUE(job->Burned());

    // The image is where the job said, and a reader no one here wrote takes it for a VideoCD.
    std::string cue = root + "/out/Tom & Jerry/VideoCD.cue";
    ASSERT_EQ(job->Values().cuePath, cue);
    ASSERT_TRUE(fs::exists(root + "/out/Tom & Jerry/VideoCD.bin"));
    EXPECT_EQ(fs::file_size(root + "/out/Tom & Jerry/VideoCD.bin") % 2352, 0u);
    std::string cmd = "cd-info --no-device-info --no-cddb --cue-file '" + cue + "' 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        pclose(p);
    }
    EXPECT_NE(out.find("Video CD"), std::string::npos) << out;
    EXPECT_NE(out.find("Tom & Jerry"), std::string::npos) << out;
    // The project went to the user's private folder, not to a shared fixed name.
    EXPECT_EQ(fs::status(fs::path(job->XmlPath()).parent_path()).permissions() & fs::perms::all,
              fs::perms::owner_all);

    // "Burn": the same image again, no preparation, no build.
    auto before = fs::last_write_time(root + "/out/Tom & Jerry/VideoCD.bin");
    job->OnStart();
    EXPECT_EQ(job->Job().State(), 4);
    EXPECT_EQ(Log(), (std::vector<std::string>{"Starting...", "Burning..."}));
    cd.FireBurnDone("");
    Pump();
    EXPECT_EQ(Count("Burn"), 2);
    EXPECT_EQ(fs::last_write_time(root + "/out/Tom & Jerry/VideoCD.bin"), before);
    EXPECT_EQ(job->View().startCaption, "Burn");
}

TEST_F(CdJobTest, CdRwWithDataIsErasedOnYesAndLeftOnNo) {
    Writer(engines::FakeCdMedium::CdRwWithData());
    Open(DISC_SVCD, {Fixture("svcd_pal.mpg")});
    boxes.Answer(IDNO);
    job->OnStart();
    EXPECT_EQ(Log(), (std::vector<std::string>{"Starting...", "Aborted by user.", "Failed."}));
    EXPECT_EQ(Count("Erase"), 0);
    EXPECT_EQ(Count("EjectDevice"), 1);

    boxes.Answer(IDYES);
    job->OnStart();
    EXPECT_EQ(boxes.Texts().back(), kCdRwNotEmptyQuestion);
    EXPECT_EQ(job->Job().State(), 1);
    EXPECT_FALSE(job->View().startEnabled);
    loop.Advance(1500 * 3);
    Pump();
    EXPECT_EQ(job->View().bar, 0); // the erase ticks: one per 1.5 s, from 0
    loop.Advance(1500);
    Pump();
    EXPECT_EQ(job->View().bar, 1);
    cd.FireEraseDone();
    Pump();
    EXPECT_EQ(job->Job().State(), 8);
    BuildAndBurn();
    EXPECT_EQ(Log(),
              (std::vector<std::string>{
                  "Starting...", "Erasing the disc...", "Erased the disc successfully.",
                  "Creating the cue image...", "Created the cue image successfully.", "Burning...",
                  "Finalize the driver...", "Burned the disc successfully.", "Done!"}));
    EXPECT_TRUE(fs::exists(root + "/out/My SVCD/VideoCD.cue"));
    EXPECT_FALSE(job->View().eraseTimer);
}

TEST_F(CdJobTest, StartRefusals) {
    struct Case {
        const char* name;
        std::vector<engines::FakeCdDevice> devices;
        std::string label;
        std::vector<std::string> log;
        const char* box; // nullptr: none
    } cases[] = {
        {"invalid label",
         {{"E: W", engines::kCdWriterCapabilities, engines::FakeCdMedium::BlankCdR()}},
         "a:b",
         {},
         kInvalidLabelMessage},
        {"no writer",
         {},
         "x",
         {"Starting...", "Failed to find writer with burning capabilities.", "Failed!"},
         kNoWriterMessage},
        {"no disc",
         {{"E: W", engines::kCdWriterCapabilities, engines::FakeCdMedium::NoDisc()}},
         "x",
         {"Starting...", "No blank CD Disc in writer.", "Failed!"},
         kNoDiscMessage},
        {"CD-R with data",
         {{"E: W", engines::kCdWriterCapabilities, engines::FakeCdMedium::CdRWithData()}},
         "x",
         {"Starting...", "No blank CD Disc in writer.", "Failed!"},
         kCdRNotBlankMessage},
        {"DVD medium",
         {{"E: W", engines::kCdWriterCapabilities, engines::FakeCdMedium::Dvd()}},
         "x",
         {"Starting...", "No blank CD Disc in writer.", "Failed!"},
         kNotWritableMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        cd.devices = c.devices;
        Open(DISC_VCD, {Fixture("vcd_pal.mpg")});
        std::size_t boxesBefore = boxes.Texts().size();
        job->label = c.label;
        job->OnStart();
        EXPECT_EQ(Log(), c.log);
        std::vector<std::string> shown = boxes.Texts();
        shown.erase(shown.begin(), shown.begin() + static_cast<long>(boxesBefore));
        shown.insert(shown.end(), host.messages.begin(), host.messages.end());
        host.messages.clear();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], c.box);
        EXPECT_EQ(job->Job().State(), 0);
        EXPECT_EQ(job->View().startCaption, "Start");
        EXPECT_FALSE(job->BuildRunning());
    }
}

TEST_F(CdJobTest, BurnRefusedAfterTheBuild) {
    for (std::int32_t code :
         {engines::kCdNoBlankDiscA, engines::kCdNoBlankDiscB, engines::kCdNoDisc}) {
        SCOPED_TRACE(code);
        TearDown();
        SetUp();
        Writer(engines::FakeCdMedium::BlankCdR());
        cd.failures["Burn"] = code;
        Open(DISC_VCD, {Fixture("vcd_ntsc.mpg")});
        job->OnStart();
        ASSERT_TRUE(PumpUntil([&] { return job->Job().State() != 8; }));
        std::vector<std::string> log = Log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log.back(), "Failed!");
        EXPECT_EQ(job->View().startCaption, "Burn"); // the image stays for another try
        EXPECT_FALSE(job->Burned());
        EXPECT_EQ(job->View().cancelCaption, "Cancel");
        EXPECT_EQ(job->View().prompt, kPromptBurn);
        EXPECT_FALSE(boxes.Texts().empty());
    }
}

TEST_F(CdJobTest, StopDuringTheBuildStopsTheBuilder) {
    Writer(engines::FakeCdMedium::BlankCdR());
    Open(DISC_VCD, {Fixture("vcd_pal.mpg")});
    job->OnStart();
    ASSERT_EQ(job->Job().State(), 8);
    // The build thread waits for its first message to be taken; Stop lands before any pack.
    boxes.Answer(IDCANCEL);
    job->OnStart();
    EXPECT_EQ(boxes.Texts().back(), kAbortBuildQuestion);
    EXPECT_EQ(job->Job().State(), 8);
    boxes.Answer(IDOK);
    job->OnStart();
    ASSERT_TRUE(PumpUntil([&] { return job->Job().State() != 8; }));
    EXPECT_EQ(Log(), (std::vector<std::string>{"Starting...", "Creating the cue image...",
                                               "Failed to create the cue image.", "Failed!"}));
    EXPECT_EQ(job->View().status, "Fail to create image.");
    EXPECT_EQ(job->View().startCaption, "Start");
    EXPECT_TRUE(job->View().startEnabled);
    EXPECT_TRUE(job->View().cancelEnabled);
    EXPECT_EQ(Count("Burn"), 0);
    EXPECT_FALSE(job->BuildRunning());
}

TEST_F(CdJobTest, AbortDuringTheBurn) {
    Writer(engines::FakeCdMedium::BlankCdR());
    Open(DISC_VCD, {Fixture("vcd_film.mpg")});
    job->OnStart();
    ASSERT_TRUE(PumpUntil([&] { return job->Job().State() != 8; }));
    ASSERT_EQ(job->Job().State(), 4);
    boxes.Answer(IDOK);
    job->OnStart();
    EXPECT_EQ(boxes.Texts().back(), kAbortBurnQuestion);
    EXPECT_EQ(Count("Abort"), 1);
    cd.FireBurnDone("The burn was aborted.");
    Pump();
    std::vector<std::string> log = Log();
    EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
              (std::vector<std::string>{"The burn was aborted.", "Failed!"}));
    EXPECT_EQ(job->View().startCaption, "Burn");
}

TEST_F(CdJobTest, ElapsedTimeTicksWhileTheJobRuns) {
    Writer(engines::FakeCdMedium::BlankCdR());
    Open(DISC_VCD, {Fixture("vcd_pal.mpg")});
    job->OnStart();
    clock.tick += 187000;
    loop.Advance(1000);
    loop.Pump();
    EXPECT_EQ(job->View().elapsed, "Elapsed Time : 00:03:07.0");
    ASSERT_TRUE(PumpUntil([&] { return job->Job().State() != 8; }));
    cd.FireBurnDone(nullptr);
    Pump();
    loop.Advance(5000);
    clock.tick += 5000;
    Pump();
    EXPECT_EQ(job->View().elapsed, "Elapsed Time : 00:03:07.0"); // stopped with the job
}

// ---- DVD ----

struct DvdJobTest : JobTest {
    void Writer(const engines::FakeDvdMedium& medium) {
        engines::FakeDvdDevice d;
        d.address = {1, 0, 2, 0};
        d.vendor = "PIONEER";
        d.product = "DVD-RW DVR-111D";
        d.medium = medium;
        dvdEngine.devices = {d};
    }
    std::string Work() const { return root + "/work/tmpPellam/"; }
    // Demultiplexes and multiplexes file `index` through the fakes.
    void DemuxAndMux(int index) {
        ASSERT_EQ(job->Job().State(), 17);
        ASSERT_TRUE(mpgtx.DemuxProgress(50));
        Pump();
        EXPECT_EQ(job->View().status, "Demultiplexing  50.00%");
        ASSERT_TRUE(mpgtx.DemuxDone());
        Pump();
        ASSERT_TRUE(PumpUntil([&] { return job->Job().State() != 14; }));
        EXPECT_EQ(mplex.Calls().size(), static_cast<std::size_t>(index + 1));
    }
    void FinishBurn() {
        dvdEngine.PushProgress(engines::kDvdWrittenEvent, 1000, 500);
        dvdEngine.PushProgress(engines::kDvdFinalizeEvent, 0, 0);
        dvdEngine.PushWriteEnd();
        ASSERT_TRUE(PumpUntil([&] { return job->Job().State() == 0; }));
    }
};

TEST_F(DvdJobTest, ThreeFilesAuthoredAndBurned) {
    Writer(engines::FakeDvdMedium::BlankDvdR());
    Open(DISC_DVD,
         {Fixture("dvd_pal_mpa.mpg"), Fixture("dvd_ntsc_ac3.mpg"), Fixture("dvd_pal_mpa.mpg")});
    EXPECT_EQ(job->tvType, 1);
    EXPECT_EQ(job->label, "My DVD");
    mplex.script = {{{4096}, 0}, {{4096, 4096, 100}, 0}, {{2048}, 0}};
    job->OnStart();
    for (int i = 0; i < 3; ++i)
        DemuxAndMux(i);
    ASSERT_EQ(job->Job().State(), 11);
    ASSERT_EQ(author.calls.size(), 1u);
    const engines::AuthorDvdParam& a = author.calls[0];
    EXPECT_EQ(a.segments, (std::vector<std::string>{Work() + "000_1.mpg", Work() + "001_1.mpg",
                                                    Work() + "001_2.mpg", Work() + "001_3.mpg",
                                                    Work() + "002_1.mpg"}));
    EXPECT_EQ(std::string(a.outputFolder), root + "/out/My DVD/");
    EXPECT_EQ(a.tvSystem, 1);
    EXPECT_EQ(a.aspect, 1);
    EXPECT_EQ(a.letterBox, 1);
    // The elementary streams are gone after multiplexing; the segments stay.
    EXPECT_FALSE(fs::exists(Work() + "000.m2v"));
    EXPECT_FALSE(fs::exists(Work() + "002.mpa"));
    EXPECT_TRUE(fs::exists(Work() + "001_3.mpg"));

    ASSERT_TRUE(author.Report(engines::kAuthorBuildingVobs, 40));
    Pump();
    EXPECT_EQ(job->View().status, "Building VOB files... 40%");
    ASSERT_TRUE(author.Report(engines::kAuthorCreatingImage, 90));
    Pump();
    EXPECT_EQ(job->View().status, "Creating DVD image...  90%");
    ASSERT_TRUE(author.Report(engines::kAuthorMayClose));
    Pump();
    EXPECT_EQ(job->View().cancelCaption, "Finish");
    ASSERT_TRUE(author.Succeed());
    Pump();
    EXPECT_EQ(job->Job().State(), 4);
    FinishBurn();

    std::vector<std::string> log = Log();
    std::vector<std::string> expected = {"Starting..."};
    for (const char* f : {"dvd_pal_mpa.mpg", "dvd_ntsc_ac3.mpg", "dvd_pal_mpa.mpg"})
        expected.push_back("Demultiplexing mpeg file: " + Fixture(f));
    for (const char* l :
         {"Creating the DVD image...", "Created the DVD image successfully", "Burning...",
          "Finalize the driver...", "Burned the disc successfully.", "Done!"})
        expected.push_back(l);
    EXPECT_EQ(log, expected);
    EXPECT_EQ(job->View().startCaption, "Burn");
    EXPECT_EQ(job->View().prompt, kPromptBurnAnother);
    EXPECT_TRUE(job->Burned());
    EXPECT_EQ(std::string(settings.tempFolder), Work());

    // Another copy burns the folder again without demultiplexing anything.
    job->OnStart();
    EXPECT_EQ(job->Job().State(), 4);
    FinishBurn();
    EXPECT_EQ(mpgtx.demuxInputs.size(), 3u);
}

TEST_F(DvdJobTest, SecondFileFailsToDemultiplex) {
    Writer(engines::FakeDvdMedium::BlankDvdR());
    Open(DISC_DVD, {Fixture("dvd_pal_mpa.mpg"), Fixture("zeros.mpg"), Fixture("dvd_pal_mpa.mpg")});
    job->OnStart();
    DemuxAndMux(0);
    ASSERT_EQ(job->Job().State(), 17);
    ASSERT_TRUE(mpgtx.DemuxFail("No video stream in the file."));
    Pump();
    std::vector<std::string> log = Log();
    EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
              (std::vector<std::string>{"No video stream in the file.", "Failed!"}));
    EXPECT_EQ(job->View().status, "Failed to demultiplex mpeg file.");
    EXPECT_EQ(job->View().startCaption, "Start");
    EXPECT_TRUE(job->View().startEnabled);
    EXPECT_EQ(mpgtx.demuxInputs.size(), 2u);
    EXPECT_TRUE(author.calls.empty());
    EXPECT_TRUE(fs::exists(Work() + "000_1.mpg")); // what was multiplexed stays
}

TEST_F(DvdJobTest, StopWhileDemultiplexingAsksThenAborts) {
    Writer(engines::FakeDvdMedium::BlankDvdR());
    Open(DISC_DVD, {Fixture("dvd_pal_mpa.mpg")});
    job->OnStart();
    boxes.Answer(IDOK);
    job->OnStart();
    EXPECT_EQ(boxes.Texts().back(), kAbortDemuxQuestion);
    EXPECT_TRUE(mpgtx.AbortRequested());
    ASSERT_TRUE(mpgtx.DemuxFail("Aborted by user."));
    Pump();
    EXPECT_EQ(job->View().status, "Failed to demultiplex mpeg file.");
}

TEST_F(DvdJobTest, MultiplexFailureAndAuthoringFailure) {
    Writer(engines::FakeDvdMedium::BlankDvdR());
    Open(DISC_DVD, {Fixture("dvd_pal_mpa.mpg")});
    mplex.script = {{{}, std::nullopt}}; // the status stays 9999
    job->OnStart();
    ASSERT_TRUE(mpgtx.DemuxDone());
    Pump();
    EXPECT_EQ(job->View().status, "Mutliplexing ...");
    EXPECT_TRUE(job->View().multiplexTimer);
    ASSERT_TRUE(PumpUntil([&] { return job->Job().State() != 14; }));
    EXPECT_EQ(Log().back(), "Failed!");
    EXPECT_EQ(Log()[Log().size() - 2], "Failed to multiplex the video and audio stream");
    EXPECT_EQ(job->View().startCaption, "Start");
    EXPECT_FALSE(job->View().multiplexTimer);
    EXPECT_FALSE(fs::exists(Work() + "000.m2v"));

    // Again, now the authoring fails: state 13 leaves Start disabled.
    job->OnStart();
    ASSERT_TRUE(mpgtx.DemuxDone());
    Pump();
    ASSERT_TRUE(PumpUntil([&] { return job->Job().State() != 14; }));
    ASSERT_EQ(job->Job().State(), 11);
    ASSERT_TRUE(author.Fail());
    Pump();
    EXPECT_EQ(Log().back(), "Failed!");
    EXPECT_EQ(job->View().status, "Failed to create DVD image");
    EXPECT_FALSE(job->View().startEnabled);
    EXPECT_TRUE(job->View().cancelEnabled);
}

TEST_F(DvdJobTest, RewritableWithDataIsErasedFirst) {
    Writer(engines::FakeDvdMedium::DvdRwWithData());
    Open(DISC_DVD, {Fixture("dvd_pal_mpa.mpg")});
    boxes.Answer(IDNO);
    job->OnStart();
    EXPECT_EQ(Log(), (std::vector<std::string>{"Starting...", "Aborted by user.", "Failed."}));
    boxes.Answer(IDYES);
    job->OnStart();
    EXPECT_EQ(boxes.Texts().back(), kCdRwNotEmptyQuestion);
    ASSERT_TRUE(PumpUntil([&] { return job->Job().State() == 17; }));
    std::vector<std::string> log = Log();
    EXPECT_EQ(log[0], "Starting...");
    EXPECT_NE(std::find(log.begin(), log.end(), "Erased the disc successfully."), log.end());
    EXPECT_EQ(log.back(), "Demultiplexing mpeg file: " + Fixture("dvd_pal_mpa.mpg"));
    ASSERT_TRUE(mpgtx.DemuxFail("stop here"));
    Pump();
}

TEST_F(DvdJobTest, NoBlankDvd) {
    Writer(engines::FakeDvdMedium::CdR());
    Open(DISC_DVD, {Fixture("dvd_pal_mpa.mpg")});
    job->OnStart();
    EXPECT_EQ(Log(),
              (std::vector<std::string>{"Starting...", "No blank DVD Disc in writer.", "Failed."}));
    EXPECT_TRUE(mpgtx.demuxInputs.empty());
}

TEST_F(JobTest, NotEnoughFreeSpace) {
    // 1: the output drive (VCD); 2: one drive for both (DVD); 3: the work drive (DVD).
    struct Case {
        int mode;
        bool oneDrive;
        std::map<std::string, int> freeMb;
        const char* start;
    } cases[] = {
        {DISC_VCD, false, {{"out/", 0}}, "There is not enough free space for Output Folder."},
        {DISC_DVD, true, {{"out/", 0}}, "There is not enough free space on driver out/."},
        {DISC_DVD, false, {{"work/", 0}}, "There is not enough free space for Temp Folder."},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        cd.devices = {{"E: W", engines::kCdWriterCapabilities, engines::FakeCdMedium::BlankCdR()}};
        engines::FakeDvdDevice d;
        d.medium = engines::FakeDvdMedium::BlankDvdR();
        dvdEngine.devices = {d};
        host.freeMb = c.freeMb;
        host.oneDrive = c.oneDrive;
        Open(c.mode, {Fixture(c.mode == DISC_DVD ? "dvd_pal_mpa.mpg" : "vcd_pal.mpg")});
        job->OnStart();
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].rfind(c.start, 0), 0u) << host.messages[0];
        EXPECT_FALSE(job->BuildRunning());
        EXPECT_TRUE(mpgtx.demuxInputs.empty());
        EXPECT_EQ(job->Job().State(), 0);
    }
}

} // namespace

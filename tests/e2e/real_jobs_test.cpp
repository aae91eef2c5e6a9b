// Whole jobs as a user without a burner runs them: the real engines, the real image builder,
// demultiplexer, mplex and dvdauthor, and the Image Recorder; what it records is read back with
// tools no one here wrote.
#include "burner/app/burner_startup.h"
#include "burner/app/start_burning_job.h"
#include "engines/cd/system_cd_engine.h"
#include "engines/dvd/system_dvd_engine.h"
#include "engines/dvdauthor/system_author_dvd.h"
#include "engines/mjpgtools/mplex.h"
#include "engines/mpgtx/system_mpgtx.h"
#include "platform/drives.h"
#include "platform/manual_message_loop.h"
#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Fixture(const char* name) {
    return std::string(PELLAM_FIXTURES) + "/" + name;
}

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().extension() == extension) files.push_back(e.path());
    return files;
}

class Host : public CJobFolderHost {
  public:
    CBurnJob* job = nullptr;
    std::vector<std::string> messages;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Log(const std::string& text) override {
        if (job) job->Log(text);
    }
    bool MoveToTrash(const std::string&) override { return false; }
};

struct RealJobTest : ::testing::Test {
    platform::ManualMessageLoop loop;
    CBurnClock clock;
    platform::RecordingMessageBoxes boxes;
    Host host;
    BurnSettings settings;
    std::string root, oldHome;
    std::unique_ptr<CStartBurningJob> job;

    void SetUp() override {
        root = ::testing::TempDir() + "realjob-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        fs::create_directories(root + "/home");
        fs::create_directories(root + "/work");
        if (const char* h = std::getenv("HOME")) oldHome = h;
        setenv("HOME", (root + "/home").c_str(), 1);
        settings.SetOutputFolder(root + "/home/Pellam/");
    }
    void TearDown() override {
        job.reset();
        setenv("HOME", oldHome.c_str(), 1);
        fs::remove_all(root);
    }
    std::string Discs() const { return root + "/home/Pellam/discs"; }

    void Open(StartBurningServices s) {
        job = std::make_unique<CStartBurningJob>(std::move(s));
        host.job = &job->Job();
        job->AttachLoop(&loop);
        job->OnInitDialog({});
        job->tempDrives.roots = {root + "/work/"};
        job->tempDrives.entries = {root + "/work/tmpPellam/"};
        job->tempDrives.selected = 0;
    }
    // Start, then pump until the job has ended (state 0 and no build running).
    void RunJob(int minutes = 3) {
        job->OnStart();
        auto end = std::chrono::steady_clock::now() + std::chrono::minutes(minutes);
        while (job->Job().State() != 0 || job->BuildRunning()) {
            ASSERT_LT(std::chrono::steady_clock::now(), end) << job->View().log;
            loop.PumpWait(std::chrono::milliseconds(50));
        }
    }
    std::string LastLogLine() const {
        const std::string& log = job->View().log;
        std::size_t end = log.rfind("\r\n");
        std::size_t start = log.rfind("\r\n", end - 1);
        start = start == std::string::npos ? 0 : start + 2;
        return log.substr(start + 10, end - start - 10);
    }
};

TEST_F(RealJobTest, VideoCdAndSuperVideoCdJobsRecordDiscsThatReadersAccept) {
    struct Case {
        int mode;
        const char* file;
        const char* kind;
    } cases[] = {{DISC_VCD, "vcd_pal.mpg", "Video CD"},
                 {DISC_SVCD, "svcd_ntsc.mpg", "Super Video CD"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        TearDown();
        SetUp();
        auto cd = engines::MakeSystemCdEngine();
        StartBurningServices s{clock,    boxes,  host,
                               settings, c.mode, {Fixture(c.file), Fixture(c.file)}};
        s.cdEngine = cd.get();
        Open(std::move(s));
        // Without a drive on this machine, the Image Recorder is the writer and starts chosen.
        ASSERT_GE(job->writers.GetCurSel(), 0);
        if (job->writers.GetCount() > 1) GTEST_SKIP() << "a real writer is attached";
        ASSERT_NE(job->writers.rows[job->writers.GetCurSel()].find("Image Recorder"),
                  std::string::npos);
        RunJob();
        ASSERT_EQ(LastLogLine(), "Done!") << job->View().log;
        EXPECT_EQ(job->View().startCaption, "Burn");
        EXPECT_TRUE(job->Burned());

        std::vector<fs::path> cues = FilesIn(Discs(), ".cue");
        ASSERT_EQ(cues.size(), 1u);
        std::string info =
            Shell("cd-info --no-device-info --no-cddb --cue-file '" + cues[0].string() + "'");
        EXPECT_NE(info.find(c.kind), std::string::npos) << info;
        // Track 1 holds the file system, one track per file follows.
        EXPECT_NE(info.find("  3: "), std::string::npos) << info;
        // cdrdao takes the cue sheet's file names from where it runs.
        std::string toc =
            Shell("cd '" + Discs() + "' && cdrdao show-toc '" + cues[0].filename().string() + "'");
        EXPECT_EQ(toc.find("ERROR"), std::string::npos) << toc;
        const std::regex track("\nTRACK ");
        auto tracks = std::distance(std::sregex_iterator(toc.begin(), toc.end(), track),
                                    std::sregex_iterator());
        EXPECT_EQ(tracks, 3) << toc;
        // The recorded disc holds what the job built.
        fs::path bin = job->Values().binPath;
        std::vector<fs::path> bins = FilesIn(Discs(), ".bin");
        ASSERT_EQ(bins.size(), 1u);
        EXPECT_EQ(fs::file_size(bins[0]), fs::file_size(bin));
    }
}

TEST_F(RealJobTest, DvdJobsRecordImagesThatDvdReadersAccept) {
    void* library = dlopen(PELLAM_MJPGTOOLS, RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<engines::MplexEntry>(dlsym(library, kMplexEntry));
    ASSERT_NE(entry, nullptr);
    engines::EntryMultiplexer multiplexer(entry);

    struct Case {
        const char* name;
        std::vector<std::string> files;
        int tv;
        int chapters;
        double seconds; // of one source file
    } cases[] = {
        {"PAL, MPEG audio", {Fixture("dvd_pal_mpa.mpg"), Fixture("dvd_pal_mpa.mpg")}, 1, 2, 0},
        {"NTSC, AC-3", {Fixture("dvd_ntsc_ac3.mpg")}, 0, 1, 0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        std::string probe = Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" +
                                  c.files[0] + "'");
        c.seconds = std::atof(probe.c_str());
        auto dvd = engines::MakeSystemDvdEngine();
        auto mpgtx = engines::MakeSystemMpgtx();
        auto author = engines::MakeSystemDvdAuthor();
        settings.tvType = c.tv;
        settings.aspectRatio = 0;
        settings.letterBox = 0;
        StartBurningServices s{clock, boxes, host, settings, DISC_DVD, c.files};
        s.dvdEngine = dvd.get();
        s.mpgtx = mpgtx.get();
        s.multiplexer = &multiplexer;
        s.author = author.get();
        Open(std::move(s));
        // Without a drive on this machine, the Image Recorder is the writer and starts chosen.
        ASSERT_GE(job->writers.GetCurSel(), 0);
        if (job->writers.GetCount() > 1) GTEST_SKIP() << "a real writer is attached";
        ASSERT_NE(job->writers.rows[job->writers.GetCurSel()].find("Image Recorder"),
                  std::string::npos);
        RunJob(5);
        ASSERT_EQ(LastLogLine(), "Done!") << job->View().log;
        EXPECT_TRUE(fs::exists(root + "/home/Pellam/My DVD/VIDEO_TS/VIDEO_TS.IFO"));

        std::vector<fs::path> isos = FilesIn(Discs(), ".iso");
        ASSERT_EQ(isos.size(), 1u);
        const std::string iso = isos[0].string();
        std::string lsdvd = Shell("lsdvd -c '" + iso + "'");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(
            lsdvd, m, std::regex("Title: 01, Length: (\\d+):(\\d+):([\\d.]+) Chapters: (\\d+)")))
            << lsdvd;
        EXPECT_EQ(std::regex_search(lsdvd, std::regex("Title: 02")), false) << lsdvd;
        EXPECT_EQ(std::stoi(m[4]), c.chapters) << lsdvd;
        double length = std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stod(m[3]);
        EXPECT_NEAR(length, c.seconds * c.files.size(), 1.0) << lsdvd;

        std::string listing = Shell("isoinfo -l -i '" + iso + "'");
        EXPECT_NE(listing.find("VIDEO_TS.IFO"), std::string::npos) << listing;
        EXPECT_NE(listing.find("VTS_01_1.VOB"), std::string::npos) << listing;
        std::string udf = Shell("udfinfo '" + iso + "'");
        EXPECT_NE(udf.find("label=My DVD"), std::string::npos) << udf;
    }
    dlclose(library);
}

} // namespace

// The authoring library over dvdauthor: real runs on segments multiplexed from the DVD fixtures,
// read back with lsdvd; failures; and a fake dvdauthor replaying recorded output.
#include "dvd_media_support.h"
#include "engines/dvdauthor/system_author_dvd.h"
#include "engines/mjpgtools/system_mplex.h"
#include "platform/manual_message_loop.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using dvdmedia::Exists;
using dvdmedia::Quote;

struct Event {
    unsigned what;
    long percent;
};

class EventWindow : public platform::MessageTarget {
  public:
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam,
                                platform::LPARAM lParam) override {
        if (message == engines::WM_AUTHOR_EVENT)
            events.push_back({static_cast<unsigned>(wParam), static_cast<long>(lParam)});
        return 0;
    }
    bool Ended() const {
        for (const Event& e : events)
            if (e.what == engines::kAuthorFailed || e.what == engines::kAuthorSucceeded)
                return true;
        return false;
    }
    std::vector<Event> events;
};

// The folder's entries, names only, sorted.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SystemAuthorDvd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(work_.Path().empty());
        window_.AttachLoop(&loop_);
        const char* tools = std::getenv("PELLAM_TOOLS");
        hadTools_ = tools != nullptr;
        if (tools) savedTools_ = tools;
    }
    void TearDown() override {
        author_.reset();
        if (hadTools_)
            setenv("PELLAM_TOOLS", savedTools_.c_str(), 1);
        else
            unsetenv("PELLAM_TOOLS");
    }

    // Demultiplexed and multiplexed as the burner does: work/NNN_S.mpg.
    std::vector<std::string> Segments(int index, const char* fixture, int loops,
                                      int maxSegmentMegabytes = 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%03d", index);
        std::string base = work_ / number;
        EXPECT_TRUE(dvdmedia::MakeElementaryStreams(std::string(PELLAM_FIXTURES) + "/" + fixture,
                                                    base, loops));
        std::string video = base + ".m2v", audio = base + ".mpa";
        const char* inputs[] = {video.c_str(), audio.c_str(), nullptr};
        engines::MplexParam param{};
        engines::FillMplexParam(param, inputs, base + "_%d.mpg");
        param.value12 = maxSegmentMegabytes;
        EXPECT_EQ(engines::RunMplex(&param), 0);
        std::vector<std::string> segments;
        for (int s = 1; Exists(base + "_" + std::to_string(s) + ".mpg"); ++s)
            segments.push_back(base + "_" + std::to_string(s) + ".mpg");
        return segments;
    }

    void Author(const std::vector<std::string>& segments, const std::string& output, int tv,
                int aspect, int letterBox) {
        param_.window = &window_;
        param_.segments = segments;
        std::snprintf(param_.outputFolder, sizeof param_.outputFolder, "%s", output.c_str());
        param_.tvSystem = tv;
        param_.aspect = aspect;
        param_.letterBox = letterBox;
        if (!author_) author_ = engines::MakeSystemDvdAuthor();
        author_->AuthorDVD(&param_);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!window_.Ended() && std::chrono::steady_clock::now() < deadline)
            loop_.PumpWait(std::chrono::milliseconds(200));
        ASSERT_TRUE(window_.Ended());
    }

    // Progress events rise: a later stage, or a higher percent in the same one.
    void ExpectRisingProgress() {
        const Event* last = nullptr;
        for (const Event& e : window_.events) {
            if (e.what != engines::kAuthorBuildingVobs && e.what != engines::kAuthorCreatingImage)
                continue;
            EXPECT_GE(e.percent, 0);
            EXPECT_LE(e.percent, 100);
            if (last) {
                EXPECT_TRUE(e.what > last->what ||
                            (e.what == last->what && e.percent > last->percent))
                    << last->what << "/" << last->percent << " then " << e.what << "/" << e.percent;
            }
            last = &e;
        }
    }

    void ExpectSucceeded() {
        const std::vector<Event>& ev = window_.events;
        ASSERT_GE(ev.size(), 5u);
        EXPECT_EQ(ev.front().what, engines::kAuthorBuildingVobs);
        EXPECT_EQ(ev.front().percent, 0);
        std::size_t n = ev.size();
        EXPECT_EQ(ev[n - 3].what, engines::kAuthorCreatingImage);
        EXPECT_EQ(ev[n - 3].percent, 100);
        EXPECT_EQ(ev[n - 2].what, engines::kAuthorMayClose);
        EXPECT_EQ(ev[n - 1].what, engines::kAuthorSucceeded);
        // The VOBs are done before the image stage begins.
        for (std::size_t i = 1; i < n; ++i) {
            if (ev[i].what == engines::kAuthorCreatingImage &&
                ev[i - 1].what == engines::kAuthorBuildingVobs) {
                EXPECT_EQ(ev[i - 1].percent, 100);
            }
        }
        ExpectRisingProgress();
    }

    void ExpectFailed(const std::string& output) {
        ASSERT_FALSE(window_.events.empty());
        EXPECT_EQ(window_.events.back().what, engines::kAuthorFailed);
        for (const Event& e : window_.events) {
            EXPECT_NE(e.what, engines::kAuthorMayClose);
            EXPECT_NE(e.what, engines::kAuthorSucceeded);
        }
        EXPECT_FALSE(Exists(output + "/VIDEO_TS"));
        if (Exists(output)) {
            EXPECT_EQ(Entries(output), std::vector<std::string>{});
        }
    }

    // A dvdauthor on PELLAM_TOOLS that writes the recorded text to stderr and exits with the
    // recorded status. With makeFolder it first writes a small VIDEO_TS (before the output, as
    // dvdauthor writes the VTS before it fails on the VMGM). It keeps its control file.
    void FakeDvdauthor(const std::string& transcript, bool makeFolder,
                       const std::string& extraLine = {}, int exitStatus = -1) {
        dvdmedia::Transcript t = dvdmedia::ReadTranscript(transcript);
        ASSERT_TRUE(t.ok);
        testfiles::WriteAll(tools_ / "replay.txt", t.stderrText + extraLine);
        std::string script =
            "#!/bin/sh\n"
            "while [ $# -gt 0 ]; do case $1 in -o) OUT=$2;; -x) XML=$2;; esac; shift; done\n"
            "cp \"$XML\" " +
            Quote(tools_ / "seen.xml") + "\n";
        if (makeFolder)
            script += "mkdir -p \"$OUT/VIDEO_TS\" \"$OUT/AUDIO_TS\"\n"
                      "for f in VIDEO_TS.IFO VIDEO_TS.BUP VTS_01_0.IFO VTS_01_0.BUP VTS_01_1.VOB; "
                      "do echo x > \"$OUT/VIDEO_TS/$f\"; done\n";
        script += "cat " + Quote(tools_ / "replay.txt") + " >&2\n";
        script += "exit " + std::to_string(exitStatus >= 0 ? exitStatus : t.exitStatus) + "\n";
        testfiles::WriteAll(tools_ / "dvdauthor", script);
        ::chmod((tools_ / "dvdauthor").c_str(), 0755);
        setenv("PELLAM_TOOLS", tools_.Path().c_str(), 1);
    }

    platform::ManualMessageLoop loop_;
    EventWindow window_;
    dvdmedia::TempDir work_, out_, tools_;
    engines::AuthorDvdParam param_;
    std::unique_ptr<engines::DvdAuthor> author_;
    bool hadTools_ = false;
    std::string savedTools_;
};

TEST_F(SystemAuthorDvd, AuthorsOneTitleWithAChapterPerSourceFile) {
    struct Case {
        const char* what;
        std::vector<std::tuple<const char*, int, int>> files; // fixture, loops, max segment MB
        int tv, aspect, letterBox;
        std::size_t segments;
        double seconds, tolerance;
        const char *format, *ratio, *display;
    } cases[] = {
        {"PAL 16:9 letterboxed",
         {{"dvd_pal_mpa.mpg", 1, 0}, {"dvd_pal_mpa.mpg", 3, 0}},
         1,
         1,
         1,
         2,
         4.0,
         0.2,
         "PAL",
         "16/9",
         "Letterbox"},
        // Cuts inside a group of pictures cost some pictures.
        {"PAL 16:9 panned, second file in three segments",
         {{"dvd_pal_mpa.mpg", 1, 0}, {"dvd_pal_mpa.mpg", 12, 1}},
         1,
         1,
         0,
         4,
         12.5,
         1.0,
         "PAL",
         "16/9",
         "Pan&Scan"},
        {"NTSC 4:3", {{"dvd_ntsc_ac3.mpg", 1, 0}}, 0, 0, 1, 1, 1.0, 0.2, "NTSC", "4/3", ""},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window_.events.clear();
        std::vector<std::string> segments;
        int index = 0;
        for (const auto& [fixture, loops, split] : c.files)
            for (const std::string& s : Segments(run * 10 + index++, fixture, loops, split))
                segments.push_back(s);
        ASSERT_EQ(segments.size(), c.segments);
        // The burner's output folder: label and a trailing slash; it does not exist yet.
        std::string output = out_ / ("Disc & <" + std::to_string(run++) + ">/");
        Author(segments, output, c.tv, c.aspect, c.letterBox);
        ExpectSucceeded();
        EXPECT_EQ(Entries(output), (std::vector<std::string>{"AUDIO_TS", "VIDEO_TS"}));
        dvdmedia::DvdInfo dvd = dvdmedia::ReadDvd(output);
        ASSERT_TRUE(dvd.ok);
        ASSERT_EQ(dvd.titles.size(), 1u);
        EXPECT_EQ(dvd.titles[0].chapters, static_cast<int>(c.files.size()));
        EXPECT_NEAR(dvd.titles[0].seconds, c.seconds, c.tolerance);
        EXPECT_EQ(dvd.titles[0].format, c.format);
        EXPECT_EQ(dvd.titles[0].aspect, c.ratio);
        if (*c.display) {
            EXPECT_EQ(dvd.titles[0].displayFormat, c.display);
        }
    }
}

TEST_F(SystemAuthorDvd, FailuresReportZeroAndLeaveNoDvd) {
    std::vector<std::string> segments = Segments(0, "dvd_pal_mpa.mpg", 1);
    ASSERT_EQ(segments.size(), 1u);
    struct Case {
        const char* what;
        std::vector<std::string> segments;
    } cases[] = {
        {"a missing segment", {segments[0], work_ / "001_1.mpg"}},
        {"not MPEG", {std::string(PELLAM_FIXTURES) + "/not_mpeg.bin"}},
        {"no segments", {}},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window_.events.clear();
        std::string output = out_ / ("DVD" + std::to_string(run++));
        Author(c.segments, output, 1, 0, 0);
        ExpectFailed(output);
        EXPECT_FALSE(Exists(output));
    }
}

TEST_F(SystemAuthorDvd, AnOldDvdInTheOutputIsNotMixedIn) {
    std::string output = out_ / "DVD";
    fs::create_directories(output + "/VIDEO_TS");
    testfiles::WriteAll(output + "/VIDEO_TS/VIDEO_TS.IFO", "old");
    Author(Segments(0, "dvd_pal_mpa.mpg", 1), output, 1, 1, 1);
    ASSERT_FALSE(window_.events.empty());
    EXPECT_EQ(window_.events.back().what, engines::kAuthorFailed);
    EXPECT_EQ(testfiles::ReadAll(output + "/VIDEO_TS/VIDEO_TS.IFO"), "old");
    EXPECT_EQ(Entries(output), std::vector<std::string>{"VIDEO_TS"});
}

TEST_F(SystemAuthorDvd, OddSegmentPathsReachDvdauthor) {
    // Not UTF-8, and a name dvdauthor would take for a command: both go in by a link.
    std::vector<std::string> made = Segments(0, "dvd_pal_mpa.mpg", 1);
    ASSERT_EQ(made.size(), 1u);
    std::string latin1 = work_ / "caf\xE9 000_1.mpg", pipe = work_ / "x; touch pwned |";
    fs::copy_file(made[0], latin1);
    fs::copy_file(made[0], pipe);
    std::string output = out_ / "DVD";
    Author({latin1, pipe}, output, 1, 1, 1);
    ExpectSucceeded();
    EXPECT_FALSE(Exists("pwned")); // where dvdauthor runs
    ::unlink("pwned");
    dvdmedia::DvdInfo dvd = dvdmedia::ReadDvd(output);
    ASSERT_EQ(dvd.titles.size(), 1u);
    EXPECT_NEAR(dvd.titles[0].seconds, 2.0, 0.2);
}

TEST_F(SystemAuthorDvd, JudgesRecordedRuns) {
    std::string segment = work_ / "000_1.mpg";
    // The recorded runs wrote about 40 MB; the segment is as large, without taking the room.
    testfiles::WriteAll(segment, "");
    fs::resize_file(segment, 42u << 20);
    struct Case {
        const char* what;
        const char* transcript;
        bool makeFolder;
        std::string extraLine;
        int exitStatus;
        bool ok;
    } cases[] = {
        {"a complete run", "dvdauthor-xml-two-titles-chapters-ok.txt", true, "", -1, true},
        {"VTS written, then no VMGM", "dvdauthor-xml-error-no-vmgm-video-format.txt", true, "", -1,
         false},
        {"an error line and status 0", "dvdauthor-xml-ok.txt", true,
         "ERR:  Cannot jump to chapter 2 of title 1, only 1 exist\n", 0, false},
        {"status 0 and nothing written", "dvdauthor-xml-ok.txt", false, "", -1, false},
        {"a missing VOB", "dvdauthor-xml-error-missing-vob.txt", false, "", -1, false},
        {"status 1 without an error line", "dvdauthor-xml-ok.txt", true, "", 1, false},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window_.events.clear();
        FakeDvdauthor(c.transcript, c.makeFolder, c.extraLine, c.exitStatus);
        std::string output = out_ / ("DVD" + std::to_string(run++));
        Author({segment}, output, 1, 0, 0);
        // The control file was there while dvdauthor ran, and the staging folder is gone.
        EXPECT_NE(testfiles::ReadAll(tools_ / "seen.xml").find("<vob file=\"" + segment + "\""),
                  std::string::npos);
        if (c.ok) {
            ExpectSucceeded();
            EXPECT_EQ(Entries(output), (std::vector<std::string>{"AUDIO_TS", "VIDEO_TS"}));
            // From the recorded "at 8MB" to "at 37MB" of 42 MB, then the fixing lines.
            std::vector<long> building, image;
            for (const Event& e : window_.events) {
                if (e.what == engines::kAuthorBuildingVobs) building.push_back(e.percent);
                if (e.what == engines::kAuthorCreatingImage) image.push_back(e.percent);
            }
            EXPECT_EQ(building, (std::vector<long>{0, 19, 42, 66, 88, 95, 100}));
            EXPECT_EQ(image, (std::vector<long>{0, 18, 37, 56, 75, 90, 95, 100}));
        } else {
            ExpectFailed(output);
            ExpectRisingProgress();
        }
    }
}

TEST_F(SystemAuthorDvd, DestructionStopsARunningDvdauthor) {
    testfiles::WriteAll(tools_ / "dvdauthor",
                        "#!/bin/sh\n"
                        "while [ $# -gt 0 ]; do [ \"$1\" = -o ] && OUT=$2; shift; done\n"
                        "mkdir -p \"$OUT/VIDEO_TS\"\n"
                        "echo 'STAT: Processing /x/000_1.mpg...' >&2\n"
                        "exec sleep 600\n");
    ::chmod((tools_ / "dvdauthor").c_str(), 0755);
    setenv("PELLAM_TOOLS", tools_.Path().c_str(), 1);
    std::string output = out_ / "DVD";
    std::string segment = work_ / "000_1.mpg";
    testfiles::WriteAll(segment, std::string(2048, '\0'));
    param_.window = &window_;
    param_.segments = {segment};
    std::snprintf(param_.outputFolder, sizeof param_.outputFolder, "%s", output.c_str());
    author_ = engines::MakeSystemDvdAuthor();
    author_->AuthorDVD(&param_);
    while (window_.events.empty())
        loop_.PumpWait(std::chrono::milliseconds(200));
    author_.reset(); // returns once dvdauthor is gone and the thread has ended
    loop_.Pump();
    ASSERT_EQ(window_.events.size(), 1u);
    EXPECT_EQ(window_.events[0].what, engines::kAuthorBuildingVobs);
    EXPECT_FALSE(Exists(output + "/VIDEO_TS"));
}

} // namespace

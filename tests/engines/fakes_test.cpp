// The scripted fakes behave as the burner relies on the real libraries to: records filled before
// the report, reports to the record's window, files named as agreed.
#include "burner/writers/video_ts_tree.h"
#include "engines/cd/fake_cd_engine.h"
#include "engines/dvd/fake_dvd_engine.h"
#include "engines/dvdauthor/fake_author_dvd.h"
#include "engines/mjpgtools/fake_mplex.h"
#include "engines/mpgtx/fake_mpgtx.h"
#include "platform/manual_message_loop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <tuple>
#include <unistd.h>

using namespace engines;
namespace fs = std::filesystem;

namespace {

struct Msg {
    unsigned message;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
    bool operator==(const Msg&) const = default;
};

struct Window : platform::MessageTarget {
    std::vector<Msg> got;
    std::function<void(const Msg&)> onMessage;
    platform::LRESULT OnMessage(unsigned m, platform::WPARAM w, platform::LPARAM l) override {
        got.push_back({m, w, l});
        if (onMessage) onMessage(got.back());
        return 0;
    }
};

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/pellam fake %d_XXXXXX"; // a blank and a percent sign on purpose
        path_ = std::string(mkdtemp(pattern)) + "/";
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

TEST(FakeMpgtx, ChecksOneFileAfterAnotherFromWithinTheHandler) {
    platform::ManualMessageLoop loop;
    Window window;
    window.AttachLoop(&loop);
    FakeMpgtx mpgtx;
    static _mpgtx_check_param_ record; // process-wide, as in the burner
    const std::vector<std::string> files = {"/v/a.mpg", "/v/b.mpg", "/v/c.mpg"};
    std::size_t next = 0;
    std::vector<std::tuple<bool, std::int64_t, int>> results;
    auto check = [&](const std::string& path) {
        std::memset(&record, 0, sizeof record);
        record.window = &window;
        record.message = WM_CHECK_DONE;
        std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
        mpgtx.mpgtx_Checkfile(&record);
    };
    window.onMessage = [&](const Msg& m) {
        std::int64_t size = record.fileSize; // packed fields: copy before use
        int width = record.width;
        results.push_back({m.wParam != 0, size, width});
        if (++next < files.size()) check(files[next]);
    };
    check(files[0]);
    ASSERT_TRUE(mpgtx.CompleteCheck(false, 5368709120LL, 61.5f, 720, 576, 25.0f));
    loop.Pump();
    ASSERT_TRUE(mpgtx.CompleteCheck(true));
    loop.Pump();
    ASSERT_TRUE(mpgtx.CompleteCheck(false, 1000));
    loop.Pump();
    EXPECT_FALSE(mpgtx.CompleteCheck(false)); // nothing pending
    EXPECT_EQ(mpgtx.checkedPaths, files);
    EXPECT_EQ(results, (std::vector<std::tuple<bool, std::int64_t, int>>{
                           {false, 5368709120LL, 720}, {true, 0, 0}, {false, 1000, 0}}));
    EXPECT_EQ(window.got.front().message, WM_CHECK_DONE);
}

TEST(FakeMpgtx, DemuxReportsProgressEndFailureAndSeesTheAbort) {
    TempDir dir;
    Window window; // no loop: the fake sends
    FakeMpgtx mpgtx;
    mpgtx.sendMessages = true;
    alignas(8) static _mpgtx_demuxer_param_ record;
    auto start = [&](int index) {
        std::memset(&record, 0, sizeof record);
        record.window = &window;
        record.message = WM_DEMUX_EVENT;
        std::snprintf(record.input, sizeof record.input, "/v/%d.mpg", index);
        std::snprintf(record.outputBase, sizeof record.outputBase, "%s%03d", dir.Path().c_str(),
                      index);
        mpgtx.mpgtx_Demuxer(&record);
    };
    start(0);
    ASSERT_TRUE(mpgtx.DemuxProgress(37.25f));
    EXPECT_EQ(DemuxPercent(record), 37.25f);
    ASSERT_TRUE(mpgtx.DemuxDone(5000, 700));
    EXPECT_EQ(fs::file_size(dir.Path() + "000.m2v"), 5000u);
    EXPECT_EQ(fs::file_size(dir.Path() + "000.mpa"), 700u);

    start(1);
    EXPECT_FALSE(mpgtx.AbortRequested());
    RequestDemuxAbort(record);
    EXPECT_TRUE(mpgtx.AbortRequested());
    ASSERT_TRUE(mpgtx.DemuxFail("Aborted by user"));
    EXPECT_STREQ(record.errorText, "Aborted by user");
    EXPECT_FALSE(mpgtx.DemuxProgress(1)); // it has ended

    EXPECT_EQ(
        window.got,
        (std::vector<Msg>{{WM_DEMUX_EVENT, 1, 0}, {WM_DEMUX_EVENT, 0, 0}, {WM_DEMUX_EVENT, 0, 1}}));
    EXPECT_EQ(mpgtx.demuxOutputs[1], dir.Path() + "001");
}

TEST(FakeMplex, WritesTheSegmentsOfThePatternAndSetsTheStatus) {
    TempDir dir;
    FakeMplex mplex;
    mplex.script = {{{100, 200, 300}, 0}, {{50}, 3}, {{}, std::nullopt}};
    std::string video = dir.Path() + "000.m2v", audio = dir.Path() + "000.mpa";
    const char* inputs[] = {video.c_str(), audio.c_str(), nullptr};
    std::vector<std::int32_t> statuses;
    for (int i = 0; i < 3; ++i) {
        MplexParam p;
        char pattern[64];
        std::snprintf(pattern, sizeof pattern, "%03d_%%d.mpg", i);
        FillMplexParam(p, inputs, dir.Path() + pattern);
        mplex.mplex(&p);
        std::int32_t status = p.status;
        statuses.push_back(status);
    }
    EXPECT_EQ(statuses, (std::vector<std::int32_t>{0, 3, kMplexStatusUnset}));
    EXPECT_EQ(fs::file_size(dir.Path() + "000_1.mpg"), 100u);
    EXPECT_EQ(fs::file_size(dir.Path() + "000_3.mpg"), 300u);
    EXPECT_FALSE(fs::exists(dir.Path() + "000_4.mpg"));
    EXPECT_EQ(fs::file_size(dir.Path() + "001_1.mpg"), 50u);
    EXPECT_FALSE(fs::exists(dir.Path() + "002_1.mpg"));
    auto calls = mplex.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].video, video);
    EXPECT_EQ(calls[0].audio, audio);
    std::int32_t passedStatus = calls[0].param.status;
    EXPECT_EQ(passedStatus, kMplexStatusUnset);
}

TEST(FakeDvdAuthor, ReportsInTheOrderAskedAndLeavesAFolderTheDvdWriterTakes) {
    TempDir dir;
    platform::ManualMessageLoop loop;
    Window window;
    window.AttachLoop(&loop);
    FakeDvdAuthor author;
    static AuthorDvdParam param;
    param.window = &window;
    param.segments = {dir.Path() + "000_1.mpg", dir.Path() + "001_1.mpg"};
    std::snprintf(param.outputFolder, sizeof param.outputFolder, "%sDISC/", dir.Path().c_str());
    param.tvSystem = 1;
    author.AuthorDVD(&param);
    ASSERT_EQ(author.calls.size(), 1u);
    EXPECT_EQ(author.calls[0].segments, param.segments);
    author.Report(kAuthorCreatingImage, 10); // out of the usual order
    author.Report(kAuthorBuildingVobs, 50);
    author.Report(5);
    author.Report(kAuthorMayClose);
    ASSERT_TRUE(author.Succeed());
    EXPECT_FALSE(author.Fail()); // it has ended
    loop.Pump();
    EXPECT_EQ(window.got, (std::vector<Msg>{{WM_AUTHOR_EVENT, 2, 10},
                                            {WM_AUTHOR_EVENT, 1, 50},
                                            {WM_AUTHOR_EVENT, 5, 0},
                                            {WM_AUTHOR_EVENT, 3, 0},
                                            {WM_AUTHOR_EVENT, 6, 0}}));

    FakeDvdEngine engine;
    DvdTreeNode* dirs[kDvdDirectoryNodeSlots] = {};
    DvdTreeNode* files[kDvdFileNodeSlots] = {};
    std::string error;
    EXPECT_EQ(
        BuildVideoTsTree(engine, std::string(param.outputFolder) + "VIDEO_TS/", dirs, files, error),
        VideoTsTreeResult::kOk);
    EXPECT_EQ(engine.FileNodes().size(), 5u);
    engine.ReleaseNodes(files, kDvdFileNodeSlots);
    engine.ReleaseNodes(dirs, kDvdDirectoryNodeSlots);
}

struct ScanResult {
    std::string path;
    int invalid = -1, width = 0, height = 0, bitRate = 0;
    double frameRate = 0;
    void* user = nullptr;
    float percent = -1;
};

TEST(FakeCdEngine, VideoScannerReportsThroughTheRegisteredCallbacks) {
    FakeCdEngine engine;
    static ScanResult result;
    result = ScanResult();
    int scanningWindow = 0, mainDialog = 0;
    engine.SetVideoScannerEventCallback(
        [](float percent, int, void* user) {
            result.percent = percent;
            result.user = user;
        },
        &scanningWindow);
    engine.SetVideoScanDoneEventCallback(
        [](const char* path, int, int invalid, int, int width, int height, int bitRate,
           double frameRate, int, int, void* user) {
            result.path = path;
            result.invalid = invalid;
            result.width = width;
            result.height = height;
            result.bitRate = bitRate;
            result.frameRate = frameRate;
            result.user = user;
        },
        &mainDialog);
    ASSERT_EQ(engine.CreateProject(kCdProjectVideoCd), 0);
    ASSERT_EQ(engine.AddFile(MakeCdScanRecord("/v/a.mpg")), 0);
    ASSERT_TRUE(engine.FireScanProgress(55.5f));
    EXPECT_EQ(result.percent, 55.5f);
    EXPECT_EQ(result.user, &scanningWindow);
    ASSERT_TRUE(engine.FireScanDone("/v/a.mpg", true, 352, 288, 1150000, 25.0));
    EXPECT_EQ(result.path, "/v/a.mpg");
    EXPECT_EQ(result.invalid, 1);
    EXPECT_EQ(result.width, 352);
    EXPECT_EQ(result.height, 288);
    EXPECT_EQ(result.bitRate, 1150000);
    EXPECT_EQ(result.frameRate, 25.0);
    EXPECT_EQ(result.user, &mainDialog);
    EXPECT_EQ(engine.project, kCdProjectVideoCd);
    EXPECT_FALSE(engine.FireBurnDone(nullptr)); // nothing registered for burns
}

} // namespace

// The CD engine's video scanner as the main window drives it: files added to a VCD or SVCD
// project are checked on the engine's thread and reported with their facts, compared with
// ffprobe's reading of the fixtures.
#include "cd_engine_support.h"
#include "mpeg_probe_support.h"

#include "burner/writers/cd_scan_project.h"
#include "engines/cd/system_cd_engine.h"
#include "platform/message_boxes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

using namespace engines;
using ::testing::HasSubstr;

namespace {

struct NoHost : CdWriterHost {
    void SetStateValue(int) override {}
    void MarkBurned() override {}
    void LogLine(const std::string&) override {}
    void OnCdProcess(float) override {}
    void OnCdFinalize() override {}
    void OnCdBurnDone(const char*) override {}
    void OnCdEraseDone() override {}
};

struct Done {
    std::string path;
    bool invalid = false;
    int width = 0, height = 0, bitRate = 0;
    double frameRate = 0;
    std::string reason; // asked from within the event
};

// The scanning window and the main dialog in one; the events come on the engine's thread.
class ScanHost : public CdScanHost {
  public:
    explicit ScanHost(const CdEngine*& engine) : engine_(engine) {}
    void OnScanProgress(float percent) override {
        std::lock_guard<std::mutex> guard(lock_);
        progress_.push_back(percent);
    }
    void OnScanDone(const char* path, bool invalid, int width, int height, int bitRate,
                    double frameRate) override {
        Done d{path, invalid, width, height, bitRate, frameRate, engine_->ScanRefusalReason()};
        std::lock_guard<std::mutex> guard(lock_);
        done_.push_back(d);
        changed_.notify_all();
    }
    bool WaitForDone(std::size_t count) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(30),
                                 [&] { return done_.size() >= count; });
    }
    std::vector<Done> done() {
        std::lock_guard<std::mutex> guard(lock_);
        return done_;
    }
    std::vector<float> progress() {
        std::lock_guard<std::mutex> guard(lock_);
        return progress_;
    }

  private:
    const CdEngine*& engine_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<float> progress_;
    std::vector<Done> done_;
};

class Scanner : public ::testing::Test {
  protected:
    void Open(int kind) {
        project_.reset();
        writer_.reset();
        engine_.reset();
        host_ = std::make_unique<ScanHost>(enginePtr_);
        engine_ = MakeSystemCdEngine();
        enginePtr_ = engine_.get();
        writer_ = std::make_unique<CdWriter>(*engine_, boxes_, noHost_);
        project_ = std::make_unique<CdScanProject>(*engine_, *writer_, kind, *host_, *host_);
        project_->Start();
    }

    platform::RecordingMessageBoxes boxes_;
    NoHost noHost_;
    const CdEngine* enginePtr_ = nullptr;
    std::unique_ptr<ScanHost> host_;
    std::unique_ptr<CdEngine> engine_;
    std::unique_ptr<CdWriter> writer_;
    std::unique_ptr<CdScanProject> project_;
};

TEST_F(Scanner, ValidAndRefusedFilesInOrder) {
    if (!mpegprobe::HaveFfprobe()) GTEST_SKIP() << "ffprobe is not installed";
    struct Case {
        int kind;
        const char* file;
        bool invalid;
        const char* reason; // part of the refusal
    } cases[] = {
        {kCdProjectVideoCd, "vcd_pal.mpg", false, ""},
        {kCdProjectVideoCd, "svcd_pal.mpg", true, "but a VCD needs MPEG-1."},
        {kCdProjectVideoCd, "not_mpeg.bin", true, ""},
        {kCdProjectSuperVideoCd, "svcd_pal.mpg", false, ""},
        {kCdProjectSuperVideoCd, "vcd_ntsc.mpg", true, "but an SVCD needs MPEG-2."},
        {kCdProjectSuperVideoCd, "empty.mpg", true, ""},
    };
    for (int kind : {kCdProjectVideoCd, kCdProjectSuperVideoCd}) {
        SCOPED_TRACE(kind);
        Open(kind);
        std::vector<const Case*> added;
        // All added at once: the scans queue and report in the order of the adds.
        for (const Case& c : cases) {
            if (c.kind != kind) continue;
            ASSERT_TRUE(project_->AddFile(mpegprobe::Fixture(c.file)));
            added.push_back(&c);
        }
        ASSERT_TRUE(host_->WaitForDone(added.size()));
        std::vector<Done> done = host_->done();
        ASSERT_EQ(done.size(), added.size());
        for (std::size_t i = 0; i < added.size(); ++i) {
            const Case& c = *added[i];
            const Done& d = done[i];
            SCOPED_TRACE(c.file);
            const std::string path = mpegprobe::Fixture(c.file);
            EXPECT_EQ(d.path, path);
            EXPECT_EQ(d.invalid, c.invalid);
            if (c.invalid) {
                EXPECT_FALSE(d.reason.empty());
                EXPECT_THAT(d.reason, HasSubstr(c.reason));
                continue;
            }
            EXPECT_EQ(d.reason, "");
            const std::string v = "-select_streams v:0 -show_entries stream=";
            EXPECT_EQ(std::to_string(d.width), mpegprobe::ProbeValue(v + "width", path));
            EXPECT_EQ(std::to_string(d.height), mpegprobe::ProbeValue(v + "height", path));
            EXPECT_NEAR(d.frameRate,
                        mpegprobe::Rational(mpegprobe::ProbeValue(v + "r_frame_rate", path)), 1e-6);
            const std::string rate = mpegprobe::ProbeValue(v + "bit_rate", path);
            if (rate != "N/A")
                EXPECT_EQ(std::to_string(d.bitRate), rate);
            else
                EXPECT_GT(d.bitRate, 0);
        }
        // Each scan: 0 at its start and 100 at its end.
        std::vector<float> expected;
        for (std::size_t i = 0; i < added.size(); ++i) {
            expected.push_back(0);
            expected.push_back(100);
        }
        EXPECT_EQ(host_->progress(), expected);
        EXPECT_TRUE(boxes_.Texts().empty());
    }
}

TEST_F(Scanner, NoScansInTheBurnProjectAndNoneAfterTheEnd) {
    Open(kCdProjectVideoCd);
    project_->BeforeBurnDialog();
    engine_->CreateProject(kCdProjectBurnImage);
    EXPECT_FALSE(project_->AddFile(mpegprobe::Fixture("vcd_pal.mpg")));
    ASSERT_EQ(boxes_.Texts().size(), 1u);
    EXPECT_EQ(boxes_.Texts()[0], "error: This project does not take this kind of file.");
    engine_->DeleteProject();
    project_->AfterBurnDialog();

    // Scans still queued when the engine goes are dropped without their events.
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(project_->AddFile(mpegprobe::Fixture("vcd_ntsc.mpg")));
    project_.reset();
    writer_.reset();
    engine_.reset();
    EXPECT_LT(host_->done().size(), 20u);
}

} // namespace

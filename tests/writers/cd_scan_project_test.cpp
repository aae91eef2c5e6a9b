#include "burner/writers/cd_scan_project.h"
#include "engines/cd/fake_cd_engine.h"
#include "platform/message_boxes.h"

#include <gtest/gtest.h>

using namespace engines;

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

struct ScanRecorder : CdScanHost {
    std::vector<std::string> events;
    void OnScanProgress(float percent) override {
        events.push_back("progress " + std::to_string(static_cast<int>(percent)));
    }
    void OnScanDone(const char* path, bool invalid, int width, int height, int bitRate,
                    double frameRate) override {
        events.push_back(std::string("done ") + path + (invalid ? " invalid " : " valid ") +
                         std::to_string(width) + "x" + std::to_string(height) + " " +
                         std::to_string(bitRate) + " " + std::to_string(frameRate));
    }
};

TEST(CdScanProject, ScansFilesAndSwapsProjectsAroundTheBurnDialog) {
    FakeCdEngine engine;
    platform::RecordingMessageBoxes boxes;
    NoHost host;
    CdWriter writer(engine, boxes, host);
    ScanRecorder scanning, mainDialog;
    CdScanProject project(engine, writer, kCdProjectSuperVideoCd, scanning, mainDialog);

    project.Start();
    ASSERT_TRUE(project.AddFile("/v/clip.mpg"));
    ASSERT_EQ(engine.addedFiles.size(), 1u);
    EXPECT_EQ(engine.addedFiles[0].flag, 1);
    engine.FireScanProgress(49.9f);
    engine.FireScanDone("/v/clip.mpg", false, 480, 576, 2500000, 25.0);
    EXPECT_EQ(scanning.events, std::vector<std::string>{"progress 49"});
    EXPECT_EQ(mainDialog.events,
              std::vector<std::string>{"done /v/clip.mpg valid 480x576 2500000 25.000000"});

    project.BeforeBurnDialog();
    EXPECT_EQ(engine.project, 0);
    project.AfterBurnDialog();
    EXPECT_EQ(engine.project, kCdProjectSuperVideoCd);
    EXPECT_EQ(engine.Calls(),
              (std::vector<std::string>{"Initialize(1)", "SetVideoScannerEventCallback",
                                        "SetVideoScanDoneEventCallback", "CreateProject(4)",
                                        "AddFile(/v/clip.mpg)", "DeleteProject", "DeleteProject",
                                        "CreateProject(4)"}));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST(CdScanProject, FailuresAreShownExceptWhenRemovingOneFile) {
    FakeCdEngine engine;
    platform::RecordingMessageBoxes boxes;
    NoHost host;
    CdWriter writer(engine, boxes, host);
    ScanRecorder scanning, mainDialog;
    CdScanProject project(engine, writer, kCdProjectVideoCd, scanning, mainDialog);
    engine.texts[2] = "not initialised";
    engine.failures = {{"Initialize", 2}, {"AddFile", 2}, {"ClearAll", 2}};
    project.Start();
    EXPECT_FALSE(project.AddFile("/v/a.mpg"));
    project.RemoveOne();
    project.RemoveAll();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(3, "error: not initialised"));
}

} // namespace

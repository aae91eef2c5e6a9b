#include "burner/writers/cd_writer.h"
#include "engines/cd/fake_cd_engine.h"
#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace engines;

namespace {

struct RecordingHost : CdWriterHost {
    std::vector<std::string> events;
    void SetStateValue(int state) override { events.push_back("state " + std::to_string(state)); }
    void MarkBurned() override { events.push_back("burned"); }
    void LogLine(const std::string& text) override { events.push_back("log " + text); }
    void OnCdProcess(float percent) override {
        events.push_back("process " + std::to_string(percent));
    }
    void OnCdFinalize() override { events.push_back("finalize"); }
    void OnCdBurnDone(const char* text) override {
        events.push_back(std::string("burn done ") + (text ? text : "(null)"));
    }
    void OnCdEraseDone() override { events.push_back("erase done"); }
};

struct CdWriterTest : ::testing::Test {
    FakeCdEngine engine;
    platform::RecordingMessageBoxes boxes;
    RecordingHost host;
    CdWriter writer{engine, boxes, host};
};

const std::uint32_t kReader = 0x001;

struct ListCase {
    const char* name;
    std::vector<FakeCdDevice> devices;
    std::vector<std::string> rows;
    int selected;
    std::vector<std::string> shown;
};

TEST_F(CdWriterTest, WriterListListsWritersAndSelectsTheOneWithACd) {
    const std::vector<ListCase> cases = {
        {"no devices", {}, {}, -1, {}},
        {"only the second is a writer",
         {{"D: reader", kReader, FakeCdMedium::BlankCdR()},
          {"E: writer", 0x200, FakeCdMedium::BlankCdR()},
          {"F: reader", kReader, FakeCdMedium::NoDisc()}},
         {"E: writer"},
         0,
         {}},
        {"two writers with CD-R: the second",
         {{"E: one", 0x400, FakeCdMedium::BlankCdR()},
          {"F: two", 0x600, FakeCdMedium::CdRWithData()}},
         {"E: one", "F: two"},
         1,
         {}},
        {"CD-RW counts as CD-R",
         {{"E: one", 0x600, FakeCdMedium::CdRwWithData()}, {"F: two", 0x600, FakeCdMedium::Dvd()}},
         {"E: one", "F: two"},
         0,
         {}},
        {"no CD anywhere: the last writer, no disc is silent",
         {{"E: one", 0x600, FakeCdMedium::NoDisc()}, {"F: two", 0x600, FakeCdMedium::Dvd()}},
         {"E: one", "F: two"},
         1,
         {}},
        {"a failing medium test is shown and the writer still listed",
         {{"E: one", 0x600, {5, "", 0}}},
         {"E: one"},
         0,
         {"error: engine error 5"}},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeCdEngine engine;
        platform::RecordingMessageBoxes boxes;
        CdWriter writer(engine, boxes, host);
        engine.devices = c.devices;
        WriterCombo list;
        writer.FillCdWriterList(list);
        EXPECT_EQ(list.rows, c.rows);
        EXPECT_EQ(list.selected, c.selected);
        EXPECT_EQ(boxes.Texts(), c.shown);
        EXPECT_EQ(engine.project, kCdProjectBurnImage);
    }
}

TEST_F(CdWriterTest, WriterListCallsTheEngineInOrder) {
    engine.devices = {{"D: reader", kReader, FakeCdMedium::BlankCdR()},
                      {"E: writer", 0x600, FakeCdMedium::NoDisc()}};
    WriterCombo list;
    writer.FillCdWriterList(list);
    const std::vector<std::string> expected = {"CreateProject(1)",
                                               "SetFinalizeEventCallback",
                                               "SetBurnDoneEventCallback",
                                               "SetProcessEventCallback",
                                               "SetEraseDoneEventCallback",
                                               "GetDevices(0)",
                                               "SetDevice(D)",
                                               "GetDeviceCapabilities",
                                               "SetDevice(E)",
                                               "GetDeviceCapabilities",
                                               "GetMediumInformation"};
    EXPECT_EQ(engine.Calls(), expected);
}

TEST_F(CdWriterTest, EngineFailuresWhileListingAreShown) {
    engine.texts[7] = "cannot create";
    engine.failures["CreateProject"] = 7;
    engine.failures["GetDevices"] = 8;
    WriterCombo list;
    writer.FillCdWriterList(list);
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::string>{"error: cannot create", "error: engine error 8"}));
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(CdWriterTest, ShowEngineErrorAsksForTheTextWith2048Bytes) {
    writer.ShowEngineError(0);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(engine.Calls().empty());
    engine.texts[3] = "Device not ready";
    writer.ShowEngineError(3);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"error: Device not ready"});
    EXPECT_EQ(engine.Calls(), std::vector<std::string>{"GetText(3,2048)"});
}

TEST_F(CdWriterTest, MediumTestPresetsTheRecord) {
    engine.devices = {{"E: writer", 0x600, FakeCdMedium::NoDisc()}};
    ASSERT_EQ(writer.SelectCdWriter('E'), 0);
    alignas(8) CdMediumInfo info; // its fields are compared by reference
    std::memset(&info, 0x55, sizeof info);
    EXPECT_EQ(writer.GetCdMedium(info), kCdNoDisc);
    EXPECT_STREQ(info.typeName, "BS_NDEF");
    EXPECT_EQ(info.status, -1);
    EXPECT_EQ(info.value40, -1.0);
    EXPECT_EQ(info.value68, -1);

    engine.devices[0].medium = FakeCdMedium::CdRwWithData();
    EXPECT_EQ(writer.GetCdMedium(info), 0);
    EXPECT_STREQ(info.typeName, "CD-RW");
    EXPECT_EQ(info.status, 1);
}

struct FailCase {
    const char* call;
    std::vector<std::string> calls; // what the writer called, in order
};

TEST_F(CdWriterTest, EraseSetsTheOptionAndErasesOrStopsAtTheFirstFailure) {
    const std::vector<FailCase> cases = {
        {"", {"GetOptions", "SetOptions", "Erase(1)"}},
        {"GetOptions", {"GetOptions", "GetText(9,2048)"}},
        {"SetOptions", {"GetOptions", "SetOptions", "GetText(9,2048)"}},
        {"Erase", {"GetOptions", "SetOptions", "Erase(1)", "GetText(9,2048)"}},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.call);
        FakeCdEngine engine;
        platform::RecordingMessageBoxes boxes;
        RecordingHost host;
        CdWriter writer(engine, boxes, host);
        engine.currentOptions.value128 = 1234;
        bool fails = *c.call != '\0';
        if (fails) engine.failures[c.call] = 9;
        EXPECT_EQ(writer.EraseCd(), fails ? -1 : 0);
        EXPECT_EQ(engine.Calls(), c.calls);
        if (fails) {
            EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"error: engine error 9"});
            EXPECT_TRUE(host.events.empty());
        } else {
            EXPECT_TRUE(boxes.Texts().empty());
            EXPECT_EQ(host.events, std::vector<std::string>{"state 1"});
            ASSERT_EQ(engine.setOptions.size(), 1u);
            EXPECT_EQ(engine.setOptions[0].value405, 0);
            EXPECT_EQ(engine.setOptions[0].value128, 1234); // the engine's own options kept
            EXPECT_EQ(engine.setOptions[0].value400, -1);
        }
    }
}

TEST_F(CdWriterTest, BurnHandsTheCueFileToTheEngine) {
    ASSERT_EQ(writer.BurnCdImage("/jobs/disc/VideoCD.cue", "HOLIDAY"), 0);
    EXPECT_EQ(engine.Calls(),
              (std::vector<std::string>{"GetOptions", "SetOptions", "ClearAll",
                                        "AddFile(/jobs/disc/VideoCD.cue)", "Prepare", "Burn"}));
    ASSERT_EQ(engine.addedFiles.size(), 1u);
    const CdFileRecord& r = engine.addedFiles[0];
    EXPECT_STREQ(r.targetFolder, "\\");
    EXPECT_EQ(r.flag, 0);
    EXPECT_EQ(r.value, 2);
    ASSERT_EQ(engine.setOptions.size(), 1u);
    const CdBurnOptions& o = engine.setOptions[0];
    EXPECT_STREQ(o.label, "HOLIDAY");
    EXPECT_EQ(o.value405, 1);
    EXPECT_EQ(o.value400, 8388608);
    EXPECT_EQ(host.events, std::vector<std::string>{"burned"});
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(CdWriterTest, BurnFailuresShowTheirTextAndStop) {
    struct Case {
        const char* call;
        std::int32_t code;
        std::vector<std::string> shown;
        std::vector<std::string> hostEvents;
        const char* lastCall;
    };
    const std::vector<Case> cases = {
        {"GetOptions", 4, {"error: engine error 4"}, {}, "GetText(4,2048)"},
        {"SetOptions", 4, {"error: engine error 4"}, {}, "GetText(4,2048)"},
        {"ClearAll", 4, {"error: engine error 4"}, {}, "GetText(4,2048)"},
        {"AddFile", 4, {"error: engine error 4"}, {}, "GetText(4,2048)"},
        {"Prepare", 4, {"error: engine error 4"}, {}, "GetText(4,2048)"},
        {"Burn", 4, {"error: engine error 4"}, {}, "GetText(4,2048)"},
        {"Burn", 21, {kCdNoBlankDiscMessage}, {"log No blank CD Disc in writer."}, "EjectDevice"},
        {"Burn", 22, {kCdNoBlankDiscMessage}, {"log No blank CD Disc in writer."}, "EjectDevice"},
        {"Burn", 23, {kCdNoBlankDiscMessage}, {"log No blank CD Disc in writer."}, "EjectDevice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + std::to_string(c.code));
        FakeCdEngine engine;
        platform::RecordingMessageBoxes boxes;
        RecordingHost host;
        CdWriter writer(engine, boxes, host);
        engine.failures[c.call] = c.code;
        EXPECT_EQ(writer.BurnCdImage("/x/VideoCD.cue", "L"), -1);
        EXPECT_EQ(boxes.Texts(), c.shown);
        EXPECT_EQ(host.events, c.hostEvents);
        EXPECT_EQ(engine.Calls().back(), c.lastCall);
    }
    EXPECT_STREQ(kCdNoBlankDiscMessage, "Please insert a blank writable disc into the driver.");
}

TEST_F(CdWriterTest, LongLabelIsCutToTheField) {
    ASSERT_EQ(writer.BurnCdImage("/x/VideoCD.cue", std::string(128, 'L')), 0);
    EXPECT_EQ(std::string(engine.setOptions[0].label), std::string(127, 'L'));
}

TEST_F(CdWriterTest, EventsReachTheHostInWhateverOrderTheEngineSends) {
    WriterCombo list;
    writer.FillCdWriterList(list);
    ASSERT_EQ(writer.BurnCdImage("/x/VideoCD.cue", "L"), 0);
    engine.FireProcess(12.5f);
    engine.FireEraseDone();
    engine.FireFinalize();
    engine.FireProcess(100.0f);
    engine.FireBurnDone("");
    engine.FireBurnDone("Write error");
    EXPECT_EQ(host.events, (std::vector<std::string>{"burned", "process 12.500000", "erase done",
                                                     "finalize", "process 100.000000", "burn done ",
                                                     "burn done Write error"}));
}

TEST_F(CdWriterTest, AbortDuringABurnReturnsTheEngineResult) {
    WriterCombo list;
    writer.FillCdWriterList(list);
    ASSERT_EQ(writer.BurnCdImage("/x/VideoCD.cue", "L"), 0);
    engine.FireProcess(40.0f);
    EXPECT_EQ(writer.AbortCd(), 0);
    engine.FireBurnDone("Aborted");
    EXPECT_EQ(host.events.back(), "burn done Aborted");
    EXPECT_EQ(engine.Calls().back(), "Abort");

    engine.failures["Abort"] = 6;
    EXPECT_EQ(writer.AbortCd(), 6);
    writer.EjectCd();
    EXPECT_EQ(engine.Calls().back(), "EjectDevice");
}

} // namespace

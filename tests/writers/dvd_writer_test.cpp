#include "burner/writers/dvd_writer.h"
#include "engines/dvd/fake_dvd_engine.h"
#include "platform/manual_message_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace engines;
namespace fs = std::filesystem;

namespace {

bool EngineEjected(const FakeDvdEngine& engine) {
    for (const std::string& call : engine.Calls())
        if (call == "Eject") return true;
    return false;
}

struct Event {
    unsigned message;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
    bool operator==(const Event&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Event& e) {
    return os << e.message << "/" << e.wParam << "/" << e.lParam;
}

struct EventWindow : platform::MessageTarget {
    std::vector<Event> events;
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam,
                                platform::LPARAM lParam) override {
        events.push_back({message, wParam, lParam});
        return 0;
    }
    bool Has(unsigned message, platform::WPARAM wParam) const {
        for (const Event& e : events)
            if (e.message == message && e.wParam == wParam) return true;
        return false;
    }
};

// Notes how many posted messages were waiting when each box came up, to tell whether a thread
// posted its failure before or after showing it.
struct OrderedBoxes : platform::RecordingMessageBoxes {
    platform::ManualMessageLoop* loop = nullptr;
    std::vector<std::size_t> pendingAtShow;
    int Show(const std::string& text, const std::string& caption, unsigned type) override {
        pendingAtShow.push_back(loop->Pending());
        return RecordingMessageBoxes::Show(text, caption, type);
    }
};

const DvdDeviceAddress kAddress{1, 0, 2, 0};

FakeDvdDevice Writer(const FakeDvdMedium& medium, std::string vendor = "PIONEER",
                     std::string product = "DVD-RW DVR-111D",
                     std::string name = "\\\\.\\E:", DvdDeviceAddress address = kAddress) {
    FakeDvdDevice d;
    d.address = address;
    d.vendor = vendor;
    d.product = product;
    d.name = name;
    d.medium = medium;
    return d;
}

struct DvdWriterTest : ::testing::Test {
    platform::ManualMessageLoop loop;
    EventWindow window;
    FakeDvdEngine engine;
    platform::RecordingMessageBoxes boxes;
    DvdWriter writer{engine, boxes};

    void SetUp() override { window.AttachLoop(&loop); }

    // Pumps until the window has the message, or a few seconds have passed.
    bool PumpUntil(unsigned message, platform::WPARAM wParam) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!window.Has(message, wParam) && std::chrono::steady_clock::now() < until)
            loop.PumpWait(std::chrono::milliseconds(50));
        return window.Has(message, wParam);
    }
    // Lets the thread end and delivers whatever it posted.
    void Finish() {
        writer.Join();
        loop.Pump();
    }
    void ExpectEngineClosed() {
        EXPECT_EQ(engine.Running(), 0);
        EXPECT_EQ(engine.OpenDevices(), 0);
        EXPECT_EQ(engine.LiveNodes(), 0);
    }
    bool Ejected() const { return EngineEjected(engine); }
};

// --- discovery -----------------------------------------------------------------------------

TEST_F(DvdWriterTest, ListsDvdWritersOnly) {
    engine.devices = {
        Writer(FakeDvdMedium::NoDisc(), "PIONEER", "DVR-111D", "\\\\.\\E:", {1, 0, 0, 0}),
        Writer(FakeDvdMedium::NoDisc(), "LITE-ON", "CD-RW", "\\\\.\\F:", {1, 0, 1, 0}),
        Writer(FakeDvdMedium::NoDisc(), " ", "USB DVD Writer", "\\\\.\\G:", {2, 1, 0, 0})};
    engine.devices[1].writesDvd = false;
    WriterCombo combo;
    writer.ListDvdWriters(combo);
    EXPECT_EQ(combo.rows, (std::vector<std::string>{"E: PIONEER DVR-111D", "USB DVD Writer"}));
    EXPECT_EQ(combo.selected, 0);
    ASSERT_EQ(writer.WriterCount(), 2);
    EXPECT_EQ(writer.Writer(1).port, 2u);
    EXPECT_EQ(writer.Writer(1).bus, 1u);
    EXPECT_EQ(writer.Writer(1).driveName, "G:");
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(engine.Calls()[1], "FindDevice(5,0)");
    ExpectEngineClosed();
}

TEST_F(DvdWriterTest, TheEleventhDvdWriterIsNotListed) {
    for (std::uint8_t i = 0; i < 11; ++i)
        engine.devices.push_back(Writer(FakeDvdMedium::NoDisc(), "V", "P" + std::to_string(i),
                                        "\\\\.\\E:", {i, 0, 0, 0}));
    WriterCombo combo;
    writer.ListDvdWriters(combo);
    EXPECT_EQ(combo.GetCount(), 10);
    EXPECT_EQ(combo.rows.back(), "E: V P9");
    ExpectEngineClosed();
}

TEST_F(DvdWriterTest, DiscoveryFailures) {
    struct Case {
        const char* role;
        FakeDvdFailure failure;
        std::vector<std::string> shown;
        int rows;
    };
    const std::vector<Case> cases = {
        {"UpStart", {3, 0, ""}, {}, 0},
        {"Create",
         {3, 9, "busy"},
         {"Start DVD Burner Engine failed! \n\nFindDeviceCallback:Create() failed, exception 3, "
          "status 9, text 'busy'\n"},
         0},
        {"GetDeviceNameByDeviceAddress",
         {26, 0, ""},
         {"Create DVD Burner Engine failed! \n\nFindDeviceback:GetDeviceNameByDeviceAddress() "
          "failed, exception 26 ( 0x1a )\n"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.role);
        FakeDvdEngine engine;
        platform::RecordingMessageBoxes boxes;
        DvdWriter writer(engine, boxes);
        engine.devices = {Writer(FakeDvdMedium::NoDisc())};
        engine.failures[c.role] = c.failure;
        WriterCombo combo;
        writer.ListDvdWriters(combo);
        EXPECT_EQ(boxes.Texts(), c.shown);
        EXPECT_EQ(combo.GetCount(), c.rows);
        EXPECT_EQ(combo.selected, -1);
        EXPECT_EQ(engine.Running(), 0);
        EXPECT_EQ(engine.OpenDevices(), 0);
    }
}

// --- disc check ----------------------------------------------------------------------------

TEST_F(DvdWriterTest, DiscCheckForEachMedium) {
    const char* notWritable = "The inserted disc is not a writable dvd disc. Please insert a "
                              "writable dvd disc into the driver.";
    const char* notEmpty = "The inserted disc is not a empty dvd disc. Please insert a blank "
                           "disc into the driver.";
    struct Case {
        const char* name;
        FakeDvdMedium medium;
        DvdDiscInfo info;
        std::vector<std::string> shown;
        bool ejected;
    };
    FakeDvdMedium plusRw{true, 13, 2, 7}; // erasable byte 2 is not the erasable 1
    const std::vector<Case> cases = {
        {"blank DVD-R", FakeDvdMedium::BlankDvdR(), {1, 0, 1}, {}, false},
        {"blank DVD-RW", FakeDvdMedium::BlankDvdRw(), {1, 1, 1}, {}, false},
        {"DVD-RW with data", FakeDvdMedium::DvdRwWithData(), {1, 1, 0}, {}, false},
        {"DVD+RW, erasable 2, with data", plusRw, {1, 2, 0}, {}, false},
        {"DVD-R with data", FakeDvdMedium::DvdRWithData(), {0, 0, 0}, {notEmpty}, true},
        {"CD-R", FakeDvdMedium::CdR(), {0, 0, 1}, {notWritable}, true},
        {"no disc",
         FakeDvdMedium::NoDisc(),
         {0, 0, 0},
         {"No disc in the writer. Please insert a writable dvd disc into the driver."},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDvdEngine engine;
        platform::RecordingMessageBoxes boxes;
        DvdWriter writer(engine, boxes);
        engine.devices = {Writer(c.medium)};
        DvdDiscInfo info;
        writer.GetInsertedDiscInfo(info, 1, 0, 2, 0);
        EXPECT_EQ(info.isWritableDvd, c.info.isWritableDvd);
        EXPECT_EQ(info.isErasable, c.info.isErasable);
        EXPECT_EQ(info.isBlank, c.info.isBlank);
        EXPECT_EQ(boxes.Texts(), c.shown);
        EXPECT_EQ(EngineEjected(engine), c.ejected);
        EXPECT_EQ(engine.Running(), 0);
        EXPECT_EQ(engine.OpenDevices(), 0);
    }
}

TEST_F(DvdWriterTest, DiscCheckEngineFailures) {
    struct Case {
        const char* role;
        std::string shown;
        bool ejected;
    };
    const std::vector<Case> cases = {
        {"UpStart",
         "Initialize DVD Burner Engine failed! \n\nGetInsertedDiscInfo: UpStart() failed, "
         "exception 7\n",
         false},
        {"Create",
         "Start DVD Burner Engine failed! \n\nGetInsertedDiscInfo: Create() failed, exception 7, "
         "status 4, text 'no access'\n",
         false},
        {"GetTrackInformation", "Please insert a blank writable DVD disc into the driver.", true},
        {"GetDiscInformation",
         "Get disc info failed. Please insert a writable dvd disc into the driver.\n\n"
         "GetInsertedDiscInfo:GetDiscInformation() failed, exception 7, status 4, text 'no "
         "access'\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.role);
        FakeDvdEngine engine;
        platform::RecordingMessageBoxes boxes;
        DvdWriter writer(engine, boxes);
        engine.devices = {Writer(FakeDvdMedium::BlankDvdR())};
        engine.failures[c.role] = {7, 4, "no access"};
        DvdDiscInfo info;
        info.isWritableDvd = 1;
        writer.GetInsertedDiscInfo(info, 1, 0, 2, 0);
        EXPECT_EQ(info.isWritableDvd, 0);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.shown});
        EXPECT_EQ(EngineEjected(engine), c.ejected);
        EXPECT_EQ(engine.Running(), 0);
        EXPECT_EQ(engine.OpenDevices(), 0);
    }
}

// --- erase ---------------------------------------------------------------------------------

TEST_F(DvdWriterTest, EraseReportsStartAndEnd) {
    engine.devices = {Writer(FakeDvdMedium::DvdRwWithData())};
    writer.StartDvdErase(&window, 1, 0, 2, 0);
    Finish();
    EXPECT_EQ(window.events,
              (std::vector<Event>{{WM_DVD_ERASE_EVENT, 0, 0}, {WM_DVD_ERASE_EVENT, 2, 0}}));
    EXPECT_TRUE(boxes.Texts().empty());
    std::vector<std::string> calls = engine.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetSpeeds(65535,65535)"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Create(64)"), calls.end());
    EXPECT_EQ(calls.end()[-3], "Erase(1)");
    ExpectEngineClosed();
}

TEST_F(DvdWriterTest, EraseFailuresPostFirstThenShow) {
    struct Case {
        const char* role;
        std::string shown;
        bool ejected;
    };
    const std::vector<Case> cases = {
        {"UpStart", "Initialize DVD Burner Engine failed!\n\nBlank:UpStart() failed, exception 5\n",
         false},
        {"Create",
         "Start DVD Burner Engine failed!\n\nBlank:Create() failed, exception 5, status 2, text "
         "'gone'\n",
         false},
        {"TestUnitReady",
         "No disc in the writer. Please insert a writable dvd disc into the driver.", true},
        {"GetSpeeds",
         "Get DVD Burner Engine speed failed!\n\nBlank:GetSpeeds() failed, exception 5, status "
         "2, text 'gone'\n",
         true},
        {"Erase",
         "Erase DVD disc failed!\n\nBlank: Erase() failed, exception 5, status 2, text 'gone'\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.role);
        platform::ManualMessageLoop loop;
        EventWindow window;
        window.AttachLoop(&loop);
        FakeDvdEngine engine;
        OrderedBoxes boxes;
        boxes.loop = &loop;
        {
            DvdWriter writer(engine, boxes);
            engine.devices = {Writer(FakeDvdMedium::DvdRwWithData())};
            engine.failures[c.role] = {5, 2, "gone"};
            writer.StartDvdErase(&window, 1, 0, 2, 0);
        }
        loop.Pump();
        EXPECT_EQ(window.events,
                  (std::vector<Event>{{WM_DVD_ERASE_EVENT, 0, 0}, {WM_DVD_ERASE_EVENT, 1, 0}}));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.shown});
        EXPECT_EQ(boxes.pendingAtShow, std::vector<std::size_t>{2}); // started, failed
        EXPECT_EQ(EngineEjected(engine), c.ejected);
        EXPECT_EQ(engine.Running(), 0);
        EXPECT_EQ(engine.OpenDevices(), 0);
    }
}

// --- write ---------------------------------------------------------------------------------

class DvdFolder {
  public:
    DvdFolder() {
        char pattern[] = "/tmp/pellam_dvd_XXXXXX";
        root_ = std::string(mkdtemp(pattern)) + "/";
        fs::create_directories(root_ + "VIDEO_TS");
        fs::create_directories(root_ + "AUDIO_TS");
        for (const char* f :
             {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_01_0.BUP"})
            std::ofstream(root_ + "VIDEO_TS/" + f) << "data";
    }
    ~DvdFolder() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    const std::string& Root() const { return root_; }

  private:
    std::string root_;
};

TEST_F(DvdWriterTest, WriteOfTheDvdFolderReportsEachStageInOrder) {
    DvdFolder folder;
    engine.devices = {Writer(FakeDvdMedium::BlankDvdR())};
    engine.PushProgress(kDvdWrittenEvent, 1000, 10);  // 1%
    engine.PushProgress(kDvdWrittenEvent, 1000, 19);  // still 1%: not posted
    engine.PushProgress(kDvdWrittenEvent, 1000, 500); // 50%
    engine.PushProgress(kDvdWrittenEvent, 1000, 1000);
    engine.PushProgress(kDvdFinalizeEvent, 0, 0);
    engine.PushWriteEnd();
    writer.StartDvdBurn(&window, folder.Root(), "HOLIDAY", 1, 0, 2, 0);
    Finish();
    EXPECT_EQ(window.events, (std::vector<Event>{{WM_DVD_BURN_EVENT, 0, 0},
                                                 {WM_DVD_BURN_EVENT, 1, 0},
                                                 {WM_DVD_BURN_EVENT, 3, 1},
                                                 {WM_DVD_BURN_EVENT, 3, 50},
                                                 {WM_DVD_BURN_EVENT, 3, 100},
                                                 {WM_DVD_BURN_EVENT, 2, 0},
                                                 {WM_DVD_BURN_EVENT, 5, 0}}));
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(engine.udfLabel, "HOLIDAY");
    ASSERT_EQ(engine.FileNodes().size(), 5u);
    EXPECT_EQ(engine.FileNodes()[0], folder.Root() + "VIDEO_TS/VIDEO_TS.IFO");
    std::vector<std::string> calls = engine.Calls();
    auto at = [&](const std::string& c) { return std::find(calls.begin(), calls.end(), c); };
    EXPECT_LT(at("SetBUP(1)"), at("TrackAtOnceFromTree(1,0,1,1,5)"));
    EXPECT_LT(at("TrackAtOnceFromTree(1,0,1,1,5)"), at("FinishWrite"));
    EXPECT_LT(at("FinishWrite"), at("Eject"));
    ExpectEngineClosed();
}

TEST_F(DvdWriterTest, EventsArePostedInTheOrderTheEngineSendsThem) {
    DvdFolder folder;
    engine.devices = {Writer(FakeDvdMedium::BlankDvdRw())};
    writer.StartDvdBurn(&window, folder.Root() + "VIDEO_TS/", "L", 1, 0, 2, 0);
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnWriting));
    engine.PushProgress(kDvdFinalizeEvent, 0, 0);
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnFinalizing));
    engine.PushProgress(kDvdWrittenEvent, 200, 60); // 30%
    engine.PushProgress(kDvdWrittenEvent, 200, 40); // back to 20%
    engine.PushProgress(kDvdWrittenEvent, 200, 41);
    engine.PushProgress(kDvdWrittenEvent, 0, 0); // no total: nothing to compute
    engine.PushWriteEnd();
    Finish();
    EXPECT_EQ(window.events, (std::vector<Event>{{WM_DVD_BURN_EVENT, 0, 0},
                                                 {WM_DVD_BURN_EVENT, 1, 0},
                                                 {WM_DVD_BURN_EVENT, 2, 0},
                                                 {WM_DVD_BURN_EVENT, 3, 30},
                                                 {WM_DVD_BURN_EVENT, 3, 20},
                                                 {WM_DVD_BURN_EVENT, 5, 0}}));
    ExpectEngineClosed();
}

TEST_F(DvdWriterTest, AbortDuringTheWriteEndsItSilently) {
    DvdFolder folder;
    engine.devices = {Writer(FakeDvdMedium::BlankDvdR())};
    engine.PushProgress(kDvdWrittenEvent, 100, 40);
    engine.PushAwaitAbort();
    writer.StartDvdBurn(&window, folder.Root(), "L", 1, 0, 2, 0);
    ASSERT_TRUE(PumpUntil(WM_DVD_BURN_EVENT, kDvdBurnProgress));
    writer.AbortDvdBurn();
    Finish();
    EXPECT_EQ(window.events, (std::vector<Event>{{WM_DVD_BURN_EVENT, 0, 0},
                                                 {WM_DVD_BURN_EVENT, 1, 0},
                                                 {WM_DVD_BURN_EVENT, 3, 40},
                                                 {WM_DVD_BURN_EVENT, 4, 0}}));
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_FALSE(Ejected());
    ExpectEngineClosed();
    writer.AbortDvdBurn(); // nothing runs: no call
    EXPECT_EQ(engine.Calls().back(), "ShutDown");
}

TEST_F(DvdWriterTest, WriteFailuresPostFailureShowTheirTextAndEjectWhereTheyShould) {
    struct Case {
        const char* name;
        std::function<void(FakeDvdEngine&)> arrange;
        std::string shown;
        bool ejected;
    };
    auto fails = [](const char* role) {
        return [role](FakeDvdEngine& e) { e.failures[role] = {6, 3, "bad"}; };
    };
    auto medium = [](FakeDvdMedium m) {
        return [m](FakeDvdEngine& e) { e.devices[0].medium = m; };
    };
    const std::vector<Case> cases = {
        {"UpStart", fails("UpStart"),
         "Initialize DVD Burner Engine failed! \n\nDVDVideoBurn: UpStart() failed, exception 6\n",
         false},
        {"BuildUdf", fails("BuildUdf"),
         "Create UDF system failed, exception 6, status 3, text 'bad'", false},
        {"Create", fails("Create"),
         "Construct DVD burner failed!\n\nDVDVideoBurn:Create() exception 6, status 3, text 'bad'",
         false},
        {"ProbeSupportedWriteModes", fails("ProbeSupportedWriteModes"),
         "Probe supported write modes failed!\n\nDVDVideoBurn:ProbeSupportedWriteModes() "
         "exception 6, status 3, text 'bad'",
         false},
        {"no track-at-once", [](FakeDvdEngine& e) { e.taoSupported = 0; },
         "Track-At-Once is unsupported!", false},
        {"no disc", medium(FakeDvdMedium::NoDisc()),
         "No disc in the writer,please check if a disc in the writer.", true},
        {"GetTrackInformation", fails("GetTrackInformation"),
         "DVDVideoBurn: GetTrackInformation() failed, exception 6, status 3, text 'bad'\n", false},
        {"GetDiscInformation", fails("GetDiscInformation"),
         "Get disc information failed! DVDVideoBurn:GetDiscInformation() exception 6, status 3, "
         "text 'bad'\n",
         true},
        {"a CD", medium(FakeDvdMedium::CdR()),
         "The inserted disc is not a writable dvd disc. Please insert a writable dvd disc into "
         "the driver.",
         true},
        {"a DVD-RW with data", medium(FakeDvdMedium::DvdRwWithData()),
         "The inserted disc is not a empty dvd disc. Please insert a blank disc into the "
         "driver.",
         true},
        {"GetBUP", fails("GetBUP"),
         "Getting buffer underrun protection failed!\n\nDVDVideoBurn:GetBUP() exception 6, "
         "status 3, text 'bad'\n",
         true},
        {"SetBUP", fails("SetBUP"),
         "Setting buffer underrun protection failed!\n\nDVDVideoBurn:SetBUP() exception 6, "
         "status 3, text 'bad'\n",
         true},
        {"the write",
         [](FakeDvdEngine& e) {
             FakeDvdWriteStep end{FakeDvdWriteStep::kReturn};
             end.result = {14, 0, "medium error"}; // 14 with a changed status is no abort
             e.PushWriteStep(end);
         },
         "Writting failed!\n\n DVDVideoBurn:TrackAtOnceFromTree() exception 14, status 0, text "
         "'medium error'\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DvdFolder folder;
        platform::ManualMessageLoop loop;
        EventWindow window;
        window.AttachLoop(&loop);
        FakeDvdEngine engine;
        OrderedBoxes boxes;
        boxes.loop = &loop;
        engine.devices = {Writer(FakeDvdMedium::BlankDvdR())};
        c.arrange(engine);
        {
            DvdWriter writer(engine, boxes);
            writer.StartDvdBurn(&window, folder.Root(), "L", 1, 0, 2, 0);
        }
        loop.Pump();
        ASSERT_FALSE(window.events.empty());
        EXPECT_EQ(window.events.front(), (Event{WM_DVD_BURN_EVENT, 0, 0}));
        EXPECT_EQ(window.events.back(), (Event{WM_DVD_BURN_EVENT, 4, 0}));
        EXPECT_FALSE(window.Has(WM_DVD_BURN_EVENT, kDvdBurnSucceeded));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.shown});
        // The failure is posted before its box, after "writing begins" for the write itself.
        std::size_t posted = std::string(c.name) == "the write" ? 3 : 2;
        EXPECT_EQ(boxes.pendingAtShow, std::vector<std::size_t>{posted});
        EXPECT_EQ(EngineEjected(engine), c.ejected);
        EXPECT_EQ(engine.Running(), 0);
        EXPECT_EQ(engine.OpenDevices(), 0);
        EXPECT_EQ(engine.LiveNodes(), 0);
    }
}

TEST_F(DvdWriterTest, AFolderWithoutTheTitleFilesIsRefusedBeforeTheEngineWrites) {
    DvdFolder folder;
    fs::remove(folder.Root() + "VIDEO_TS/VTS_01_1.VOB");
    engine.devices = {Writer(FakeDvdMedium::BlankDvdR())};
    OrderedBoxes ordered;
    ordered.loop = &loop;
    DvdWriter writer(engine, ordered);
    writer.StartDvdBurn(&window, folder.Root(), "L", 1, 0, 2, 0);
    writer.Join();
    loop.Pump();
    // This one is shown before the failure is posted.
    EXPECT_EQ(ordered.pendingAtShow, std::vector<std::size_t>{1});
    EXPECT_EQ(ordered.Texts(), std::vector<std::string>{"Could not find file " + folder.Root() +
                                                        "VIDEO_TS/vts_01_1.vob"});
    EXPECT_EQ(window.events.back(), (Event{WM_DVD_BURN_EVENT, 4, 0}));
    for (const std::string& c : engine.Calls())
        EXPECT_NE(c, "Create(64)");
    ExpectEngineClosed();
}

TEST_F(DvdWriterTest, ALongLabelIsCutBetweenCharacters) {
    DvdFolder folder;
    engine.devices = {Writer(FakeDvdMedium::BlankDvdR())};
    engine.PushWriteEnd();
    std::string label = std::string(254, 'a') + "\xC3\xA9"; // 256 bytes, the last letter two
    writer.StartDvdBurn(&window, folder.Root(), label, 1, 0, 2, 0);
    Finish();
    EXPECT_EQ(engine.udfLabel, std::string(254, 'a'));
    EXPECT_EQ(window.events.back(), (Event{WM_DVD_BURN_EVENT, 5, 0}));
}

TEST_F(DvdWriterTest, AFailedEjectAfterTheWriteStillSucceeds) {
    DvdFolder folder;
    engine.devices = {Writer(FakeDvdMedium::BlankDvdR())};
    engine.failures["Eject"] = {8, 1, "tray locked"};
    engine.PushWriteEnd();
    writer.StartDvdBurn(&window, folder.Root(), "L", 1, 0, 2, 0);
    Finish();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Ejecting the disc failed, exception 8, "
                                                      "status 1, text 'tray locked'\n"});
    EXPECT_EQ(window.events.back(), (Event{WM_DVD_BURN_EVENT, 5, 0}));
    ExpectEngineClosed();
}

} // namespace

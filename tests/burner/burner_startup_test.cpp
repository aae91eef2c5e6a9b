#include "burner_startup.h"
#include "test_files.h"

#include "platform/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using testfiles::ReadAll;

using platform::RegistryRoot;

TEST(ParseDiscMode, TakesTheLetterAfterTheFirstHashPastTheProgramName) {
    struct Case {
        const char* line;
        bool ok;
        int mode;
    } cases[] = {
        {"Vandrel #D", true, DISC_DVD},
        {"Vandrel #V", true, DISC_VCD},
        {"Vandrel #S", true, DISC_SVCD},
        {"Vandrel xy#S", true, DISC_SVCD},
        {"Vandrel -x #S", true, DISC_SVCD},
        {"Vandrel #S#D", true, DISC_SVCD},
        {"Vandrel\t#D", true, DISC_DVD},
        {"Vandrel #Dextra", true, DISC_DVD},
        {"\"/opt/my apps/Vandrel\" #D", true, DISC_DVD},
        {"\"/opt/#V dir/Vandrel\" #S", true, DISC_SVCD},
        {"/opt/a#V/Vandrel #S", true, DISC_SVCD},
        {"Vandrel #d", false, -1},
        {"Vandrel #X", false, -1},
        {"Vandrel #", false, -1},
        {"Vandrel D", false, -1},
        {"Vandrel", false, -1},
        {"Vandrel    ", false, -1},
        {"/opt/a#V/Vandrel", false, -1},
        {"\"/opt/unclosed #D", false, -1},
        {"", false, -1},
    };
    for (const Case& c : cases) {
        DiscMode = 7; // untouched by a line that names no mode
        EXPECT_EQ(ParseDiscMode(c.line), c.ok) << c.line;
        EXPECT_EQ(DiscMode, c.ok ? c.mode : 7) << c.line;
    }
    EXPECT_FALSE(ParseDiscMode(nullptr));
}

TEST(ParseDiscMode, CommandLineFromArgsQuotesAProgramPathWithBlanks) {
    const char* argv[] = {"/opt/my apps/Vandrel", "#D"};
    EXPECT_EQ(CommandLineFromArgs(2, argv), "\"/opt/my apps/Vandrel\" #D");
    ASSERT_TRUE(ParseDiscMode(CommandLineFromArgs(2, argv).c_str()));
    EXPECT_EQ(DiscMode, DISC_DVD);
    const char* bare[] = {"/opt/my apps/Vandrel"};
    EXPECT_FALSE(ParseDiscMode(CommandLineFromArgs(1, bare).c_str()));
}

const char kDirectXKey[] = "SOFTWARE\\Microsoft\\DirectX\\";

TEST(DirectXVersion, TableThenTheFourthCharacter) {
    struct Case {
        const char* version;
        int result;
    } cases[] = {
        {"4.05.00.0155", 50},
        {"4.05.01.1721", 50},
        {"4.05.01.1998", 50},
        {"4.06.02.0436", 60},
        {"4.07.00.0700", 70},
        {"4.07.00.0716", 71},
        {"4.08.00.0400", 80},
        {"4.08.01.0881", 85},
        {"4.09.00.0900", 90},
        {"4.09.00.0901", 91},
        {"4.09.00.0902", 92},
        {"4.09.00.0904", 90},
        {"4.09.00.0902-more", 92},
        {"4.07.00.07", 70},
        {"4.06.99", 60},
        {"4.05", 50},
        {"4.0", 93},
        {"", 93},
        {"5.00.00.0000", 93},
        {"4.0x.00.0000", 93},
    };
    for (const Case& c : cases) {
        platform::TableRegistry reg;
        reg.Put(RegistryRoot::LocalMachine, kDirectXKey, "Version", c.version);
        platform::RecordingMessageBoxes boxes;
        EXPECT_EQ(GetDirectXVersion(reg, boxes), c.result) << c.version;
        EXPECT_TRUE(boxes.Texts().empty());
    }
    platform::RecordingMessageBoxes boxes;
    EXPECT_EQ(GetDirectXVersion(platform::DesktopRegistry(), boxes), 90);
}

TEST(DirectXVersion, UnreadableRegistryTellsTheUserAndGivesMinusOne) {
    platform::TableRegistry noKey, noValue;
    noValue.PutKey(RegistryRoot::LocalMachine, kDirectXKey);
    for (const platform::TableRegistry* reg : {&noKey, &noValue}) {
        platform::RecordingMessageBoxes boxes;
        EXPECT_EQ(GetDirectXVersion(*reg, boxes), -1);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Fail to read register!  "});
    }
}

// One log of what the fakes were asked, in order.
struct Journal {
    std::vector<std::string> events;
};

class FakeLoader : public platform::LibraryLoader {
  public:
    explicit FakeLoader(Journal& j) : m_j(j) {}
    platform::LibraryHandle Load(const std::string& name) override {
        m_j.events.push_back("load " + name);
        return loads ? &m_library : nullptr;
    }
    void* Symbol(platform::LibraryHandle h, const std::string& name) override {
        m_j.events.push_back("symbol " + name);
        return h == &m_library && exports ? &m_entry : nullptr;
    }
    void Free(platform::LibraryHandle h) override {
        m_j.events.push_back(h == &m_library ? "free" : "free other");
    }
    bool loads = true, exports = true;
    int m_library = 0, m_entry = 0;

  private:
    Journal& m_j;
};

class FakeSkin : public SkinEngine {
  public:
    explicit FakeSkin(Journal& j) : m_j(j) {}
    int Start() override {
        m_j.events.push_back("skin start");
        return starts ? 1 : 0;
    }
    int LoadSkinFromResource(const void* module, int resource, const char* type) override {
        m_j.events.push_back(std::string("skin load ") + (module ? "module" : "null") + " " +
                             std::to_string(resource) + " " + type);
        return 1;
    }
    int Shutdown() override {
        m_j.events.push_back("skin shutdown");
        return 1;
    }
    bool starts = true;

  private:
    Journal& m_j;
};

class FakeDialog : public MainDialogHost {
  public:
    FakeDialog(Journal& j, const BurnSettings& s) : m_j(j), m_s(s) {}
    int RunMainDialog(const std::string& title) override {
        m_j.events.push_back("dialog [" + title + "]" + (m_s.Loaded() ? " settings read" : ""));
        return 1;
    }

  private:
    Journal& m_j;
    const BurnSettings& m_s;
};

class Startup : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.Ok());
        m_path = m_tmp.Path() + "param.ini";
        std::ofstream(m_path, std::ios::binary) << kStored;
        m_registry.Put(RegistryRoot::LocalMachine, kDirectXKey, "Version", "4.09.00.0904");
    }
    // Runs start-up and exit as the program does and gives the journal.
    std::vector<std::string> Run(const std::string& commandLine) {
        CBurnerApp app({m_registry, m_boxes, m_loader, m_skin, m_dialog, m_settings, m_path});
        EXPECT_FALSE(app.InitInstance(commandLine));
        m_title = app.m_strTitle;
        m_stage = app.LastStage();
        m_j.events.push_back("exit");
        EXPECT_EQ(app.ExitInstance(), 0);
        EXPECT_EQ(g_hMjpgTools, nullptr);
        EXPECT_EQ(g_pfnMplex, nullptr);
        return m_j.events;
    }
    static constexpr const char* kStored = "[Vandrel]\r\nOutputFolder=/mine/\r\nAspectRatio=1\r\n"
                                           "[main]\r\nTVType=1\r\n";
    platform::PrivateTempFolder m_tmp;
    std::string m_path;
    Journal m_j;
    platform::TableRegistry m_registry;
    platform::RecordingMessageBoxes m_boxes;
    FakeLoader m_loader{m_j};
    FakeSkin m_skin{m_j};
    BurnSettings m_settings;
    FakeDialog m_dialog{m_j, m_settings};
    std::string m_title;
    CBurnerApp::Stage m_stage{};
};

TEST_F(Startup, AFullRunInOrder) {
    std::vector<std::string> expected{"load libmjpgTools.so",
                                      "symbol mplex",
                                      "skin start",
                                      "skin load null 129 RT_SKINMAGIC",
                                      "dialog [Pellam ] settings read",
                                      "exit",
                                      "free",
                                      "skin shutdown"};
    EXPECT_EQ(Run("/usr/bin/Vandrel #D"), expected);
    EXPECT_EQ(m_stage, CBurnerApp::Stage::DialogRan);
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_STREQ(m_settings.outputFolder, "/mine/");
    EXPECT_EQ(m_settings.tvType, 1);
    // Exit stored all five keys, keeping the values read.
    std::string stored = ReadAll(m_path);
    EXPECT_NE(stored.find("OutputFolder=/mine/\r\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("LetterBox=1\r\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("AspectRatio=1\r\n"), std::string::npos) << stored;
}

TEST_F(Startup, TitleByDiscMode) {
    struct Case {
        const char* line;
        const char* title;
    } cases[] = {
        {"Vandrel #V", "Orvanta MPEG to VCD Burner "},
        {"Vandrel #S", "Orvanta MPEG to SVCD Burner "},
        {"Vandrel #D", "Pellam "},
    };
    for (const Case& c : cases) {
        m_j.events.clear();
        Run(c.line);
        EXPECT_EQ(m_title, c.title) << c.line;
    }
}

TEST_F(Startup, EveryRefusalShowsItsBoxAndLeavesTheSettingsFileAlone) {
    struct Case {
        const char* name;
        const char* line;
        const char* version; // null: no DirectX key
        bool loads, exports;
        std::vector<std::string> boxes;
        std::vector<std::string> events;
        CBurnerApp::Stage stage;
    } cases[] = {
        {"no mode",
         "Vandrel #x",
         "4.09.00.0904",
         true,
         true,
         {},
         {"exit"},
         CBurnerApp::Stage::NoDiscMode},
        {"no key",
         "Vandrel #D",
         nullptr,
         true,
         true,
         {"Fail to read register!  ", "This program needs directX 8.0 or greater to run!   "},
         {"exit"},
         CBurnerApp::Stage::NoDirectX},
        {"old DirectX",
         "Vandrel #V",
         "4.07.00.0716",
         true,
         true,
         {"This program needs directX 8.0 or greater to run!   "},
         {"exit"},
         CBurnerApp::Stage::NoDirectX},
        {"no library",
         "Vandrel #D",
         "4.08.00.0400",
         false,
         true,
         {"Can't load mplex DLL!"},
         {"load libmjpgTools.so", "exit"},
         CBurnerApp::Stage::NoLibrary},
        {"no entry",
         "Vandrel #S",
         "4.09.00.0904",
         true,
         false,
         {"Load mplex DLL error!"},
         {"load libmjpgTools.so", "symbol mplex", "exit", "free"},
         CBurnerApp::Stage::NoEntry},
    };
    for (const Case& c : cases) {
        m_j.events.clear();
        platform::RecordingMessageBoxes boxes;
        platform::TableRegistry registry;
        if (c.version) registry.Put(RegistryRoot::LocalMachine, kDirectXKey, "Version", c.version);
        FakeLoader loader(m_j);
        loader.loads = c.loads;
        loader.exports = c.exports;
        BurnSettings settings;
        CBurnerApp app({registry, boxes, loader, m_skin, m_dialog, settings, m_path});
        EXPECT_FALSE(app.InitInstance(c.line)) << c.name;
        EXPECT_EQ(app.LastStage(), c.stage) << c.name;
        m_j.events.push_back("exit");
        EXPECT_EQ(app.ExitInstance(), 0);
        EXPECT_EQ(boxes.Texts(), c.boxes) << c.name;
        for (const auto& box : boxes.Boxes())
            EXPECT_EQ(box.type, platform::MB_OK) << c.name;
        EXPECT_EQ(m_j.events, c.events) << c.name;
        EXPECT_EQ(app.m_bSkinStarted, 0);
        EXPECT_EQ(ReadAll(m_path), kStored) << c.name;
    }
}

TEST_F(Startup, ASkinThatDoesNotStartIsNotShutDown) {
    m_skin.starts = false;
    std::vector<std::string> events = Run("Vandrel #V");
    EXPECT_EQ(events, (std::vector<std::string>{
                          "load libmjpgTools.so", "symbol mplex", "skin start",
                          "dialog [Orvanta MPEG to VCD Burner ] settings read", "exit", "free"}));
}

TEST_F(Startup, MplexIsFoundAndKeptWhileTheDialogRuns) {
    class Peek : public MainDialogHost {
      public:
        explicit Peek(FakeLoader& l) : loader(l) {}
        int RunMainDialog(const std::string&) override {
            library = g_hMjpgTools == &loader.m_library;
            entry = g_pfnMplex == &loader.m_entry;
            return 1;
        }
        FakeLoader& loader;
        bool library = false, entry = false;
    } peek(m_loader);
    CBurnerApp app({m_registry, m_boxes, m_loader, m_skin, peek, m_settings, m_path});
    app.InitInstance("Vandrel #D");
    app.ExitInstance();
    EXPECT_TRUE(peek.library);
    EXPECT_TRUE(peek.entry);
}

} // namespace

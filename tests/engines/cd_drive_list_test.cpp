#include "cd_engine_support.h"

#include "burner/writers/cd_writer.h"
#include "engines/cd/cd_drive_list.h"
#include "engines/cd/system_cd_engine.h"
#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace engines;

namespace {

// As the kernel prints it: the newest drive first, tab-aligned columns.
const char kTwoDrives[] = "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n"
                          "\n"
                          "drive name:\t\tsr1\tsr0\n"
                          "drive speed:\t\t48\t24\n"
                          "drive # of slots:\t1\t1\n"
                          "Can close tray:\t\t1\t1\n"
                          "Can open tray:\t\t1\t1\n"
                          "Can play audio:\t\t1\t1\n"
                          "Can write CD-R:\t\t0\t1\n"
                          "Can write CD-RW:\t0\t1\n"
                          "Can read DVD:\t\t1\t1\n"
                          "Can write DVD-R:\t0\t1\n"
                          "Can write DVD-RAM:\t0\t0\n"
                          "Can read MRW:\t\t1\t1\n"
                          "\n\n";

class DriveFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        paths_.cdromInfo = dir_.File("info");
        paths_.sysBlock = dir_.File("block");
        paths_.devDir = dir_.File("dev");
    }
    void Info(const std::string& text) { std::ofstream(paths_.cdromInfo) << text; }
    void Sysfs(const std::string& name, const std::string& vendor, const std::string& model) {
        const std::string device = paths_.sysBlock + "/" + name + "/device";
        std::filesystem::create_directories(device);
        std::ofstream(device + "/vendor") << vendor << "\n";
        std::ofstream(device + "/model") << model << "\n";
    }

    cdtest::TempDir dir_;
    CdDrivePaths paths_;
};

TEST_F(DriveFolder, TheRecorderThenDrivesInNumberOrder) {
    Info(kTwoDrives);
    Sysfs("sr0", "HL-DT-ST", "DVDRAM GP50NB40 "); // sysfs pads the model
    Sysfs("sr1", "ASUS    ", "DVD-E818A9T");
    std::vector<CdDrive> drives = DiscoverCdDrives(paths_);
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[1].text, "D: HL-DT-ST DVDRAM GP50NB40 (sr0)");
    EXPECT_EQ(drives[1].devicePath, dir_.File("dev/sr0"));
    EXPECT_NE(drives[1].capabilities & kCdWriterCapabilities, 0u);
    EXPECT_NE(drives[1].capabilities & kCdCapWriteDvdR, 0u);
    EXPECT_EQ(drives[2].text, "E: ASUS DVD-E818A9T (sr1)");
    EXPECT_EQ(drives[2].capabilities & kCdWriterCapabilities, 0u); // a reader only
    EXPECT_NE(drives[2].capabilities & kCdCapReadDvd, 0u);
    EXPECT_EQ(drives[0].text, "F: Pellam Image Recorder");
    EXPECT_TRUE(drives[0].imageRecorder);
    EXPECT_NE(drives[0].capabilities & kCdWriterCapabilities, 0u);
}

TEST_F(DriveFolder, TableEdgeCases) {
    struct Case {
        const char* name;
        const char* info;
        std::vector<std::string> texts;
    } cases[] = {
        {"no table (no cdrom driver loaded)", nullptr, {"D: Pellam Image Recorder"}},
        {"empty table",
         "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\ndrive name:\n",
         {"D: Pellam Image Recorder"}},
        {"sr10 after sr9, no sysfs",
         "drive name:\tsr10\tsr9\tsr0\nCan write CD-R:\t1\t1\t1\nCan write CD-RW:\t1\t1\n",
         {"G: Pellam Image Recorder", "D: CD/DVD drive (sr0)", "E: CD/DVD drive (sr9)",
          "F: CD/DVD drive (sr10)"}},
        {"names that are no plain device names are passed over",
         "drive name:\t../../etc\tsr0\n",
         {"E: Pellam Image Recorder", "D: CD/DVD drive (sr0)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(paths_.cdromInfo);
        if (c.info) Info(c.info);
        std::vector<std::string> texts;
        for (const CdDrive& d : DiscoverCdDrives(paths_))
            texts.push_back(d.text);
        EXPECT_EQ(texts, c.texts);
    }
}

TEST_F(DriveFolder, ShortRowsAndLongNames) {
    // A capability row with fewer values than drives leaves the rest without it.
    std::vector<CdromInfoColumn> columns =
        ParseCdromInfo("drive name:\tsr2\tsr1\tsr0\nCan write CD-RW:\t1\n");
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[2].name, "sr2");
    EXPECT_NE(columns[2].capabilities & kCdCapWriteCdRw, 0u);
    EXPECT_EQ(columns[0].capabilities & kCdCapWriteCdRw, 0u);

    Info("drive name:\tsr0\n");
    Sysfs("sr0", "VERYLONGVENDORNAME", "AND A MODEL NAME THAT GOES ON AND ON AND ON");
    std::vector<CdDrive> drives = DiscoverCdDrives(paths_);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[1].text.size(), 49u); // fits the 50-byte entry with its zero
    EXPECT_EQ(drives[1].text.rfind("D: VERYLONGVENDORNAME AND", 0), 0u);
}

TEST_F(DriveFolder, EngineListsAndSelectsDevices) {
    Info(kTwoDrives);
    SystemCdConfig config;
    config.drives = paths_;
    auto engine = MakeSystemCdEngine(config);

    std::uint32_t mask = 0;
    EXPECT_NE(engine->GetDeviceCapabilities(mask), 0); // nothing selected yet

    CdDeviceList list;
    std::int32_t count = 0;
    ASSERT_EQ(engine->GetDevices(list, count, 0), 0);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(list[1], "D: CD/DVD drive (sr0)");
    EXPECT_STREQ(list[0], "F: Pellam Image Recorder");
    EXPECT_EQ(list[3][0], '\0');

    ASSERT_EQ(engine->SetDevice('e'), 0);
    ASSERT_EQ(engine->GetDeviceCapabilities(mask), 0);
    EXPECT_EQ(mask & kCdWriterCapabilities, 0u);
    EXPECT_NE(engine->SetDevice('Q'), 0);
    // A failed selection keeps the last one.
    ASSERT_EQ(engine->GetDeviceCapabilities(mask), 0);
    EXPECT_EQ(mask & kCdWriterCapabilities, 0u);

    ASSERT_EQ(engine->SetDevice('F'), 0);
    CdMediumInfo info = PresetCdMediumInfo();
    ASSERT_EQ(engine->GetMediumInformation(info), 0);
    EXPECT_STREQ(info.typeName, "CD-R");
    EXPECT_EQ(info.status, 0);
}

class NullHost : public CdWriterHost {
  public:
    void SetStateValue(int) override {}
    void MarkBurned() override {}
    void LogLine(const std::string&) override {}
    void OnCdProcess(float) override {}
    void OnCdFinalize() override {}
    void OnCdBurnDone(const char*) override {}
    void OnCdEraseDone() override {}
};

TEST_F(DriveFolder, WriterListOfTheStartBurningDialog) {
    // sr0 is a writer whose disc cdrdao cannot read for want of a device node: its error is
    // shown, the reader sr1 is not listed, and the recorder's blank CD-R selects it.
    Info(kTwoDrives);
    cdtest::TempDir tools;
    cdtest::ScopedEnv toolsVar("PELLAM_TOOLS", tools.path().c_str());
    cdtest::WriteScript(tools.File("cdrdao"),
                        "cat >&2 <<'EOF'\n"
                        "Cdrdao version 1.2.4 - (C) Andreas Mueller <andreas@daneb.de>\n"
                        "ERROR: Unable to open SCSI device /dev/sr0: No such file or directory.\n"
                        "ERROR: Cannot setup device /dev/sr0.\n"
                        "EOF\nexit 1\n");
    SystemCdConfig config;
    config.drives = paths_;
    auto engine = MakeSystemCdEngine(config);
    platform::RecordingMessageBoxes boxes;
    NullHost host;
    CdWriter writer(*engine, boxes, host);
    WriterCombo list;
    writer.FillCdWriterList(list);
    EXPECT_EQ(list.rows,
              (std::vector<std::string>{"F: Pellam Image Recorder", "D: CD/DVD drive (sr0)"}));
    EXPECT_EQ(list.selected, 0);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0].rfind("error: The writer cannot be opened", 0), 0u);
}

} // namespace

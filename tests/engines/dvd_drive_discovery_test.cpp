#include "burner/writers/dvd_writer.h"
#include "dvd_fake_tools_support.h"
#include "engines/dvd/dvd_drive_discovery.h"
#include "engines/dvd/dvd_image_recorder.h"
#include "engines/dvd/system_dvd_engine.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace engines;
namespace fs = std::filesystem;

namespace {

// As the kernel writes it: one column per drive, the highest number first.
const char kInfo[] = "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n"
                     "\n"
                     "drive name:\t\tsr2\tsr1\tsr0\t..\n"
                     "drive speed:\t\t24\t48\t48\t1\n"
                     "drive # of slots:\t1\t1\t1\t1\n"
                     "Can close tray:\t\t1\t1\t1\t1\n"
                     "Can open tray:\t\t1\t1\t1\t1\n"
                     "Can lock tray:\t\t1\t1\t1\t1\n"
                     "Can change speed:\t1\t1\t1\t1\n"
                     "Can read multisession:\t1\t1\t1\t1\n"
                     "Can write CD-R:\t\t1\t1\t1\t1\n"
                     "Can write CD-RW:\t1\t1\t1\t1\n"
                     "Can read DVD:\t\t1\t1\t1\t1\n"
                     "Can write DVD-R:\t1\t0\t1\t1\n"
                     "Can write DVD-RAM:\t0\t0\t1\t1\n"
                     "\n";

struct DiscoveryTest : ::testing::Test {
    dvdtools::ToolBench bench;
    DvdDiscoveryPaths paths;

    void SetUp() override {
        paths.cdromInfo = bench.Path("info");
        paths.sysBlock = bench.Path("sys/block");
        paths.dev = "/dev";
        testfiles::WriteAll(paths.cdromInfo, kInfo);
        Drive("sr0", "1:0:0:0", "HL-DT-ST", "DVDRAM GSA-4040B", "A304");
        Drive("sr1", "2:0:1:0", "LITE-ON ", "CD-RW SOHR-5239V", "4S0F");
        // sr2 has no SCSI device in sysfs (no link, no attributes).
        fs::create_directories(bench.Path("sys/block/sr2"));
    }
    void Drive(const std::string& name, const std::string& hctl, const std::string& vendor,
               const std::string& model, const std::string& rev) {
        std::string target = bench.Path("sys/devices/pci0000:00/host/target/" + hctl);
        fs::create_directories(target);
        testfiles::WriteAll(target + "/vendor", vendor + "\n");
        testfiles::WriteAll(target + "/model", model + "\n");
        testfiles::WriteAll(target + "/rev", rev + "\n");
        fs::create_directories(bench.Path("sys/block/" + name));
        fs::create_directory_symlink(target, bench.Path("sys/block/" + name + "/device"));
    }
};

TEST_F(DiscoveryTest, DrivesFromTheKernelTableAndSysfs) {
    std::vector<DvdDriveInfo> drives = DiscoverDvdDrives(paths);
    ASSERT_EQ(drives.size(), 3u); // ".." is no drive name
    EXPECT_EQ(drives[0].name, "sr0");
    EXPECT_EQ(drives[0].devicePath, "/dev/sr0");
    EXPECT_EQ(drives[0].address, (DvdDeviceAddress{1, 0, 0, 0}));
    EXPECT_EQ(drives[0].vendor, "HL-DT-ST");
    EXPECT_EQ(drives[0].model, "DVDRAM GSA-4040B");
    EXPECT_EQ(drives[0].revision, "A304");
    EXPECT_TRUE(drives[0].canWriteDvdR);
    EXPECT_TRUE(drives[0].canWriteDvdRam);

    EXPECT_EQ(drives[1].address, (DvdDeviceAddress{2, 0, 1, 0}));
    EXPECT_EQ(drives[1].vendor, "LITE-ON"); // padding goes
    EXPECT_FALSE(drives[1].canWriteDvdR);
    EXPECT_TRUE(drives[1].canWriteCdRw);

    EXPECT_EQ(drives[2].name, "sr2");
    EXPECT_EQ(drives[2].address, (DvdDeviceAddress{0xFE, 0, 2, 0}));
    EXPECT_EQ(drives[2].vendor, "");
    EXPECT_TRUE(drives[2].canWriteDvdR);
    EXPECT_FALSE(drives[2].canWriteDvdRam);

    paths.cdromInfo = bench.Path("missing");
    EXPECT_TRUE(DiscoverDvdDrives(paths).empty());
}

TEST_F(DiscoveryTest, TheWriterListShowsDvdWritersThenTheImageRecorder) {
    SystemDvdEngineOptions options;
    options.paths = paths;
    std::unique_ptr<DvdEngine> engine = MakeSystemDvdEngine(options);
    platform::RecordingMessageBoxes boxes;
    DvdWriter writer(*engine, boxes);
    WriterCombo combo;
    writer.ListDvdWriters(combo);
    const std::string discs = bench.Home() + "/Pellam/discs/";
    EXPECT_EQ(combo.rows,
              (std::vector<std::string>{"/dev/sr0 HL-DT-ST DVDRAM GSA-4040B", "/dev/sr2  ",
                                        discs + " Pellam Image Recorder"}));
    EXPECT_EQ(DvdDiscsFolder(), discs);
    ASSERT_EQ(writer.WriterCount(), 3);
    EXPECT_EQ(writer.Writer(2).port, kDvdRecorderAddress.port);
    EXPECT_EQ(writer.Writer(2).lun, kDvdRecorderAddress.lun);
    EXPECT_TRUE(boxes.Texts().empty());

    // Without any drive the recorder is still there.
    options.paths.cdromInfo = bench.Path("missing");
    std::unique_ptr<DvdEngine> bare = MakeSystemDvdEngine(options);
    DvdWriter alone(*bare, boxes);
    WriterCombo only;
    alone.ListDvdWriters(only);
    EXPECT_EQ(only.rows, (std::vector<std::string>{discs + " Pellam Image Recorder"}));
}

TEST_F(DiscoveryTest, ABlankVendorShowsTheProductAlone) {
    Drive("sr5", "3:0:0:0", "        ", "DVD Writer", "1.00");
    testfiles::WriteAll(paths.cdromInfo, "drive name:\tsr5\nCan write DVD-R:\t1\n");
    SystemDvdEngineOptions options;
    options.paths = paths;
    std::unique_ptr<DvdEngine> engine = MakeSystemDvdEngine(options);
    platform::RecordingMessageBoxes boxes;
    DvdWriter writer(*engine, boxes);
    WriterCombo combo;
    writer.ListDvdWriters(combo);
    ASSERT_EQ(combo.rows.size(), 2u);
    EXPECT_EQ(combo.rows[0], "DVD Writer");
}

} // namespace

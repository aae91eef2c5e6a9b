#include "burner/writers/video_ts_tree.h"
#include "engines/dvd/fake_dvd_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace engines;
namespace fs = std::filesystem;

namespace {

class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/pellam_vts_XXXXXX";
        path_ = mkdtemp(pattern);
        path_ += "/";
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    void File(const std::string& name, std::uintmax_t size = 10) const {
        { std::ofstream(path_ + name, std::ios::binary) << "x"; }
        fs::resize_file(path_ + name, size); // sparse beyond the first byte
    }

  private:
    std::string path_;
};

struct TreeCase {
    const char* name;
    std::vector<std::string> files;
    VideoTsTreeResult result;
    std::vector<std::string> nodes; // file node names in order
    std::string missing;            // name in "Could not find file <folder><name>"
};

TEST(VideoTsTree, AddsTheFilesInPlayerOrderAndStopsWhereTheSetEnds) {
    const std::vector<TreeCase> cases = {
        {"minimal, as authoring tools write it",
         {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_01_0.BUP"},
         VideoTsTreeResult::kOk,
         {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_01_0.BUP"},
         ""},
        {"menus, parts and two title sets",
         {"video_ts.ifo", "video_ts.vob", "video_ts.bup", "vts_01_0.ifo", "vts_01_0.vob",
          "vts_01_1.vob", "vts_01_2.vob", "vts_01_3.vob", "vts_01_0.bup", "vts_02_0.ifo",
          "vts_02_1.vob", "vts_02_0.bup", "vts_03_1.vob"},
         VideoTsTreeResult::kOk,
         {"video_ts.ifo", "video_ts.vob", "video_ts.bup", "vts_01_0.ifo", "vts_01_0.vob",
          "vts_01_1.vob", "vts_01_2.vob", "vts_01_3.vob", "vts_01_0.bup", "vts_02_0.ifo",
          "vts_02_1.vob", "vts_02_0.bup"},
         ""},
        {"a set without its bup ends the tree",
         {"video_ts.ifo", "video_ts.bup", "vts_01_0.ifo", "vts_01_1.vob", "vts_02_0.ifo",
          "vts_02_1.vob", "vts_02_0.bup"},
         VideoTsTreeResult::kOk,
         {"video_ts.ifo", "video_ts.bup", "vts_01_0.ifo", "vts_01_1.vob"},
         ""},
        {"a gap in the parts ends the set",
         {"video_ts.ifo", "video_ts.bup", "vts_01_0.ifo", "vts_01_1.vob", "vts_01_3.vob",
          "vts_01_0.bup"},
         VideoTsTreeResult::kOk,
         {"video_ts.ifo", "video_ts.bup", "vts_01_0.ifo", "vts_01_1.vob", "vts_01_0.bup"},
         ""},
        {"no title set at all",
         {"video_ts.ifo", "video_ts.bup"},
         VideoTsTreeResult::kOk,
         {"video_ts.ifo", "video_ts.bup"},
         ""},
        {"the first part is required",
         {"video_ts.ifo", "video_ts.bup", "vts_01_0.ifo", "vts_01_0.bup"},
         VideoTsTreeResult::kMissingFile,
         {"video_ts.ifo", "video_ts.bup", "vts_01_0.ifo"},
         "vts_01_1.vob"},
        {"video_ts.bup is required",
         {"video_ts.ifo", "video_ts.vob"},
         VideoTsTreeResult::kMissingFile,
         {"video_ts.ifo", "video_ts.vob"},
         "video_ts.bup"},
        {"an empty folder", {}, VideoTsTreeResult::kMissingFile, {}, "video_ts.ifo"},
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        for (const std::string& f : c.files)
            dir.File(f);
        FakeDvdEngine engine;
        DvdTreeNode* dirs[kDvdDirectoryNodeSlots] = {};
        DvdTreeNode* files[kDvdFileNodeSlots] = {};
        std::string error;
        EXPECT_EQ(BuildVideoTsTree(engine, dir.Path(), dirs, files, error), c.result);
        std::vector<std::string> expected;
        for (const std::string& n : c.nodes)
            expected.push_back(dir.Path() + n);
        EXPECT_EQ(engine.FileNodes(), expected);
        EXPECT_EQ(files[0], nullptr);
        for (std::size_t i = 0; i < c.nodes.size(); ++i)
            EXPECT_NE(files[i + 1], nullptr);
        EXPECT_EQ(error, c.missing.empty() ? "" : "Could not find file " + dir.Path() + c.missing);
        engine.ReleaseNodes(files, kDvdFileNodeSlots);
        engine.ReleaseNodes(dirs, kDvdDirectoryNodeSlots);
        EXPECT_EQ(engine.LiveNodes(), 0);
    }
}

TEST(VideoTsTree, DirectoriesComeFirstAndIdentifiersCountUp) {
    TempFolder dir;
    for (const char* f : {"VIDEO_TS.IFO", "VIDEO_TS.BUP"})
        dir.File(f);
    FakeDvdEngine engine;
    DvdTreeNode* dirs[kDvdDirectoryNodeSlots] = {};
    DvdTreeNode* files[kDvdFileNodeSlots] = {};
    std::string error;
    ASSERT_EQ(BuildVideoTsTree(engine, dir.Path(), dirs, files, error), VideoTsTreeResult::kOk);
    EXPECT_EQ(engine.Calls(),
              (std::vector<std::string>{"AddDirectoryNode(,1)", "AddDirectoryNode(VIDEO_TS,2)",
                                        "AddDirectoryNode(AUDIO_TS,3)", "AddFileNode(4)",
                                        "AddFileNode(5)"}));
    engine.ReleaseNodes(files, kDvdFileNodeSlots);
    engine.ReleaseNodes(dirs, kDvdDirectoryNodeSlots);
}

TEST(VideoTsTree, AFileTheEngineRefusesCountsAsMissing) {
    TempFolder dir;
    for (const char* f : {"VIDEO_TS.IFO", "VIDEO_TS.BUP"})
        dir.File(f);
    FakeDvdEngine engine;
    engine.refusedFiles.insert(dir.Path() + "VIDEO_TS.BUP");
    DvdTreeNode* dirs[kDvdDirectoryNodeSlots] = {};
    DvdTreeNode* files[kDvdFileNodeSlots] = {};
    std::string error;
    EXPECT_EQ(BuildVideoTsTree(engine, dir.Path(), dirs, files, error),
              VideoTsTreeResult::kMissingFile);
    EXPECT_EQ(error, "Could not find file " + dir.Path() + "VIDEO_TS.BUP");
    engine.ReleaseNodes(files, kDvdFileNodeSlots);
    engine.ReleaseNodes(dirs, kDvdDirectoryNodeSlots);
}

TEST(VideoTsTree, SourceUpToTheDiscSizePassesOneSectorMoreFails) {
    const std::uintmax_t sector = 2048;
    struct Case {
        std::uintmax_t vobBytes;
        VideoTsTreeResult result;
    };
    // The small files add 10 bytes each, less than a sector, so only the VOB counts.
    const std::vector<Case> cases = {
        {kDvdMaxSectors * sector + 2047, VideoTsTreeResult::kOk},
        {(kDvdMaxSectors + 1) * sector, VideoTsTreeResult::kTooLarge},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        for (const char* f : {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_0.BUP"})
            dir.File(f);
        dir.File("VTS_01_1.VOB", c.vobBytes);
        FakeDvdEngine engine;
        DvdTreeNode* dirs[kDvdDirectoryNodeSlots] = {};
        DvdTreeNode* files[kDvdFileNodeSlots] = {};
        std::string error;
        EXPECT_EQ(BuildVideoTsTree(engine, dir.Path(), dirs, files, error), c.result);
        if (c.result == VideoTsTreeResult::kTooLarge) {
            EXPECT_EQ(error, "DVD source is too large to fit on one disc.\r\nPlease hit output "
                             "settings button set target size as '4.7G-100M safe' and try again.");
            EXPECT_EQ(engine.FileNodes().size(), 4u); // stopped at the VOB
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(engine.FileNodes().size(), 5u);
        }
        engine.ReleaseNodes(files, kDvdFileNodeSlots);
        engine.ReleaseNodes(dirs, kDvdDirectoryNodeSlots);
    }
}

} // namespace

// The sector plan of an image: where every system file, item and file of track 1 goes, the
// ISO 9660 directory made for it, entry point placement and the size checks.
#include "image_files.h"
#include "log_capture.h"

#include "iso9660_structs.h"
#include "pbc.h"
#include "vcd_project.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

class Layout : public ImageTest {
  protected:
    std::string HostFile(const std::string& name, std::size_t bytes) {
        std::string path = dir.File(name);
        WriteFile(path, mpegtest::Bytes(bytes, 0x5A));
        return path;
    }
    static void ExpectFile(const CVcdObj& p, const char* path, std::uint32_t extent,
                           std::uint32_t size, bool form2, int fileNumber) {
        const CVcdDirNode* node = p.isoDir->Lookup(path);
        ASSERT_NE(node, nullptr) << path;
        EXPECT_FALSE(node->isDirectory) << path;
        EXPECT_EQ(node->extent, extent) << path;
        EXPECT_EQ(node->size, size) << path;
        EXPECT_EQ(node->xaAttributes, form2 ? kXaAttrForm2File : kXaAttrForm1File) << path;
        EXPECT_EQ(node->fileNumber, fileNumber) << path;
    }
    static void ExpectDict(const CVcdObj& p, const char* key, std::int32_t sector,
                           std::int32_t count) {
        const CVcdDict* e = p.dict.Find(key);
        ASSERT_NE(e, nullptr) << key;
        EXPECT_EQ(e->sector, sector) << key;
        EXPECT_EQ(e->count, count) << key;
    }

};

TEST_F(Layout, OneSequenceOfAThousandPacks) {
    struct Case {
        std::int32_t type;
        int version;
        bool leadoutPause;
        const char* file;
        std::uint32_t bytes;
        int fileNumber;
        std::int32_t size;
        const char* highest; // the last sector taken in track 1
    };
    const Case cases[] = {
        {VCD_TYPE_VCD20, 1, false, "MPEGAV/AVSEQ01.DAT", (30 + 1000 + 45) * 2048, 1, 1525, "224"},
        {VCD_TYPE_VCD20, 1, true, "MPEGAV/AVSEQ01.DAT", (30 + 1000 + 45) * 2048, 1, 1675, "224"},
        {VCD_TYPE_VCD11, 1, false, "MPEGAV/AVSEQ01.DAT", (30 + 1000 + 45) * 2048, 1, 1525, "224"},
        {VCD_TYPE_VCD10, 1, false, "MPEGAV/MUSIC01.DAT", (30 + 1000 + 45) * 2048, 1, 1525, "224"},
        // SCANDATA.DAT follows the head.
        {VCD_TYPE_SVCD, 2, false, "MPEG2/AVSEQ01.MPG", 1000 * 2048, 0, 1450, "225"},
        {VCD_TYPE_HQVCD, 2, true, "MPEG2/AVSEQ01.MPG", 1000 * 2048, 0, 1600, "225"},
    };
    const std::string v1 = Stream(ApsAt(1000, {{0, 0}}), 1);
    const std::string v2 = Stream(ApsAt(1000, {{0, 0}}), 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + std::string(" type ") + std::to_string(c.type));
        auto p = Project(c.type);
        p->SetParam(VCD_PARAM_LEADOUT_PAUSE, c.leadoutPause);
        ASSERT_EQ(AddSequence(*p, c.version == 1 ? v1 : v2), 0) << cap.Dump();
        EXPECT_EQ(p->GetImageSize(), c.size) << cap.Dump();
        EXPECT_EQ(p->isoSize, 300u);
        EXPECT_EQ(p->sequences.First()->relStart, 150u);
        ExpectFile(*p, c.file, 450, c.bytes, true, c.fileNumber);
        EXPECT_FALSE(cap.Has(VCD_LOG_ERROR, "")) << cap.Dump();
        EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, std::string("iso9660: highest allocated sector is ") +
                                               c.highest + " (using 300 as isosize)"))
            << cap.Dump(VCD_LOG_DEBUG);
        p->EndOutput();
        EXPECT_FALSE(p->isoDir);
        EXPECT_FALSE(p->isoBitmap);
        EXPECT_EQ(p->dict.Find("pvd"), nullptr);
        cap.Clear();
    }
}

// Where the system files of track 1 go, by type and playback control.
TEST_F(Layout, SystemFilesOfTrack1) {
    const std::string v1 = Stream(ApsAt(200, {{0, 0}}), 1);
    const std::string v2 = Stream(ApsAt(200, {{0, 0}}), 2);

    {
        SCOPED_TRACE("VCD 2.0 without playback control");
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, v1), 0);
        ASSERT_GT(p->GetImageSize(), 0) << cap.Dump();
        const auto d = static_cast<std::int32_t>(p->isoDir->GetSize());
        EXPECT_EQ(d, 4); // root, EXT, MPEGAV, VCD
        ExpectDict(*p, "pvd", 16, 1);
        ExpectDict(*p, "evd", 17, 1);
        ExpectDict(*p, "dir", 18, d);
        ExpectDict(*p, "ptl", 18 + d, 1);
        ExpectDict(*p, "ptm", 19 + d, 1);
        ExpectDict(*p, "info", 150, 1);
        ExpectDict(*p, "entries", 151, 1);
        for (const char* none : {"lot", "psd", "tracks", "search", "scandata", "lot_x", "psd_x"})
            EXPECT_EQ(p->dict.Find(none), nullptr) << none;
        EXPECT_EQ(p->isoHeadSize, 225u);
        EXPECT_EQ(p->extStart, 225u);
        EXPECT_EQ(p->customStart, 225u);
        ExpectFile(*p, "VCD/INFO.VCD", 150, 2048, false, 0);
        ExpectFile(*p, "VCD/ENTRIES.VCD", 151, 2048, false, 0);
        EXPECT_EQ(p->isoDir->Lookup("SEGMENT"), nullptr);
        EXPECT_NE(p->isoDir->Lookup("EXT"), nullptr);
        for (std::uint32_t s = 0; s < p->isoHeadSize; ++s)
            EXPECT_TRUE(p->isoBitmap->IsUsed(s)) << s;
        EXPECT_FALSE(p->isoBitmap->IsUsed(225));
    }
    {
        SCOPED_TRACE("VCD 2.0 with playback control");
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, v1, "seq"), 0);
        auto play = std::make_unique<CPbcPlay>();
        play->id = "lid1";
        play->itemIds = {"seq"};
        std::unique_ptr<CPbc> pbc = std::move(play);
        ASSERT_EQ(p->AddPbc(pbc), 0) << cap.Dump();
        ASSERT_GT(p->GetImageSize(), 0) << cap.Dump();
        ExpectDict(*p, "lot", 152, 32);
        ExpectDict(*p, "psd", 184, 1);
        EXPECT_EQ(p->isoHeadSize, 225u);
        ExpectDict(*p, "lot_x", 225, 32);
        ExpectDict(*p, "psd_x", 257, 1);
        EXPECT_EQ(p->extStart, 225u);
        EXPECT_EQ(p->customStart, 258u);
        ExpectFile(*p, "VCD/LOT.VCD", 152, 65536, false, 0);
        ExpectFile(*p, "VCD/PSD.VCD", 184, p->pbcList.psdSize, false, 0);
        ExpectFile(*p, "EXT/LOT_X.VCD", 225, 65536, false, 1);
        ExpectFile(*p, "EXT/PSD_X.VCD", 257, p->pbcList.extPsdSize, false, 1);
        EXPECT_GT(p->pbcList.psdSize, 0u);
    }
    {
        SCOPED_TRACE("SVCD");
        auto p = Project(VCD_TYPE_SVCD);
        ASSERT_EQ(AddSequence(*p, v2), 0);
        ASSERT_GT(p->GetImageSize(), 0) << cap.Dump();
        ExpectDict(*p, "info", 150, 1);
        ExpectDict(*p, "entries", 151, 1);
        ExpectDict(*p, "tracks", 152, 1);
        ExpectDict(*p, "search", 153, 1);
        ExpectDict(*p, "scandata", 225, 1);
        EXPECT_EQ(p->customStart, 226u);
        ExpectFile(*p, "SVCD/INFO.SVD", 150, 2048, false, 0);
        ExpectFile(*p, "SVCD/ENTRIES.SVD", 151, 2048, false, 0);
        ExpectFile(*p, "SVCD/TRACKS.SVD", 152, 2048, false, 0);
        ExpectFile(*p, "SVCD/SEARCH.DAT", 153, 13 + 3 * 0, false, 0);
        ExpectFile(*p, "EXT/SCANDATA.DAT", 225, 18 + 6 + 3 * 0, false, 0);
        EXPECT_NE(p->isoDir->Lookup("SEGMENT"), nullptr);
        EXPECT_EQ(p->isoDir->Lookup("MPEGAV"), nullptr);
    }
    {
        SCOPED_TRACE("SVCD with the VCD 3.0 MPEGAV folder");
        auto p = Project(VCD_TYPE_SVCD);
        p->SetParam(VCD_PARAM_VCD30_MPEGAV_FOLDER, 1u);
        ASSERT_EQ(AddSequence(*p, v2), 0);
        ASSERT_GT(p->GetImageSize(), 0) << cap.Dump();
        EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "adding MPEGAV dir for *DEPRECATED* SVCD VCD30 mode"));
        EXPECT_EQ(p->isoDir->Lookup("MPEG2"), nullptr);
        ExpectFile(*p, "MPEGAV/AVSEQ01.MPG", 450, 200 * 2048, true, 1);
    }
}

TEST_F(Layout, SegmentsAndCustomFiles) {
    auto p = Project(VCD_TYPE_VCD20);
    ASSERT_EQ(AddSequence(*p, Stream(ApsAt(100, {{0, 0}}))), 0);
    ASSERT_EQ(AddSegment(*p, Stream(ApsAt(10, {{0, 0}})), "seg1"), 0) << cap.Dump();
    ASSERT_EQ(AddSegment(*p, Stream(ApsAt(151, {{0, 0}})), "seg2"), 0) << cap.Dump();
    ASSERT_EQ(AddSegment(*p, Stream(ApsAt(1, {{0, 0}})), "seg3"), 0) << cap.Dump();
    ASSERT_EQ(p->AddDirectory("data"), 0);
    ASSERT_EQ(p->AddDirectory("vcd/sub"), 0);
    ASSERT_EQ(AddFile(*p, "vcd/extra.txt", HostFile("a", 3000)), 0) << cap.Dump();
    ASSERT_EQ(AddFile(*p, "data/extra.txt", HostFile("b", 10)), 0) << cap.Dump();
    ASSERT_EQ(AddFile(*p, "empty.txt", HostFile("c", 0)), 0) << cap.Dump();
    ASSERT_EQ(AddFile(*p, "raw.dat", HostFile("d", 2 * 2336), true), 0) << cap.Dump();
    ASSERT_GT(p->GetImageSize(), 0) << cap.Dump();

    // Segments follow one another from the end of the head, 150 sectors per unit.
    EXPECT_EQ(p->segments.At(0)->startSector, 225u);
    EXPECT_EQ(p->segments.At(1)->startSector, 375u);
    EXPECT_EQ(p->segments.At(2)->startSector, 675u);
    EXPECT_EQ(p->extStart, 825u);
    EXPECT_EQ(p->customStart, 825u);
    ExpectFile(*p, "SEGMENT/ITEM0001.DAT", 225, 10 * 2048, true, 1);
    ExpectFile(*p, "SEGMENT/ITEM0002.DAT", 375, 151 * 2048, true, 1);
    ExpectFile(*p, "SEGMENT/ITEM0004.DAT", 675, 1 * 2048, true, 1);
    EXPECT_EQ(p->isoDir->Lookup("SEGMENT/ITEM0003.DAT"), nullptr);

    ExpectFile(*p, "VCD/EXTRA.TXT", 825, 3000, false, 1);
    ExpectFile(*p, "data/extra.txt", 827, 10, false, 1);
    ExpectFile(*p, "empty.txt", 825, 0, false, 1);
    ExpectFile(*p, "raw.dat", 828, 2 * 2048, true, 1);
    EXPECT_EQ(p->isoDir->Lookup("DATA"), nullptr);
    EXPECT_EQ(p->isoDir->Lookup("vcd"), nullptr);
    ASSERT_NE(p->isoDir->Lookup("VCD/SUB"), nullptr);
    EXPECT_TRUE(p->isoDir->Lookup("VCD/SUB")->isDirectory);
    EXPECT_GT(p->isoDir->Lookup("VCD/EXTRA.TXT")->time, 0);
    EXPECT_EQ(p->isoSize, 830u);
    ExpectFile(*p, "MPEGAV/AVSEQ01.DAT", 830 + 150, (30 + 100 + 45) * 2048, true, 1);
}

TEST_F(Layout, ImageSizeLimits) {
    struct Case {
        std::int32_t size;
        const char* warning; // nullptr: none
        const char* advice;
    };
    const Case cases[] = {
        {333000, nullptr, nullptr},
        {333001,
         "generated image (333001 sectors [74:00.01]) may not fit on 74min CDRs (333000 sectors)",
         ">>> use a 80min CDR for this image."},
        {360001,
         "generated image (360001 sectors [80:00.01]) may not fit on 80min CDRs (360000 sectors)",
         ">>> use a 90min CDR for this image."},
        {405001,
         "generated image (405001 sectors [90:00.01]) may not fit on 90min CDRs (405000 sectors)",
         ">>> use a 99min CDR for this image."},
        {449850,
         "generated image (449850 sectors [99:58.00]) may not fit on 90min CDRs (405000 sectors)",
         ">>> use a 99min CDR for this image."},
        {449851, nullptr, nullptr},
    };
    const std::string stream = Stream(ApsAt(100, {{0, 0}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, stream), 0);
        p->sequenceSectors = static_cast<std::uint32_t>(c.size - 300);
        cap.Clear();
        const bool tooBig = c.size > 449850;
        EXPECT_EQ(p->GetImageSize(), tooBig ? -1 : c.size);
        EXPECT_EQ(cap.Has(VCD_LOG_ERROR, "image too big (449851 sectors > 449850 sectors)"), tooBig)
            << cap.Dump();
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, "may not fit"), c.warning ? 1 : 0) << cap.Dump();
        if (c.warning) {
            EXPECT_TRUE(cap.Has(VCD_LOG_WARN, c.warning)) << cap.Dump();
            EXPECT_TRUE(cap.Has(VCD_LOG_INFO, c.advice)) << cap.Dump();
        }
    }

    // The lead-out pause counts.
    auto p = Project(VCD_TYPE_VCD20);
    p->SetParam(VCD_PARAM_LEADOUT_PAUSE, 1u);
    ASSERT_EQ(AddSequence(*p, stream), 0);
    p->sequenceSectors = 449850 - 300 - 150 + 1;
    EXPECT_EQ(p->GetImageSize(), -1);
}

TEST_F(Layout, NoSequences) {
    auto p = Project(VCD_TYPE_VCD20);
    EXPECT_EQ(p->GetImageSize(), -1);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR,
                        "No sequences detected, be sure there is at least 1 movie-stream!."));
}

TEST_F(Layout, EntryPointsMoveToTheNearestAccessPoint) {
    // Access points at 0, 5, 9.5 and 10.5 s; pack 0 carries audio so that the first access
    // point can also lie after the start.
    std::vector<PackSpec> packs = ApsAt(400, {{10, 0.2}, {100, 5}, {190, 9.5}, {210, 10.5}});
    packs[0] = {PackKind::Audio, 0};
    const std::string stream = Stream(packs);

    struct Case {
        std::vector<double> times;
        std::vector<std::uint32_t> packs;
        std::vector<double> chosen;
        std::vector<int> levels; // of the "requested entry point" line
        int sameSector;          // "falls into same sector" warnings
    };
    const Case cases[] = {
        {{10.0}, {190}, {9.5}, {VCD_LOG_DEBUG}, 0}, // a tie keeps the earlier
        {{10.01}, {210}, {10.5}, {VCD_LOG_DEBUG}, 0},
        {{7.0}, {100}, {5.0}, {VCD_LOG_WARN}, 0}, // more than a second away
        {{0.0}, {10}, {0.2}, {VCD_LOG_DEBUG}, 0},
        {{9.6, 9.7}, {190, 190}, {9.5, 9.5}, {VCD_LOG_DEBUG, VCD_LOG_DEBUG}, 1},
        {{30.0}, {210}, {10.5}, {VCD_LOG_WARN}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.times.front());
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, stream, "seq"), 0);
        for (std::size_t i = 0; i < c.times.size(); ++i)
            ASSERT_EQ(p->AddEntry(nullptr, c.times[i], ("e" + std::to_string(i)).c_str()), 0);
        cap.Clear();
        ASSERT_GT(p->GetImageSize(), 0) << cap.Dump();
        for (std::size_t i = 0; i < c.times.size(); ++i) {
            const CVcdEntry& e = *p->sequences.First()->entries.At(i);
            EXPECT_EQ(e.packetNo, c.packs[i]);
            EXPECT_NEAR(e.apsTime, c.chosen[i], 1e-6);
            char line[160];
            std::snprintf(line, sizeof line,
                          "requested entry point (id=e%zu) at %f, closest possible entry point "
                          "at %f",
                          i, c.times[i], e.apsTime);
            EXPECT_TRUE(cap.Has(c.levels[i], line)) << line << cap.Dump();
        }
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, "falls into same sector as previous one!"), c.sameSector)
            << cap.Dump();
        if (c.sameSector) {
            EXPECT_TRUE(
                cap.Has(VCD_LOG_WARN, "entry point 'e1' falls into same sector as previous one!"));
        }
    }

    // An entry on the track's first pack coincides with the track start.
    auto p = Project(VCD_TYPE_VCD20);
    ASSERT_EQ(AddSequence(*p, Stream(ApsAt(100, {{0, 0}, {50, 2}}))), 0);
    ASSERT_EQ(p->AddEntry(nullptr, 0.3, "start"), 0);
    ASSERT_GT(p->GetImageSize(), 0);
    EXPECT_TRUE(
        cap.Has(VCD_LOG_WARN, "entry point 'start' falls into same sector as previous one!"));
}

TEST_F(Layout, DirectoryAreaMustEndBeforeTheControlFiles) {
    struct Case {
        std::int32_t type;
        int folders;
        bool fits;
    };
    const Case cases[] = {
        {VCD_TYPE_VCD20, 40, true},
        {VCD_TYPE_VCD20, 60, false},
        {VCD_TYPE_SVCD, 60, true},
        {VCD_TYPE_SVCD, 140, false},
    };
    const std::string v1 = Stream(ApsAt(100, {{0, 0}}), 1);
    const std::string v2 = Stream(ApsAt(100, {{0, 0}}), 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + ": " + std::to_string(c.folders));
        auto p = Project(c.type);
        ASSERT_EQ(AddSequence(*p, c.type == VCD_TYPE_SVCD ? v2 : v1), 0);
        for (int i = 0; i < c.folders; ++i)
            ASSERT_EQ(p->AddDirectory(("D" + std::to_string(i)).c_str()), 0);
        cap.Clear();
        const std::int32_t size = p->GetImageSize();
        const char* error = c.type == VCD_TYPE_SVCD ? "directory section to big for a SVCD"
                                                    : "directory section to big for a VCD";
        EXPECT_EQ(cap.Has(VCD_LOG_ERROR, error), !c.fits) << cap.Dump();
        if (!c.fits) {
            EXPECT_EQ(size, -1);
            continue;
        }
        ASSERT_GT(size, 0) << cap.Dump();
        const auto d = static_cast<std::int32_t>(p->isoDir->GetSize());
        EXPECT_GE(d, c.folders);
        ExpectDict(*p, "dir", 18, d);
        ExpectDict(*p, "ptm", 19 + d, 1);
        EXPECT_LT(d + 20, c.type == VCD_TYPE_SVCD ? 150 : 75);
    }
}

} // namespace

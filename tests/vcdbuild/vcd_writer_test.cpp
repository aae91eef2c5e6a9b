// Writing a laid-out image: the cue sheet, every sector's subheader and data as read back from
// the BIN file, progress, cancelling and failures.
#include "image_files.h"
#include "log_capture.h"
#include "sector_check.h"

#include "bincue_sink.h"
#include "cdrdao_sink.h"
#include "sector_encoder.h"
#include "vcd_project.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>

using namespace imgtest;

namespace {

class Writer : public ImageTest {
  protected:
    Writer() : ImageTest(true) {}
    std::string HostFile(const std::string& name, const mpegtest::Bytes& data) {
        std::string path = dir.File(name);
        WriteFile(path, data);
        return path;
    }
    // Lays out and writes into the sinks; the writer's result (-9 when the layout failed).
    int Write(CVcdObj& p, VcdSinks& pair) {
        if (p.GetImageSize() < 0) return -9;
        const std::string name = pair.sinkB ? pair.sinkB->path() : "";
        int result = p.WriteImage(pair, name.c_str());
        p.EndOutput();
        return result;
    }

};

struct SectorExpect {
    std::uint32_t lsn;
    Subheader sub;
};

void ExpectSubheaders(const BinImage& bin, const std::vector<SectorExpect>& expected) {
    for (const SectorExpect& e : expected)
        EXPECT_EQ(bin.Sub(e.lsn), e.sub) << "LSN " << e.lsn;
}

TEST_F(Writer, OneSequenceImage) {
    struct Case {
        std::int32_t type;
        bool leadoutPause;
        std::uint32_t sectors;
        std::uint32_t packStart; // LSN of pack 0
        std::vector<SectorExpect> sectorsToCheck;
    };
    const Subheader form1{0, 0, 0x08, 0};
    const Subheader pregap{0, 0, 0x20, 0};
    const std::vector<SectorExpect> track1 = {
        {0, form1},   {15, form1},           {16, {0, 0, 0x09, 0}},  {17, {0, 0, 0x89, 0}},
        {18, form1},  {21, {0, 0, 0x89, 0}}, {22, {0, 0, 0x89, 0}},  {23, {0, 0, 0x89, 0}},
        {24, form1},  {149, form1},          {150, {0, 0, 0x88, 0}}, {151, {0, 0, 0x88, 0}},
        {152, form1}, {299, form1},          {300, pregap},          {449, pregap},
    };
    auto with = [&](std::vector<SectorExpect> more) {
        std::vector<SectorExpect> all = track1;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    const Case cases[] = {
        {VCD_TYPE_VCD20, false, 1525, 480,
         with({{450, {1, 0, 0x60, 0}},
               {479, {1, 0, 0x60, 0}},
               {480, {1, 1, 0x62, 0x0f}}, // access point: video
               {481, {1, 1, 0x64, 0x7f}}, // audio
               {482, {1, 2, 0x64, 0x7f}}, // audio stream 1
               {483, {1, 0, 0x60, 0}},    // padding only
               {1479, {1, 0, 0xE1, 0}},   // last pack: end of file and record
               {1480, {1, 0, 0x60, 0}},
               {1524, {1, 0, 0x60, 0}}})},
        {VCD_TYPE_VCD20, true, 1675, 480, with({{1525, pregap}, {1674, pregap}})},
        {VCD_TYPE_SVCD,
         false,
         1450,
         450,
         {{16, {0, 0, 0x09, 0}},
          {152, {0, 0, 0x88, 0}}, // TRACKS.SVD
          {153, {0, 0, 0x88, 0}}, // SEARCH.DAT
          {225, {0, 0, 0x88, 0}}, // SCANDATA.DAT, file 0 on SVCD
          {226, form1},
          {300, pregap},
          {450, {1, 1, 0x62, 0x80}},
          {451, {1, 1, 0x64, 0x80}},
          {452, {1, 2, 0x64, 0x80}},
          {453, {1, 0, 0x60, 0x80}},
          {1449, {1, 0, 0xE1, 0x80}}}},
    };
    std::vector<PackSpec> packs = ApsAt(1000, {{0, 0}});
    packs[1] = {PackKind::Audio, 0};
    packs[2] = {PackKind::Audio1, 0};
    const std::string v1 = Stream(packs, 1);
    const std::string v2 = Stream(packs, 2);

    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + (c.leadoutPause ? " with pause" : ""));
        TempDir out;
        auto p = Project(c.type);
        p->SetParam(VCD_PARAM_LEADOUT_PAUSE, c.leadoutPause);
        ASSERT_EQ(AddSequence(*p, c.type == VCD_TYPE_SVCD ? v2 : v1), 0) << cap.Dump();
        BinCue sinks(cap, out);
        cap.window().writeBlocks.clear();
        ASSERT_EQ(Write(*p, sinks.pair), 0) << cap.Dump();
        EXPECT_EQ(sinks.pair.sinkA, nullptr);
        EXPECT_EQ(sinks.pair.sinkB, nullptr);
        EXPECT_FALSE(sinks.bin->isOpen());
        EXPECT_FALSE(sinks.cue->isOpen());
        EXPECT_FALSE(cap.Has(VCD_LOG_ERROR, "")) << cap.Dump(VCD_LOG_ERROR);

        EXPECT_EQ(ReadText(sinks.cuePath), "FILE \"" + sinks.binPath +
                                               "\" BINARY\r\n"
                                               "  TRACK 01 MODE2/2352\r\n"
                                               "    FLAGS DCP\r\n"
                                               "    INDEX 01 00:00:00\r\n"
                                               "  TRACK 02 MODE2/2352\r\n"
                                               "    FLAGS DCP\r\n"
                                               "    INDEX 00 00:04:00\r\n"
                                               "    INDEX 01 00:06:00\r\n");
        BinImage bin(sinks.binPath);
        ASSERT_EQ(bin.sectors(), c.sectors);
        ExpectSubheaders(bin, c.sectorsToCheck);
        const ImageCheck check = CheckRawImage(sinks.binPath);
        EXPECT_TRUE(check.ok()) << check.firstProblem;
        EXPECT_EQ(check.form1, 300u);

        // The packs are stored unchanged as the Form 2 payload.
        const mpegtest::Bytes stream = mpegtest::ReadFile(c.type == VCD_TYPE_SVCD ? v2 : v1);
        for (std::uint32_t n : {0u, 1u, 999u})
            EXPECT_EQ(std::memcmp(bin.Sector(c.packStart + n) + 24, &stream[n * 2324], 2324), 0)
                << "pack " << n;

        // Progress: the start, at most 75 sectors apart, and the end.
        // The blocks are packed records: copy the fields out before comparing them.
        struct Report {
            std::int32_t written, total, track, tracks;
        };
        std::vector<Report> reports;
        for (const WriteBlock& b : cap.window().writeBlocks)
            reports.push_back({b.written, b.total, b.track, b.tracks});
        ASSERT_GE(reports.size(), 3u);
        EXPECT_EQ(reports.front().written, 0);
        EXPECT_EQ(reports.front().track, 1);
        EXPECT_EQ(reports.back().written, static_cast<std::int32_t>(c.sectors));
        EXPECT_EQ(reports.back().track, 2);
        for (std::size_t i = 0; i < reports.size(); ++i) {
            EXPECT_EQ(reports[i].total, c.type == VCD_TYPE_SVCD ? 1450 : 1525);
            EXPECT_EQ(reports[i].tracks, 2);
            if (i > 0) {
                EXPECT_LE(reports[i].written - reports[i - 1].written, 75);
            }
        }
        EXPECT_TRUE(cap.Has(VCD_LOG_INFO, "writing track 1 (ISO9660)..."));
        EXPECT_EQ(cap.Has(VCD_LOG_DEBUG, "writting leadout pause..."), c.leadoutPause);
        EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG,
                            "MPEG packet statistics: 1 video, 2 audio, 0 zero, 0 ogt, 997 unknown"))
            << cap.Dump(VCD_LOG_DEBUG);
        cap.Clear();
    }
}

TEST_F(Writer, TrackDescriptionAndEntryIndexes) {
    std::vector<PackSpec> packs = ApsAt(300, {{0, 0}, {100, 2.0}, {200, 4.0}});
    packs[1] = {PackKind::Audio, 0};
    auto p = Project(VCD_TYPE_VCD20);
    ASSERT_EQ(AddSequence(*p, Stream(packs), "one"), 0);
    ASSERT_EQ(p->AddEntry(nullptr, 2.1, "e1"), 0);
    ASSERT_EQ(p->AddEntry(nullptr, 3.9, "e2"), 0);
    ASSERT_EQ(AddSequence(*p, Stream(packs), "two"), 1);
    TempDir out;
    BinCue sinks(cap, out);
    ASSERT_EQ(Write(*p, sinks.pair), 0) << cap.Dump();

    // Track 2 starts at 450, its packs at 480; track 3's pregap follows its rear margin.
    const std::uint32_t track3 = 450 + 30 + 300 + 45 + 150;
    std::uint8_t msf[4][3];
    LbaToMsf(480 + 100, msf[0]);
    LbaToMsf(480 + 200, msf[1]);
    LbaToMsf(track3 - 150, msf[2]);
    LbaToMsf(track3, msf[3]);
    char indexes[200];
    std::snprintf(indexes, sizeof indexes,
                  "    INDEX 02 %02x:%02x:%02x\r\n    INDEX 03 %02x:%02x:%02x\r\n  TRACK 03 "
                  "MODE2/2352\r\n    FLAGS DCP\r\n    INDEX 00 %02x:%02x:%02x\r\n    INDEX 01 "
                  "%02x:%02x:%02x\r\n",
                  msf[0][0], msf[0][1], msf[0][2], msf[1][0], msf[1][1], msf[1][2], msf[2][0],
                  msf[2][1], msf[2][2], msf[3][0], msf[3][1], msf[3][2]);
    const std::string cue = ReadText(sinks.cuePath);
    EXPECT_NE(cue.find(indexes), std::string::npos) << cue << "\nwanted\n" << indexes;
    for (const char* track : {"writing track 2, MPEG1, NTSC SIF (352x240/30fps), "
                              "audio[0]: l2/44.1kHz/224kbps/stereo ...",
                              "writing track 3, MPEG1, NTSC SIF (352x240/30fps), "
                              "audio[0]: l2/44.1kHz/224kbps/stereo ..."})
        EXPECT_TRUE(cap.Has(VCD_LOG_INFO, track)) << cap.Dump(VCD_LOG_INFO);

    BinImage bin(sinks.binPath);
    EXPECT_EQ(bin.sectors(), track3 + 30 + 300 + 45);
    EXPECT_EQ(bin.Sub(track3 - 1), (Subheader{0, 0, 0x20, 0}));
    EXPECT_EQ(bin.Sub(track3), (Subheader{2, 0, 0x60, 0})); // the second track's file number
    EXPECT_EQ(bin.Sub(track3 + 30), (Subheader{2, 1, 0x62, 0x0f}));
}

TEST_F(Writer, SegmentSectors) {
    // One pack of each kind the segment rules tell apart, then padding up to 10 packs.
    std::vector<PackSpec> packs = {
        {PackKind::Aps, 0},     {PackKind::Audio, 0.6}, {PackKind::Audio1, 0.7},
        {PackKind::Still, 0.8}, {PackKind::HiRes, 0.9}, {PackKind::Padding, 0},
        {PackKind::Private, 0}, {PackKind::Padding, 0}, {PackKind::Padding, 0},
        {PackKind::Padding, 0},
    };
    struct Case {
        std::int32_t type;
        std::vector<Subheader> packSubs;
    };
    const Subheader svcd{1, 1, 0x62, 0x80};
    const Case cases[] = {
        {VCD_TYPE_VCD20,
         {{1, 1, 0x62, 0x0f},
          {1, 1, 0x74, 0x7f}, // the pause at 0.5 s triggers here
          {1, 1, 0x64, 0x7f},
          {1, 2, 0x63, 0x1f}, // still picture ending in a sequence end code
          {1, 3, 0x62, 0x3f},
          {1, 0, 0x60, 0x1f},
          {1, 0, 0x60, 0},
          {1, 0, 0x60, 0x1f},
          {1, 0, 0x60, 0x1f},
          {1, 0, 0xE0, 0x1f}}},
        {VCD_TYPE_SVCD,
         {svcd,
          {1, 1, 0x72, 0x80},
          svcd,
          {1, 1, 0x63, 0x80},
          svcd,
          svcd,
          svcd,
          svcd,
          svcd,
          {1, 1, 0xE2, 0x80}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const int version = c.type == VCD_TYPE_SVCD ? 2 : 1;
        auto p = Project(c.type);
        ASSERT_EQ(AddSegment(*p, Stream(packs, version), "seg"), 0) << cap.Dump();
        ASSERT_EQ(p->AddSegmentPause(nullptr, 0.5, nullptr), 0);
        ASSERT_EQ(AddSequence(*p, Stream(ApsAt(100, {{0, 0}}), version)), 0);
        TempDir out;
        BinCue sinks(cap, out);
        ASSERT_EQ(Write(*p, sinks.pair), 0) << cap.Dump();
        BinImage bin(sinks.binPath);
        const std::uint32_t first = 225;
        for (std::uint32_t n = 0; n < 10; ++n)
            EXPECT_EQ(bin.Sub(first + n), c.packSubs[n]) << "pack " << n;
        int empty = 0;
        for (std::uint32_t n = 10; n < 150; ++n)
            empty += bin.Sub(first + n) == Subheader{0, 0, 0x20, 0};
        EXPECT_EQ(empty, 140);
        EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "setting EOR for SeqEnd at packet# 3 ('seg')"));
        EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "setting auto pause trigger for time 0.500000 (pts "
                                           "0.600000) @226"))
            << cap.Dump(VCD_LOG_DEBUG);
        EXPECT_TRUE(CheckRawImage(sinks.binPath).ok());
        cap.Clear();
    }
}

TEST_F(Writer, SequenceAutoPauseAndPackTypes) {
    std::vector<PackSpec> packs = ApsAt(100, {{0, 0}, {50, 2.0}});
    packs[10] = {PackKind::Audio, 1.0};
    packs[60] = {PackKind::Audio, 2.5};
    auto p = Project(VCD_TYPE_VCD20);
    ASSERT_EQ(AddSequence(*p, Stream(packs), "seq"), 0);
    // Both early pauses are used by the first pack whose PTS reaches them.
    for (double t : {0.4, 0.9, 2.2})
        ASSERT_EQ(p->AddSequencePause(nullptr, t, nullptr), 0);
    TempDir out;
    BinCue sinks(cap, out);
    ASSERT_EQ(Write(*p, sinks.pair), 0) << cap.Dump();
    BinImage bin(sinks.binPath);
    const std::uint32_t pack0 = 480;
    EXPECT_EQ(bin.Sub(pack0), (Subheader{1, 1, 0x62, 0x0f}));
    EXPECT_EQ(bin.Sub(pack0 + 10), (Subheader{1, 1, 0x74, 0x7f}));
    EXPECT_EQ(bin.Sub(pack0 + 50), (Subheader{1, 1, 0x62, 0x0f}));
    EXPECT_EQ(bin.Sub(pack0 + 60), (Subheader{1, 1, 0x74, 0x7f}));
    EXPECT_EQ(cap.Count(VCD_LOG_DEBUG, "setting auto pause trigger"), 3);
    EXPECT_TRUE(
        cap.Has(VCD_LOG_DEBUG, "setting auto pause trigger for time 0.900000 (pts 1.000000) @10"));
}

TEST_F(Writer, CustomFiles) {
    mpegtest::Bytes text(3000);
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<std::uint8_t>(i * 7 + 3);
    mpegtest::Bytes raw(2 * 2336);
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<std::uint8_t>(i * 11 + 1);
    auto p = Project(VCD_TYPE_VCD20);
    ASSERT_EQ(AddSequence(*p, Stream(ApsAt(100, {{0, 0}}))), 0);
    ASSERT_EQ(AddFile(*p, "vcd/extra.txt", HostFile("extra.txt", text)), 0);
    ASSERT_EQ(AddFile(*p, "raw.dat", HostFile("raw.dat", raw), true), 0);
    TempDir out;
    BinCue sinks(cap, out);
    ASSERT_EQ(Write(*p, sinks.pair), 0) << cap.Dump();
    EXPECT_TRUE(cap.Has(VCD_LOG_INFO, "writing file `vcd/extra.txt' (3000 bytes)"));
    EXPECT_TRUE(cap.Has(VCD_LOG_INFO, "writing file `raw.dat' (4672 bytes, raw file)"));

    BinImage bin(sinks.binPath);
    EXPECT_EQ(bin.Sub(225), (Subheader{1, 0, 0x08, 0}));
    EXPECT_EQ(bin.Sub(226), (Subheader{1, 0, 0x88, 0}));
    EXPECT_EQ(std::memcmp(bin.Sector(225) + 24, text.data(), 2048), 0);
    EXPECT_EQ(std::memcmp(bin.Sector(226) + 24, text.data() + 2048, 952), 0);
    const mpegtest::Bytes zeros(2048 - 952, 0);
    EXPECT_EQ(std::memcmp(bin.Sector(226) + 24 + 952, zeros.data(), zeros.size()), 0);
    // Raw sectors keep all their 2336 bytes; only sync and header are ours.
    for (std::uint32_t k = 0; k < 2; ++k) {
        EXPECT_EQ(std::memcmp(bin.Sector(227 + k) + 16, &raw[k * 2336], 2336), 0);
        std::uint8_t msf[3];
        LbaToMsf(227 + k + 150, msf);
        EXPECT_EQ(std::memcmp(bin.Sector(227 + k) + 12, msf, 3), 0);
        EXPECT_EQ(bin.Sector(227 + k)[15], 2);
    }
    // The rest of track 1 is empty data sectors.
    EXPECT_EQ(bin.Sub(229), (Subheader{0, 0, 0x08, 0}));
    EXPECT_EQ(bin.Sub(299), (Subheader{0, 0, 0x08, 0}));
}

// The ISO 9660 track as a real reader sees it.
TEST_F(Writer, IsoinfoListsTheLayout) {
    if (!HaveTool("isoinfo")) GTEST_SKIP() << "isoinfo not installed";
    auto p = Project(VCD_TYPE_VCD20);
    ASSERT_EQ(AddSegment(*p, Stream(ApsAt(10, {{0, 0}})), "seg"), 0);
    ASSERT_EQ(AddSequence(*p, Stream(ApsAt(1000, {{0, 0}}))), 0);
    ASSERT_EQ(AddSequence(*p, Stream(ApsAt(100, {{0, 0}}))), 1);
    ASSERT_EQ(AddFile(*p, "vcd/extra.txt", HostFile("x", mpegtest::Bytes(3000, 1))), 0);
    ASSERT_EQ(AddFile(*p, "data/extra.txt", HostFile("y", mpegtest::Bytes(10, 2))), 0);
    TempDir out;
    BinCue sinks(cap, out);
    ASSERT_EQ(Write(*p, sinks.pair), 0) << cap.Dump();
    const std::string iso = out.File("track1.iso");
    // Track 1 ends after the custom files, at 378.
    BinImage(sinks.binPath).ExtractForm1(0, 378, iso);

    // Full path -> extent and size; folders are listed with a 'd'.
    std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> got;
    // "----------   0    0    0   2048 Jul 14 1978 [    150 02]  ENTRIES.VCD;1"
    std::istringstream listing(RunTool("isoinfo -l -i '" + iso + "'"));
    const std::string header = "Directory listing of ";
    std::string folder;
    for (std::string line; std::getline(listing, line);) {
        if (line.rfind(header, 0) == 0) {
            folder = line.substr(header.size());
            continue;
        }
        const auto open = line.find('['), close = line.find(']');
        if (line.empty() || line[0] != '-' || open == std::string::npos || close < open) continue;
        std::istringstream fields(line.substr(0, open));
        std::string perms, links, uid, gid;
        std::uint32_t size = 0, extent = 0;
        fields >> perms >> links >> uid >> gid >> size;
        std::istringstream(line.substr(open + 1)) >> extent;
        std::string name;
        std::istringstream(line.substr(close + 1)) >> name;
        got[folder + name] = {extent, size};
    }
    const std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> want = {
        {"/VCD/ENTRIES.VCD;1", {151, 2048}},
        {"/VCD/INFO.VCD;1", {150, 2048}},
        {"/VCD/EXTRA.TXT;1", {375, 3000}},
        {"/data/extra.txt;1", {377, 10}},
        {"/SEGMENT/ITEM0001.DAT;1", {225, 10 * 2048}},
        {"/MPEGAV/AVSEQ01.DAT;1", {378 + 150, (30 + 1000 + 45) * 2048}},
        {"/MPEGAV/AVSEQ02.DAT;1", {378 + 150 + 1075 + 150, (30 + 100 + 45) * 2048}},
    };
    EXPECT_EQ(got, want);
}

// A sink that asks for the build to stop once it has stored a given sector.
class CancellingBin : public CVcdBinCue {
  public:
    CancellingBin(CVcdLog& log, const std::string& path, std::int32_t at, int* flag)
        : CVcdBinCue(log, path.c_str()), at_(at), flag_(flag) {}
    int PutSector(const std::uint8_t* sector, std::int32_t lsn) override {
        int r = CVcdBinCue::PutSector(sector, lsn);
        if (lsn == at_) *flag_ = 1;
        return r;
    }

  private:
    std::int32_t at_;
    int* flag_;
};

TEST_F(Writer, CancelStopsBeforeTheNextSector) {
    // Tracks 2 and 3 of 100 packs: track 3's pregap is LSN 300 + 150 + 175 .. + 150.
    const std::uint32_t track3Pregap = 300 + 150 + 175;
    struct Case {
        const char* where;
        std::int32_t at;
        int result;
    };
    const Case cases[] = {
        {"track 1", 20, 1},
        {"pregap of track 3", static_cast<std::int32_t>(track3Pregap + 10), 1},
        {"lead-out pause", static_cast<std::int32_t>(track3Pregap + 150 + 175 + 5), 2},
    };
    const std::string stream = Stream(ApsAt(100, {{0, 0}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        int cancel = 0;
        cap.log().cancelFlag = &cancel;
        auto p = Project(VCD_TYPE_VCD20);
        p->SetParam(VCD_PARAM_LEADOUT_PAUSE, 1u);
        ASSERT_EQ(AddSequence(*p, stream), 0);
        ASSERT_EQ(AddSequence(*p, stream), 1);
        TempDir out;
        CVcdBinCue cue(cap, out.File("VideoCD.cue").c_str());
        CancellingBin bin(cap, out.File("VideoCD.bin"), c.at, &cancel);
        VcdSinks pair{&cue, &bin};
        EXPECT_EQ(Write(*p, pair), c.result);
        EXPECT_EQ(p->sectorsWritten, static_cast<std::uint32_t>(c.at + 1));
        EXPECT_EQ(bin.Close(), 0);
        EXPECT_EQ(BinImage(out.File("VideoCD.bin")).sectors(),
                  static_cast<std::uint32_t>(c.at + 1));
        cap.log().cancelFlag = nullptr;
    }
}

// A sink whose sector writes fail from a given sector on.
class FailingBin : public CVcdBinCue {
  public:
    FailingBin(CVcdLog& log, const std::string& path, std::int32_t from)
        : CVcdBinCue(log, path.c_str()), from_(from) {}
    int PutSector(const std::uint8_t* sector, std::int32_t lsn) override {
        return lsn >= from_ ? 1 : CVcdBinCue::PutSector(sector, lsn);
    }

  private:
    std::int32_t from_;
};

TEST_F(Writer, Failures) {
    const std::string good = Stream(ApsAt(100, {{0, 0}}));
    std::vector<PackSpec> packs = ApsAt(100, {{0, 0}});
    packs[5] = {PackKind::Private, 0};
    const std::string invalid = Stream(packs);

    {
        SCOPED_TRACE("no sector sink");
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, good), 0);
        VcdSinks none;
        EXPECT_EQ(Write(*p, none), 1);
        EXPECT_EQ(p->sectorsWritten, 0u);
    }
    {
        SCOPED_TRACE("cue sheet cannot be written");
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, good), 0);
        TempDir out;
        CVcdBinCue cue(cap, ""); // no file: every write of its text fails
        CVcdBinCue bin(cap, out.File("VideoCD.bin").c_str());
        VcdSinks pair{&cue, &bin};
        EXPECT_EQ(Write(*p, pair), 1);
        EXPECT_EQ(pair.sinkA, nullptr);
        EXPECT_EQ(p->sectorsWritten, 0u);
    }
    {
        SCOPED_TRACE("sector write fails in track 2");
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, good), 0);
        TempDir out;
        FailingBin bin(cap, out.File("VideoCD.bin"), 500);
        VcdSinks pair{nullptr, &bin};
        EXPECT_EQ(Write(*p, pair), 1);
        EXPECT_EQ(p->sectorsWritten, 500u);
    }
    {
        SCOPED_TRACE("invalid pack");
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, invalid), 0) << cap.Dump();
        TempDir out;
        CVcdBinCue bin(cap, out.File("VideoCD.bin").c_str());
        VcdSinks pair{nullptr, &bin};
        EXPECT_EQ(Write(*p, pair), 1);
        EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "invalid mpeg packet found at packet# 5 -- please fix "
                                           "this mpeg file!"))
            << cap.Dump();
        EXPECT_EQ(p->sectorsWritten, 300u + 150 + 30 + 5);
    }
    {
        SCOPED_TRACE("custom file shrank after it was added");
        auto p = Project(VCD_TYPE_VCD20);
        ASSERT_EQ(AddSequence(*p, good), 0);
        const std::string host = HostFile("shrinks", mpegtest::Bytes(5000, 3));
        ASSERT_EQ(AddFile(*p, "extra.txt", host), 0);
        WriteFile(host, mpegtest::Bytes(3000, 3));
        TempDir out;
        CVcdBinCue bin(cap, out.File("VideoCD.bin").c_str());
        VcdSinks pair{nullptr, &bin};
        EXPECT_EQ(Write(*p, pair), 1);
        EXPECT_EQ(p->sectorsWritten, 225u + 1);
    }
}

// Records the image name of every write progress report.
class NameLog : public CVcdLog {
  public:
    NameLog() : CVcdLog(nullptr, 0, 5, false) {}
    int OnWriteProgress(const VcdWriteProgress* report) override {
        if (names.empty() || names.back() != report->imageName) names.push_back(report->imageName);
        return 0;
    }
    std::vector<std::string> names;
};

TEST_F(Writer, TocSinkRenamesTheImageInProgress) {
    NameLog log;
    auto p = CVcdObj::Create(log, VCD_TYPE_VCD20);
    ASSERT_TRUE(p);
    ASSERT_EQ(AddSequence(*p, Stream(ApsAt(100, {{0, 0}}))), 0);
    TempDir out;
    CVcdCdrDao toc(log, out.File("videocd.toc").c_str());
    CVcdCdrDao img(log, nullptr);
    ASSERT_EQ(toc.SetArg("img_base", out.File("videocd").c_str()), 0);
    ASSERT_EQ(img.SetArg("img_base", out.File("videocd").c_str()), 0);
    VcdSinks pair{&toc, &img};
    ASSERT_GT(p->GetImageSize(), 0);
    ASSERT_EQ(p->WriteImage(pair, "start"), 0);
    p->EndOutput();
    const std::vector<std::string> want = {"start", out.File("videocd_01.img"),
                                           out.File("videocd_02_pregap.img"),
                                           out.File("videocd_02.img")};
    EXPECT_EQ(log.names, want);
    EXPECT_EQ(mpegtest::ReadFile(out.File("videocd_02.img")).size(), (30u + 100 + 45) * 2352);
}

// cd-info reads the cue sheet and the BIN as a disc: its track list and the ISO 9660 volume.
TEST_F(Writer, CdInfoReadsTheImage) {
    if (!HaveTool("cd-info")) GTEST_SKIP() << "cd-info not installed";
    auto p = Project(VCD_TYPE_VCD20);
    p->SetParam(VCD_PARAM_VOLUME_LABEL, "PELLAM_TEST");
    ASSERT_EQ(AddSequence(*p, Stream(ApsAt(1000, {{0, 0}}))), 0);
    TempDir out;
    BinCue sinks(cap, out);
    ASSERT_EQ(Write(*p, sinks.pair), 0) << cap.Dump();
    const std::string info = RunTool("cd-info --no-header --no-device-info --no-cddb --cue-file '" +
                                     sinks.cuePath + "'");
    for (const char* part :
         {"  1: 00:02:00  000000 XA", "  2: 00:08:00  000450 XA", "001525 leadout",
          "ISO 9660: 300 blocks", "Volume     : PELLAM_TEST", "Video CD"})
        EXPECT_NE(info.find(part), std::string::npos) << part << "\n" << info;
}

} // namespace

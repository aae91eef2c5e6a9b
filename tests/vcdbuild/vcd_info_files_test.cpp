#include "vcd_info_files.h"

#include "log_capture.h"
#include "pbc.h"
#include "vcd_project.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Text(const std::uint8_t* p, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
}

std::string Hex(const Bytes& b) {
    std::string s;
    char t[4];
    for (std::uint8_t v : b) {
        std::snprintf(t, sizeof t, "%02X ", v);
        s += t;
    }
    return s;
}

bool AllZero(const Bytes& b, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (b[i] != 0) return false;
    return true;
}

// A project of `type` whose sequences and segments come from the fixtures, with the layout
// numbers set by hand afterwards.
struct Disc {
    CapturedLog cap;
    std::unique_ptr<CVcdObj> obj;

    explicit Disc(std::int32_t type) {
        obj = CVcdObj::Create(cap, type);
        EXPECT_TRUE(obj) << cap.Dump();
    }
    CMpegSequence& Sequence(const char* fixture, const char* id, std::uint32_t relStart) {
        auto src = std::make_unique<CVcdMpegSource>(
            cap.log(), (std::string(PELLAM_FIXTURES) + "/" + fixture).c_str());
        const int index = obj->AddSequence(src, id, nullptr);
        EXPECT_GE(index, 0) << fixture << "\n" << cap.Dump();
        CMpegSequence* seq = obj->sequences.At(static_cast<std::size_t>(index));
        seq->relStart = relStart;
        return *seq;
    }
    CMpegSegment& Segment(const char* fixture, const char* id) {
        auto src = std::make_unique<CVcdMpegSource>(
            cap.log(), (std::string(PELLAM_FIXTURES) + "/" + fixture).c_str());
        EXPECT_EQ(obj->AddSegment(src, id), 0) << fixture << "\n" << cap.Dump();
        return *obj->segments.Last();
    }
};

// ---- stream kinds and the content byte --------------------------------------------------

struct KindCase {
    const char* name;
    bool e0, e1, e2;
    std::uint32_t vsize;
    bool a0, a1, a2;
    MpegAudioMode mode;
    bool ogt0, ogt1, ogt2, ogt3;
    int video;
    int audioVcd, audioSvcd;
    int subtitleSvcd;
};

TEST(StreamKinds, VideoAudioSubtitleCodes) {
    const KindCase cases[] = {
        {"motion pal", true, false, false, 288, true, false, false, MPEG_AUDIO_STEREO, false, false,
         false, false, 7, 2, 1, 0},
        {"motion ntsc over still", true, true, false, 480, true, true, false,
         MPEG_AUDIO_JOINT_STEREO, true, false, false, false, 3, 2, 2, 1},
        {"still 576", false, true, false, 576, true, true, true, MPEG_AUDIO_DUAL_CHANNEL, true,
         true, false, false, 5, 3, 3, 2},
        {"still 240", false, true, false, 240, true, false, false, MPEG_AUDIO_SINGLE_CHANNEL, true,
         true, false, true, 1, 1, 1, 3},
        {"hires still 576", false, false, true, 576, true, false, false, MPEG_AUDIO_MODE_NONE,
         false, true, true, false, 6, 0, 1, 0},
        {"hires still 480", false, false, true, 480, false, true, false, MPEG_AUDIO_STEREO, true,
         true, true, true, 2, 0, 0, 3},
        {"nothing", false, false, false, 288, false, false, false, MPEG_AUDIO_MODE_NONE, false,
         false, false, false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        MpegStreamInfo info;
        const bool video[3] = {c.e0, c.e1, c.e2};
        for (int i = 0; i < 3; ++i) {
            info.video[i].seen = video[i];
            info.video[i].vsize = c.vsize;
        }
        info.audio[0].seen = c.a0;
        info.audio[1].seen = c.a1;
        info.audio[2].seen = c.a2;
        info.audio[0].mode = c.mode;
        const bool ogt[4] = {c.ogt0, c.ogt1, c.ogt2, c.ogt3};
        for (int i = 0; i < 4; ++i)
            info.ogt[i] = ogt[i];

        CapturedLog cap;
        EXPECT_EQ(GetVideoKind(cap, info, false), c.video) << c.name;
        EXPECT_EQ(cap.lines().size(), 0u) << c.name << cap.Dump();
        EXPECT_EQ(GetVideoKind(cap, info, true), c.video) << c.name;
        const bool e2Warns = !c.e0 && c.e2;
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, "stream with 0xE2 still stream id not allowed for "
                                          "IEC62107 compliant SVCDs"),
                  e2Warns ? 1 : 0)
            << c.name;
        EXPECT_EQ(GetAudioKind(info, false), c.audioVcd) << c.name;
        EXPECT_EQ(GetAudioKind(info, true), c.audioSvcd) << c.name;
        EXPECT_EQ(GetSubtitleKind(info, false), 0) << c.name;
        EXPECT_EQ(GetSubtitleKind(info, true), c.subtitleSvcd) << c.name;
        EXPECT_EQ(GetContentByte(cap, info, true, false),
                  c.audioSvcd | (c.video << 2) | (c.subtitleSvcd << 6))
            << c.name;
        EXPECT_EQ(GetContentByte(cap, info, false, false), c.audioVcd | (c.video << 2)) << c.name;
    }
}

// ---- disc addresses and times -----------------------------------------------------------

TEST(InfoMsf, SectorsAndTimes) {
    struct {
        std::uint32_t sector;
        Bytes msf;
    } sectors[] = {
        {0, {0x00, 0x02, 0x00}},
        {4349, {0x00, 0x59, 0x74}},
        {4350, {0x01, 0x00, 0x00}},
        {449849, {0x99, 0x59, 0x74}},
    };
    for (const auto& c : sectors) {
        Bytes out(3);
        SectorToMsf(c.sector, out.data());
        EXPECT_EQ(out, c.msf) << c.sector;
    }
    struct {
        double time;
        Bytes msf;
    } times[] = {
        {0, {0x00, 0x00, 0x00}},      {10.25, {0x00, 0x10, 0x18}}, {75.999, {0x01, 0x15, 0x74}},
        {5999.5, {0x99, 0x59, 0x37}}, {61.5, {0x01, 0x01, 0x37}},  {-3, {0x00, 0x00, 0x00}},
    };
    for (const auto& c : times) {
        Bytes out(3);
        TimeToMsf(c.time, out.data());
        EXPECT_EQ(out, c.msf) << c.time;
    }
}

// ---- INFO -------------------------------------------------------------------------------

struct InfoCase {
    const char* name;
    std::int32_t type;
    std::vector<const char*> fixtures;
    const char* fileId;
    std::uint8_t version, profile;
    std::uint8_t palByte, status;
};

TEST(InfoFile, IdentificationPalBitsAndStatusByType) {
    const InfoCase cases[] = {
        {"vcd 2.0", VCD_TYPE_VCD20, {"vcd_pal.mpg"}, "VIDEO_CD", 2, 0, 0x01, 0x24},
        {"vcd 2.0 ntsc then pal",
         VCD_TYPE_VCD20,
         {"vcd_ntsc.mpg", "vcd_pal.mpg"},
         "VIDEO_CD",
         2,
         0,
         0x02,
         0x24},
        {"vcd 1.1", VCD_TYPE_VCD11, {"vcd_pal.mpg"}, "VIDEO_CD", 1, 1, 0, 0},
        {"vcd 1.0", VCD_TYPE_VCD10, {"vcd_ntsc.mpg"}, "VIDEO_CD", 1, 0, 0, 0},
        {"svcd", VCD_TYPE_SVCD, {"svcd_ntsc.mpg", "svcd_pal.mpg"}, "SUPERVCD", 1, 0, 0x02, 0x24},
        {"hqvcd", VCD_TYPE_HQVCD, {"svcd_pal.mpg"}, "HQ-VCD  ", 1, 1, 0x01, 0x24},
    };
    for (const auto& c : cases) {
        Disc d(c.type);
        ASSERT_TRUE(d.obj);
        std::uint32_t rel = 150;
        for (const char* f : c.fixtures) {
            d.Sequence(f, nullptr, rel);
            rel += 1000;
        }
        d.obj->albumId = "ALBUM_1";
        d.obj->volumeCount = 3;
        d.obj->volumeNumber = 2;
        d.obj->restriction = 2;
        d.obj->nextVolumeLid2 = true;
        d.obj->isoSize = 300;
        d.obj->isoHeadSize = 225;
        d.cap.Clear();

        Bytes b(kInfoFileSize, 0xEE);
        SetInfo(*d.obj, b.data());
        EXPECT_EQ(Text(b.data(), 8), c.fileId) << c.name;
        EXPECT_EQ(b[8], c.version) << c.name;
        EXPECT_EQ(b[9], c.profile) << c.name;
        EXPECT_EQ(Text(b.data() + 10, 16), "ALBUM_1         ") << c.name;
        EXPECT_EQ(Slice(b, 26, 4), (Bytes{0, 3, 0, 2})) << c.name;
        EXPECT_EQ(b[30], c.palByte) << c.name;
        EXPECT_EQ(b[43], c.status) << c.name;
        // No PBC and no segments: PSD size, segment address, multiplier, counts all 0.
        EXPECT_TRUE(AllZero(b, 31, 43)) << c.name;
        EXPECT_TRUE(AllZero(b, 44, kInfoFileSize)) << c.name << "\n" << Hex(Slice(b, 44, 16));
        EXPECT_FALSE(d.cap.Has(VCD_LOG_WARN, "")) << c.name << d.cap.Dump();
    }
}

TEST(InfoFile, PalResolutionWithoutPalNormWarns) {
    Disc d(VCD_TYPE_VCD20);
    ASSERT_TRUE(d.obj);
    d.Sequence("vcd_ntsc.mpg", "a", 150);
    d.Sequence("vcd_ntsc.mpg", "b", 1150);
    MpegStreamInfo odd = d.obj->sequences.At(1)->info();
    odd.video[0].vsize = 288; // 352x288 at 29.97: no known norm
    d.cap.Clear();
    Bytes b(kInfoFileSize);
    SetInfo(*d.obj, {&d.obj->sequences.At(0)->info(), &odd}, b.data());
    EXPECT_EQ(b[30], 0x02);
    EXPECT_TRUE(d.cap.Has(VCD_LOG_WARN, "INFO.{VCD,SVD}: assuming PAL-type resolution for "
                                        "track #1 -- are we creating a X(S)VCD?"))
        << d.cap.Dump();
}

TEST(InfoFile, SegmentUnitsOfAMotionPalSegment) {
    Disc d(VCD_TYPE_VCD20);
    ASSERT_TRUE(d.obj);
    d.Sequence("vcd_ntsc.mpg", nullptr, 150);
    CMpegSegment& seg = d.Segment("vcd_pal.mpg", "seg1");
    seg.segmentCount = 3;
    d.obj->isoSize = 300;
    d.obj->isoHeadSize = 225;
    d.cap.Clear();

    Bytes b(kInfoFileSize);
    SetInfo(*d.obj, b.data());
    EXPECT_EQ(Slice(b, 48, 3), (Bytes{0x00, 0x05, 0x00})) << "MSF of sector 225";
    EXPECT_EQ(b[51], 0);
    EXPECT_EQ(Slice(b, 52, 7), (Bytes{0, 0, 0, 3, 0x1E, 0x3E, 0x3E}));
    EXPECT_TRUE(AllZero(b, 59, kInfoFileSize));
    EXPECT_TRUE(d.cap.Has(VCD_LOG_WARN, "segment items available, but no PBC items set! SPIs "
                                        "will be unreachable"))
        << d.cap.Dump();
    EXPECT_FALSE(d.cap.Has(VCD_LOG_WARN, "seems contains neither video nor audio"));
}

TEST(InfoFile, PlaybackControlFields) {
    Disc d(VCD_TYPE_VCD20);
    ASSERT_TRUE(d.obj);
    d.Sequence("vcd_pal.mpg", "seq", 150);
    auto play = std::make_unique<CPbcPlay>();
    play->id = "play";
    play->itemIds.push_back("seq");
    std::unique_ptr<CPbc> pbc = std::move(play);
    ASSERT_EQ(d.obj->AddPbc(pbc), 0) << d.cap.Dump();
    AssignOffsets(*d.obj);
    ASSERT_TRUE(IsPbcInUse(*d.obj));
    const std::uint32_t psd = GetPsdSize(*d.obj, false);
    ASSERT_GT(psd, 0u);

    Bytes b(kInfoFileSize);
    SetInfo(*d.obj, b.data());
    EXPECT_EQ(b[43], 0x80) << "extended PBC present";
    EXPECT_EQ(Slice(b, 44, 4), (Bytes{std::uint8_t(psd >> 24), std::uint8_t(psd >> 16),
                                      std::uint8_t(psd >> 8), std::uint8_t(psd)}));
    EXPECT_EQ(b[51], 8);
    EXPECT_EQ(Slice(b, 52, 2), (Bytes{0, 1}));

    // SVCD has no extended lists: the same PBC leaves bit 7 clear.
    Disc s(VCD_TYPE_SVCD);
    ASSERT_TRUE(s.obj);
    s.Sequence("svcd_pal.mpg", "seq", 150);
    auto splay = std::make_unique<CPbcPlay>();
    splay->id = "play";
    splay->itemIds.push_back("seq");
    std::unique_ptr<CPbc> spbc = std::move(splay);
    ASSERT_EQ(s.obj->AddPbc(spbc), 0) << s.cap.Dump();
    AssignOffsets(*s.obj);
    SetInfo(*s.obj, b.data());
    EXPECT_EQ(b[43], 0x00);
    EXPECT_EQ(b[51], 8);
}

// ---- ENTRIES ----------------------------------------------------------------------------

TEST(EntriesFile, TrackStartsAndEntryPointsByteByByte) {
    Disc d(VCD_TYPE_VCD20);
    ASSERT_TRUE(d.obj);
    CMpegSequence& a = d.Sequence("vcd_pal.mpg", "a", 150);
    d.Sequence("vcd_ntsc.mpg", "b", 1000);
    ASSERT_EQ(d.obj->AddEntry("a", 0.8, "late"), 0) << d.cap.Dump();
    ASSERT_EQ(d.obj->AddEntry("a", 0.4, "early"), 0) << d.cap.Dump();
    d.obj->isoSize = 300;
    d.obj->trackFrontMargin = 15;
    a.entries.At(0)->packetNo = 40; // 0.4 s
    a.entries.At(1)->packetNo = 90; // 0.8 s

    Bytes b(kInfoFileSize, 0xEE);
    SetEntries(*d.obj, b.data());
    const Bytes expected = {
        'E',  'N',  'T',  'R',  'Y',  'V',  'C',  'D',
        2,    0,    0,    4,    0x02, 0x00, 0x08, 0x00, // track 2 at 450
        0x02, 0x00, 0x08, 0x55,                         // 450 + 15 + 40
        0x02, 0x00, 0x09, 0x30,                         // 450 + 15 + 90
        0x03, 0x00, 0x19, 0x25,                         // track 3 at 1300
    };
    EXPECT_EQ(Slice(b, 0, expected.size()), expected) << Hex(Slice(b, 0, expected.size()));
    EXPECT_TRUE(AllZero(b, expected.size(), kInfoFileSize));
}

struct EntriesIdCase {
    std::int32_t type;
    bool entrySvd;
    const char* fileId;
    std::uint8_t version;
    bool warns;
};

TEST(EntriesFile, IdentificationByType) {
    const char* warning = "setting ENTRYSVD signature for *DEPRECATED* VCD 3.0 type SVCD";
    const EntriesIdCase cases[] = {
        {VCD_TYPE_VCD11, false, "ENTRYVCD", 1, false},
        {VCD_TYPE_VCD20, false, "ENTRYVCD", 2, false},
        {VCD_TYPE_SVCD, false, "ENTRYVCD", 1, false},
        {VCD_TYPE_SVCD, true, "ENTRYSVD", 1, true},
        {VCD_TYPE_HQVCD, true, "ENTRYVCD", 1, false},
    };
    for (const auto& c : cases) {
        Disc d(c.type);
        ASSERT_TRUE(d.obj);
        d.obj->vcd30EntrySvd = c.entrySvd;
        Bytes b(kInfoFileSize);
        SetEntries(*d.obj, b.data());
        EXPECT_EQ(Text(b.data(), 8), c.fileId) << c.type;
        EXPECT_EQ(b[8], c.version) << c.type;
        EXPECT_EQ(b[9], 0) << c.type;
        EXPECT_EQ(d.cap.Count(VCD_LOG_WARN, warning), c.warns ? 1 : 0) << c.type;
    }
}

// ---- TRACKS.SVD -------------------------------------------------------------------------

TEST(TracksFile, PlayingTimesClipAndContentBytes) {
    Disc d(VCD_TYPE_SVCD);
    ASSERT_TRUE(d.obj);
    d.Sequence("svcd_pal.mpg", "a", 150);
    d.Sequence("svcd_ntsc.mpg", "b", 1000);
    d.Sequence("svcd_ntsc.mpg", "c", 2000);
    MpegStreamInfo a = d.obj->sequences.At(0)->info();
    MpegStreamInfo b = d.obj->sequences.At(1)->info();
    MpegStreamInfo c = b;
    a.playingTime = 6000.5;
    b.playingTime = 10.25;
    b.ogt[0] = b.ogt[1] = true;
    c.playingTime = 5.0;
    c.video[0].seen = false;
    c.video[1].seen = true; // a still only
    d.cap.Clear();

    Bytes out(kInfoFileSize, 0xEE);
    SetTracksSvd(*d.obj, {&a, &b, &c}, out.data());
    const Bytes expected = {'T',  'R',  'A',  'C',  'K',  'S',  'V',  'D',  1,    0,    3,   0x99,
                            0x59, 0x74, 0x00, 0x10, 0x18, 0x00, 0x05, 0x00, 0x1D, 0x8D, 0x05};
    EXPECT_EQ(Slice(out, 0, expected.size()), expected) << Hex(Slice(out, 0, expected.size()));
    EXPECT_TRUE(AllZero(out, expected.size(), kInfoFileSize));
    EXPECT_TRUE(d.cap.Has(VCD_LOG_WARN, "SVCD/TRACKS.SVD: playing time value (6000 seconds) to "
                                        "great, clipping to 100 minutes"))
        << d.cap.Dump();
    EXPECT_EQ(d.cap.Count(VCD_LOG_WARN, "No MPEG motion video"), 1);
    EXPECT_TRUE(d.cap.Has(VCD_LOG_WARN, "SVCD/TRACKS.SVCD: No MPEG motion video for track #2?"));
}

TEST(TracksFile, Vcd30FormWithWrappedCumulativeTime) {
    Disc d(VCD_TYPE_SVCD);
    ASSERT_TRUE(d.obj);
    d.Sequence("svcd_pal.mpg", "a", 150);
    d.Sequence("svcd_ntsc.mpg", "b", 1000);
    d.obj->vcd30TrackSvd = true;
    MpegStreamInfo a = d.obj->sequences.At(0)->info();
    MpegStreamInfo b = d.obj->sequences.At(1)->info();
    a.playingTime = 5999.5;
    b.playingTime = 1.0;
    b.ogt[0] = b.ogt[2] = true;
    b.audio[1].seen = true;
    Bytes out(kInfoFileSize, 0xEE);
    SetTracksSvd(*d.obj, {&a, &b}, out.data());
    const Bytes expected = {'T',  'R',  'A',  'C',  'K',  'S',  'V',  'D',
                            1,    0,    2,    0x99, 0x59, 0x37, 0x00, 0x02, // 5999.5 s, audio 0
                            0x00, 0x00, 0x37, 0x11, 0x22};                  // 6000.5 - 6000
    EXPECT_EQ(Slice(out, 0, expected.size()), expected) << Hex(Slice(out, 0, expected.size()));
    EXPECT_TRUE(AllZero(out, expected.size(), kInfoFileSize));
}

// ---- SEARCH.DAT and SCANDATA.DAT --------------------------------------------------------

// Two SVCD sequences with access points set by hand; the layout numbers as the layout would.
struct ScanDisc : Disc {
    MpegStreamInfo a, b;
    ScanDisc(double timeA, std::vector<ApsEntry> apsA, double timeB, std::vector<ApsEntry> apsB)
        : Disc(VCD_TYPE_SVCD) {
        if (!obj) return;
        Sequence("svcd_pal.mpg", "a", 150);
        Sequence("svcd_ntsc.mpg", "b", 1000);
        obj->isoSize = 300;
        obj->trackFrontMargin = 15;
        a = obj->sequences.At(0)->info();
        b = obj->sequences.At(1)->info();
        a.playingTime = timeA;
        a.video[0].apsList = std::move(apsA);
        b.playingTime = timeB;
        b.video[0].apsList = std::move(apsB);
        cap.Clear();
    }
    VcdSequenceFacts Facts() const { return {&a, &b}; }
};

Bytes Msf(std::uint32_t sector) {
    Bytes m(3);
    SectorToMsf(sector, m.data());
    return m;
}

Bytes Points(std::initializer_list<std::uint32_t> sectors) {
    Bytes out;
    for (std::uint32_t s : sectors) {
        const Bytes m = Msf(s);
        out.insert(out.end(), m.begin(), m.end());
    }
    return out;
}

TEST(ScanFiles, NearestAccessPointWithTieKeepsTheEarlier) {
    // Track a starts at 465, b at 1315. Absolute access point times: 0, 0.25, 0.75 | 1.0, 1.6.
    ScanDisc d(1.0, {{0, 0.0}, {10, 0.25}, {20, 0.75}}, 1.0, {{0, 0.0}, {30, 0.6}});
    ASSERT_TRUE(d.obj);
    const auto facts = d.Facts();
    ASSERT_EQ(GetScanPointCount(*d.obj, facts), 4u);
    ASSERT_EQ(GetSearchDatSize(*d.obj, facts), 13u + 12u);

    Bytes search(GetSearchDatSize(*d.obj, facts), 0xEE);
    SetSearchDat(*d.obj, facts, search.data());
    Bytes expected = {'S', 'E', 'A', 'R', 'C', 'H', 'S', 'V', 1, 0, 0, 4, 1};
    // t = 0.5 lies between 0.25 and 0.75: the earlier stays.
    const Bytes searchPoints = Points({465, 475, 1315, 1345});
    expected.insert(expected.end(), searchPoints.begin(), searchPoints.end());
    EXPECT_EQ(search, expected) << Hex(search);

    ASSERT_EQ(GetScandataDatSize(*d.obj, facts), 18u + 12u + 12u);
    Bytes scan(GetScandataDatSize(*d.obj, facts), 0xEE);
    SetScandataDat(*d.obj, facts, scan.data());
    expected = {'S',  'C',  'A',  'N',  '_',  'V',  'C',  'D',  1,    0,    0,
                4,    0,    2,    0,    0,    0x00, 0x01, 0x00, 0x00, 0x02, 0x00, // 1.0 s, 2.0 s
                0x00, 0x06, // start of the track table
                0x02, 0x00, 0x06, 0x03, 0x00, 0x0C};
    const Bytes scanPoints = Points({465, 475, 1315, 1345});
    expected.insert(expected.end(), scanPoints.begin(), scanPoints.end());
    EXPECT_EQ(scan, expected) << Hex(scan);
    EXPECT_FALSE(d.cap.Has(VCD_LOG_WARN, "")) << d.cap.Dump();
}

struct CountCase {
    double timeB;
    std::uint32_t header;
    std::uint32_t pointsB;
};

TEST(ScanFiles, DiscCountAgainstPerTrackCounts) {
    const CountCase cases[] = {{5.0, 31, 10}, {5.1, 31, 11}};
    for (const auto& c : cases) {
        // Track b has no access points: every one of its points is its first pack.
        ScanDisc d(10.2, {{0, 0.0}, {50, 5.0}, {99, 10.0}}, c.timeB, {});
        ASSERT_TRUE(d.obj);
        const auto facts = d.Facts();
        EXPECT_EQ(GetScanPointCount(*d.obj, facts), c.header) << c.timeB;
        EXPECT_EQ(GetSearchDatSize(*d.obj, facts), 13 + 3 * c.header) << c.timeB;
        const std::uint32_t size = GetScandataDatSize(*d.obj, facts);
        ASSERT_EQ(size, 18 + 12 + 3 * (21 + c.pointsB)) << c.timeB;

        Bytes search(GetSearchDatSize(*d.obj, facts) + 1, 0xEE);
        SetSearchDat(*d.obj, facts, search.data());
        EXPECT_EQ(Slice(search, 10, 2), (Bytes{0, std::uint8_t(c.header)}));
        EXPECT_EQ(search.back(), 0xEE) << "wrote past SEARCH.DAT";
        // t = 10.0 takes a's last point (10.0); t = 10.5 is nearer b's start at 10.2.
        EXPECT_EQ(Slice(search, 13 + 3 * 20, 6), Points({465 + 99, 1315}));

        Bytes scan(size + 1, 0xEE);
        SetScandataDat(*d.obj, facts, scan.data());
        EXPECT_EQ(scan.back(), 0xEE) << "wrote past SCANDATA.DAT";
        EXPECT_EQ(Slice(scan, 10, 2), (Bytes{0, std::uint8_t(c.header)}));
        const std::uint32_t second = 6 + 3 * 21;
        EXPECT_EQ(Slice(scan, 24, 6), (Bytes{2, 0, 6, 3, 0, std::uint8_t(second)}));
        const std::size_t pointsAt = 30;
        Bytes tableB = Slice(scan, pointsAt + 3 * 21, 3 * c.pointsB);
        Bytes firstPack;
        for (std::uint32_t i = 0; i < c.pointsB; ++i) {
            const Bytes m = Msf(1315);
            firstPack.insert(firstPack.end(), m.begin(), m.end());
        }
        EXPECT_EQ(tableB, firstPack) << c.timeB;
        // a's own points: at t = 2.5 and 7.5 (ties) the earlier point stays; 8.0 takes 10.0.
        EXPECT_EQ(Slice(scan, pointsAt + 3 * 5, 3), Msf(465));
        EXPECT_EQ(Slice(scan, pointsAt + 3 * 15, 3), Msf(465 + 50));
        EXPECT_EQ(Slice(scan, pointsAt + 3 * 16, 3), Msf(465 + 99));
    }
}

TEST(ScanFiles, CumulativePlayingTime) {
    ScanDisc d(10.2, {}, 5.1, {});
    ASSERT_TRUE(d.obj);
    const auto facts = d.Facts();
    EXPECT_DOUBLE_EQ(GetCumulativePlayingTime(*d.obj, facts, 0), 0.0);
    EXPECT_DOUBLE_EQ(GetCumulativePlayingTime(*d.obj, facts, 1), 10.2);
    EXPECT_DOUBLE_EQ(GetCumulativePlayingTime(*d.obj, facts, 2), 15.3);
    EXPECT_FALSE(d.cap.Has(VCD_LOG_WARN, ""));
    EXPECT_DOUBLE_EQ(GetCumulativePlayingTime(*d.obj, facts, 3), 15.3);
    EXPECT_TRUE(d.cap.Has(VCD_LOG_WARN, "internal error in <InfoFiles> at function "
                                        "\"GetCumulativePlayingTime\""))
        << d.cap.Dump();
}

// ---- limits of the 2048-byte files ------------------------------------------------------

TEST(InfoLimits, OversizedProjectsAreRefusedAndNeverOverrun) {
    {
        Disc d(VCD_TYPE_VCD20);
        ASSERT_TRUE(d.obj);
        d.Sequence("vcd_ntsc.mpg", nullptr, 150);
        CMpegSegment& seg = d.Segment("vcd_pal.mpg", "seg1");
        seg.segmentCount = kInfoMaxSegmentUnits;
        EXPECT_EQ(CheckInfoLimits(*d.obj), 0) << d.cap.Dump();
        seg.segmentCount = kInfoMaxSegmentUnits + 1;
        d.cap.Clear();
        EXPECT_EQ(CheckInfoLimits(*d.obj), -1);
        EXPECT_TRUE(d.cap.Has(VCD_LOG_ERROR, "segment units")) << d.cap.Dump();
        Bytes b(kInfoFileSize); // ASan catches a write past the end
        SetInfo(*d.obj, b.data());
        EXPECT_EQ(b[kInfoFileSize - 1], 0x3E);
        EXPECT_EQ(Slice(b, 54, 2), (Bytes{0x07, 0xC8})) << "1992 units written";
    }
    {
        Disc d(VCD_TYPE_VCD20);
        ASSERT_TRUE(d.obj);
        for (int i = 0; i < 6; ++i) {
            CMpegSequence& seq = d.Sequence("vcd_ntsc.mpg", nullptr, 150 + 1000 * i);
            for (int e = 0; e < 84; ++e)
                seq.entries.Append(std::make_unique<CVcdEntry>());
        }
        d.cap.Clear();
        EXPECT_EQ(CheckInfoLimits(*d.obj), -1) << "6 x 85 = 510 entries";
        EXPECT_TRUE(d.cap.Has(VCD_LOG_ERROR, "ENTRIES")) << d.cap.Dump();
        Bytes b(kInfoFileSize); // ASan catches a write past the end
        d.cap.Clear();
        SetEntries(*d.obj, b.data());
        EXPECT_EQ(Slice(b, 10, 2), (Bytes{0x01, 0xFD})) << "509 entries written";
        EXPECT_EQ(b[kInfoFileSize - 4], 0x07) << "the last one is of track 7";
        EXPECT_TRUE(d.cap.Has(VCD_LOG_ERROR, "ENTRIES")) << d.cap.Dump();

        CMpegSequence& last = *d.obj->sequences.Last();
        last.entries.FreeAll();
        for (int e = 0; e < 83; ++e)
            last.entries.Append(std::make_unique<CVcdEntry>());
        d.cap.Clear();
        EXPECT_EQ(CheckInfoLimits(*d.obj), 0) << d.cap.Dump();
        SetEntries(*d.obj, b.data());
        EXPECT_EQ(Slice(b, 10, 2), (Bytes{0x01, 0xFD}));
        EXPECT_FALSE(d.cap.Has(VCD_LOG_ERROR, "")) << d.cap.Dump();
    }
}

} // namespace

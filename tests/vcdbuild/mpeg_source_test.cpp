#include "log_capture.h"
#include "mpeg_pack_builder_support.h"
#include "mpeg_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

using namespace mpegtest;

namespace {

Bytes Header(int version) {
    return version == 2 ? PackHeaderV2() : PackHeaderV1();
}

Bytes VideoPack(int version, std::optional<double> pts, const Bytes& es,
                std::size_t size = kMpegPackSize) {
    return PadTo(Concat({Header(version), Pes(0xE0, version, pts, es)}), size);
}

Bytes AudioPack(int version, std::optional<double> pts, std::size_t size = kMpegPackSize) {
    return PadTo(Concat({Header(version), Pes(0xC0, version, pts, AudioFrameHeader(2, 11, 0, 0))}),
                 size);
}

Bytes EmptyPack(int version, std::size_t size = kMpegPackSize) {
    return PadTo(Header(version), size);
}

Bytes Join(const std::vector<Bytes>& packs) {
    Bytes out;
    for (const Bytes& p : packs)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes& Sgi() {
    static const Bytes es = Concat({SequenceHeader(352, 240, 1, 4), GopHeader(), PictureHeader(1)});
    return es;
}

// Decodes a scan offset field back to a pack number; -1 for FF FF FF, -2 when malformed.
long DecodeScanOffset(const std::uint8_t* f) {
    if (f[0] == 0xFF && f[1] == 0xFF && f[2] == 0xFF) return -1;
    if (!(f[1] & 0x80) || !(f[2] & 0x80)) return -2;
    auto bcd = [](std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); };
    return bcd(f[0]) * 4500L + bcd(f[1] & 0x7F) * 75L + bcd(f[2] & 0x7F);
}

} // namespace

TEST(MpegSource, AlignedStreamFactsAndRelativeTimes) {
    // First PTS 0.5 s: times of access points and packs come out relative to it.
    std::vector<Bytes> packs = {
        PadTo(Concat({PackHeaderV1(), SystemHeader({0xE0, 0xC0}), Pes(0xE0, 1, 0.5, Sgi())}),
              kMpegPackSize),
        AudioPack(1, 0.6),
        VideoPack(1, 0.7, PictureHeader(2)),
        VideoPack(1, std::nullopt, Bytes(100, 0x42)),
        VideoPack(1, 1.5, Concat({GopHeader(), PictureHeader(1)})),
        EmptyPack(1),
        VideoPack(1, 2.5, Concat({PictureHeader(1)})),
        AudioPack(1, 3.0),
    };
    TempFile file(Join(packs));
    CapturedLog cap;
    CVcdMpegSource src(cap, file.path().c_str());
    EXPECT_FALSE(src.scanned());
    ASSERT_EQ(src.Scan(false, false, "seq-1"), 0) << cap.Dump();
    EXPECT_TRUE(src.scanned());
    EXPECT_FALSE(src.isOpen());
    const MpegStreamInfo& info = src.GetInfo();
    EXPECT_EQ(info.packets, packs.size());
    EXPECT_EQ(info.version, MPEG_VERSION_1);
    EXPECT_EQ(info.muxRate, 3528u * 400);
    EXPECT_TRUE(info.video[0].seen);
    EXPECT_EQ(GetNorm(info.video[0]), MPEG_NORM_NTSC);
    EXPECT_TRUE(info.audio[0].seen);
    EXPECT_EQ(info.audio[0].samplingRate, 44100u);
    EXPECT_DOUBLE_EQ(info.minPts, 0.5);
    EXPECT_DOUBLE_EQ(info.maxPts, 3.0);
    EXPECT_DOUBLE_EQ(info.playingTime, 2.5);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "pts start offset 0.500000 (max pts = 3.000000)\n"));
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "playing time 2.500000\n"));
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0) << cap.Dump(VCD_LOG_WARN);

    const std::vector<ApsEntry>& aps = info.video[0].apsList;
    ASSERT_EQ(aps.size(), 3u);
    const std::uint32_t packNos[] = {0, 4, 6};
    const double times[] = {0.0, 1.0, 2.0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(aps[i].packetNo, packNos[i]);
        EXPECT_DOUBLE_EQ(aps[i].timestamp, times[i]);
    }

    // Read back in order: the file's bytes and the flags of each pack.
    std::uint8_t buf[kMpegPackSize];
    for (std::uint32_t i = 0; i < packs.size(); ++i) {
        MpegPacketInfo pi;
        ASSERT_EQ(src.GetPacket(i, buf, &pi, false), 0);
        EXPECT_EQ(std::memcmp(buf, packs[i].data(), kMpegPackSize), 0) << i;
        EXPECT_EQ(src.readPacketNo(), i + 1);
        EXPECT_EQ(src.readPosition(), static_cast<std::int64_t>((i + 1) * kMpegPackSize));
        if (i == 2) {
            EXPECT_EQ(GetPacketType(pi), MPEG_PACKET_VIDEO);
            EXPECT_DOUBLE_EQ(pi.pts, 0.2);
        }
        if (i == 3) {
            EXPECT_FALSE(pi.hasPts);
        }
        if (i == 5) {
            EXPECT_EQ(GetPacketType(pi), MPEG_PACKET_EMPTY);
        }
        if (i == 7) {
            EXPECT_EQ(GetPacketType(pi), MPEG_PACKET_AUDIO);
        }
    }
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "rewinding"), 0);

    cap.Clear();
    EXPECT_EQ(src.Scan(false, false, "seq-1"), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "already scanned... not rescanning\n"));
}

TEST(MpegSource, StrictAccessPointsKeepOnlySequenceStarts) {
    std::vector<Bytes> packs = {
        VideoPack(1, 1.0, Sgi()),
        VideoPack(1, 1.5, PictureHeader(1)),
        VideoPack(1, 2.0, Concat({GopHeader(), PictureHeader(1)})),
        VideoPack(1, 2.5, Concat({PictureHeader(2), Sgi()})),
    };
    TempFile file(Join(packs));
    for (bool strict : {false, true}) {
        CapturedLog cap;
        CVcdMpegSource src(cap, file.path().c_str());
        ASSERT_EQ(src.Scan(strict, false, "x"), 0);
        std::vector<std::uint32_t> got;
        for (const ApsEntry& e : src.GetInfo().video[0].apsList)
            got.push_back(e.packetNo);
        EXPECT_EQ(got, strict ? std::vector<std::uint32_t>({0, 3})
                              : std::vector<std::uint32_t>({0, 1, 2, 3}));
    }
}

TEST(MpegSource, PacksOf2048BytesArePaddedOnTheFly) {
    std::vector<Bytes> packs = {VideoPack(2, 1.0, Sgi(), 2048), AudioPack(2, 1.0, 2048),
                                EmptyPack(2, 2048), VideoPack(2, 1.2, PictureHeader(2), 2048),
                                AudioPack(2, 1.1, 2048)};
    Bytes data = Join(packs);
    TempFile file(data);
    CapturedLog cap;
    CVcdMpegSource src(cap, file.path().c_str());
    ASSERT_EQ(src.Scan(false, false, "x"), 0);
    EXPECT_EQ(src.GetInfo().packets, 5u);
    // The last pack fills its shorter read exactly.
    EXPECT_EQ(cap.Count(VCD_LOG_WARN,
                        "mpeg stream will be padded on the fly -- hope that's ok for you!\n"),
              1);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "autopadding requires to insert additional 1104 zero bytes "
                                      "into MPEG stream (due to 4 unaligned packets of 5 total)\n"))
        << cap.Dump(VCD_LOG_WARN);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "mpeg stream contained no scan information (user data).\n"));

    std::uint8_t buf[kMpegPackSize];
    for (std::uint32_t i = 0; i < 5; ++i) {
        std::memset(buf, 0xEE, sizeof buf);
        ASSERT_EQ(src.GetPacket(i, buf, nullptr, false), 0);
        EXPECT_EQ(std::memcmp(buf, packs[i].data(), 2048), 0) << i;
        EXPECT_EQ(std::count(buf + 2048, buf + kMpegPackSize, 0), 276) << i;
        EXPECT_EQ(src.readPosition(), static_cast<std::int64_t>((i + 1) * 2048));
    }
}

TEST(MpegSource, NoScanInformationWarningOnlyForMpeg2) {
    const std::uint8_t offsets[12] = {0xFF, 0xFF, 0xFF, 0x00, 0x80, 0x81,
                                      0x00, 0x80, 0x80, 0x00, 0x80, 0x81};
    struct Case {
        const char* name;
        std::vector<Bytes> packs;
        bool warning;
        std::uint32_t scanData;
    };
    const Case cases[] = {
        {"mpeg1", {VideoPack(1, 1.0, Sgi())}, false, 0},
        {"mpeg2 without", {VideoPack(2, 1.0, Sgi())}, true, 0},
        {"mpeg2 with",
         {VideoPack(2, 1.0, Concat({Sgi(), ScanInfoUserData(offsets)})),
          VideoPack(2, 1.1, Concat({PictureHeader(2), ScanInfoUserData(offsets)}))},
         false,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(Join(c.packs));
        CapturedLog cap;
        CVcdMpegSource src(cap, file.path().c_str());
        ASSERT_EQ(src.Scan(false, false, "x"), 0);
        EXPECT_EQ(cap.Has(VCD_LOG_WARN, "mpeg stream contained no scan information (user data).\n"),
                  c.warning);
        EXPECT_EQ(src.GetInfo().scanData, c.scanData);
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), c.warning ? 1 : 0) << cap.Dump();
    }
}

// Access points at packs 2, 10, 20 and 28 (0, 5, 11 and 30 s after the first PTS); packs with
// scan information at 1 (before any access point, no PTS), 2, 12, 25 (no PTS) and 29.
class MpegScanRewrite : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::uint8_t junk[12] = {}; // every field without its top bits
        Bytes scan = ScanInfoUserData(junk);
        std::map<int, Bytes> special = {
            {0, AudioPack(2, 1.0)},
            {1, VideoPack(2, std::nullopt, Concat({PictureHeader(2), scan}))},
            {2, VideoPack(2, 1.0, Concat({Sgi(), scan}))},
            {10, VideoPack(2, 6.0, Sgi())},
            {12, VideoPack(2, 7.0, Concat({PictureHeader(3), scan}))},
            {20, VideoPack(2, 12.0, Concat({GopHeader(), PictureHeader(1)}))},
            {25, VideoPack(2, std::nullopt, Concat({PictureHeader(2), scan}))},
            {28, VideoPack(2, 31.0, Sgi())},
            {29, VideoPack(2, 32.0, Concat({PictureHeader(2), scan}))},
        };
        for (int i = 0; i < 31; ++i)
            packs.push_back(special.count(i) ? special[i] : EmptyPack(2));
        file = std::make_unique<TempFile>(Join(packs));
    }

    std::vector<Bytes> packs;
    std::unique_ptr<TempFile> file;
};

TEST_F(MpegScanRewrite, OffsetsPointAtTheAccessPoints) {
    CapturedLog cap;
    CVcdMpegSource src(cap, file->path().c_str());
    ASSERT_EQ(src.Scan(false, true, "x"), 0);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0) << cap.Dump(VCD_LOG_WARN);
    EXPECT_EQ(src.GetInfo().scanData, 5u);

    struct Case {
        std::uint32_t pack;
        long previous, next, backward, forward; // -1: FF FF FF
    };
    const Case cases[] = {
        // No access point before pack 1: its time is that of the first one (0 s).
        {1, -1, 2, 1, 10},
        {2, -1, 10, 2, 10},
        {12, 10, 20, 2, 20},
        // Interpolated between packs 20 and 28: 22.875 s, nothing before it within 10 s.
        {25, 20, 28, 25, 28},
        {29, 28, -1, 28, 29},
    };
    std::uint8_t buf[kMpegPackSize];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pack);
        MpegPacketInfo pi;
        ASSERT_EQ(src.GetPacket(c.pack, buf, &pi, true), 0);
        ASSERT_TRUE(pi.HasScanInfo());
        const std::uint8_t* tag = buf + pi.scanInfo;
        ASSERT_EQ(tag[0], 0x10);
        EXPECT_EQ(DecodeScanOffset(tag + 2), c.previous);
        EXPECT_EQ(DecodeScanOffset(tag + 5), c.next);
        EXPECT_EQ(DecodeScanOffset(tag + 8), c.backward);
        EXPECT_EQ(DecodeScanOffset(tag + 11), c.forward);
        // Nothing else of the pack changes.
        Bytes expected = packs[c.pack];
        std::memcpy(&expected[pi.scanInfo + 2], tag + 2, 12);
        EXPECT_EQ(std::memcmp(buf, expected.data(), kMpegPackSize), 0);
    }

    // Without the option the pack comes out as it is in the file.
    ASSERT_EQ(src.GetPacket(30, buf, nullptr, false), 0);
    ASSERT_EQ(src.GetPacket(12, buf, nullptr, false), 0);
    EXPECT_EQ(std::memcmp(buf, packs[12].data(), kMpegPackSize), 0);
}

TEST_F(MpegScanRewrite, FaultyOffsetsAreReportedWithoutTheOption) {
    CapturedLog cap;
    CVcdMpegSource src(cap, file->path().c_str());
    ASSERT_EQ(src.Scan(false, false, "x"), 0);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "mpeg user scan data: msb of second or frame field"), 8);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "from now on"), 1);
    EXPECT_EQ(src.GetInfo().scanDataWarnings, 9u);
}

TEST(MpegSource, GetPacketArgumentsAndRewinding) {
    std::vector<Bytes> packs;
    for (int i = 0; i < 12; ++i)
        packs.push_back(AudioPack(1, 0.1 * i));
    TempFile file(Join(packs));
    CapturedLog cap;
    CVcdMpegSource src(cap, file.path().c_str());
    std::uint8_t buf[kMpegPackSize];
    EXPECT_EQ(src.GetPacket(0, buf, nullptr, false), -1) << "not scanned";
    ASSERT_EQ(src.Scan(true, false, "x"), 0);

    cap.Clear();
    EXPECT_EQ(src.GetPacket(12, buf, nullptr, false), -1);
    EXPECT_EQ(src.GetPacket(0, nullptr, nullptr, false), -1);
    EXPECT_EQ(cap.Count(VCD_LOG_ERROR, "invalid argument\n"), 2);

    MpegPacketInfo pi;
    ASSERT_EQ(src.GetPacket(9, buf, &pi, false), 0);
    EXPECT_EQ(src.readPacketNo(), 10u);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "rewinding"), 0);
    ASSERT_EQ(src.GetPacket(5, buf, &pi, false), 0);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "rewinding mpeg stream...\n"));
    EXPECT_EQ(std::memcmp(buf, packs[5].data(), kMpegPackSize), 0);
    EXPECT_NEAR(pi.pts, 0.5, 1e-9);
    EXPECT_EQ(src.readPacketNo(), 6u);
    ASSERT_EQ(src.GetPacket(11, buf, &pi, false), 0);
    EXPECT_EQ(std::memcmp(buf, packs[11].data(), kMpegPackSize), 0);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "rewinding"), 1);
}

TEST(MpegSource, InvalidPacksFailOrCutTheStream) {
    Bytes garbage(kMpegPackSize, 0x47);
    {
        TempFile file(Join({garbage, AudioPack(1, 1.0)}));
        CapturedLog cap;
        CVcdMpegSource src(cap, file.path().c_str());
        EXPECT_EQ(src.Scan(false, false, "x"), 1);
        EXPECT_TRUE(
            cap.Has(VCD_LOG_ERROR, "input mpeg stream has been deemed invalid -- aborting\n"));
        EXPECT_EQ(src.GetInfo().packets, 0u);
    }
    {
        TempFile file(
            Join({AudioPack(1, 1.0), AudioPack(1, 1.1), EmptyPack(1), garbage, AudioPack(1, 1.2)}));
        CapturedLog cap;
        CVcdMpegSource src(cap, file.path().c_str());
        EXPECT_EQ(src.Scan(false, false, "x"), 0);
        EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "bad packet at packet #3 (stream byte offset 6972) -- "
                                          "remaining 4648 bytes of stream will be ignored\n"))
            << cap.Dump();
        EXPECT_EQ(src.GetInfo().packets, 3u);
        std::uint8_t buf[kMpegPackSize];
        EXPECT_EQ(src.GetPacket(2, buf, nullptr, false), 0);
        EXPECT_EQ(src.GetPacket(3, buf, nullptr, false), -1);
    }
    {
        CapturedLog cap;
        CVcdMpegSource src(cap, "/nonexistent/pellam.mpg");
        EXPECT_EQ(src.Scan(false, false, "x"), 1);
        EXPECT_EQ(src.GetInfo().packets, 0u);
    }
}

TEST(MpegSource, ProgressReportsAndCancel) {
    std::vector<Bytes> packs;
    for (int i = 0; i < 150; ++i)
        packs.push_back(AudioPack(1, 0.05 * i));
    TempFile file(Join(packs));
    const std::int64_t size = 150 * kMpegPackSize;
    {
        CapturedLog cap(2, true);
        CVcdMpegSource src(cap, file.path().c_str());
        ASSERT_EQ(src.Scan(false, false, "dir\\item-7"), 0);
        // The blocks are packed: copy their fields out before comparing.
        struct Report {
            std::int64_t size, position, packets, percent;
            std::string itemId;
        };
        std::vector<Report> blocks;
        for (const ScanBlock& b : cap.window().scanBlocks)
            blocks.push_back({b.size, b.position, b.packets, b.percent, b.itemId ? b.itemId : ""});
        ASSERT_GE(blocks.size(), 3u);
        EXPECT_EQ(blocks.front().size, size);
        EXPECT_EQ(blocks.front().position, 0);
        EXPECT_EQ(blocks.front().packets, 0);
        EXPECT_EQ(blocks.front().itemId, "dir\\item-7");
        EXPECT_EQ(blocks.back().position, size);
        EXPECT_EQ(blocks.back().packets, 150);
        EXPECT_EQ(blocks.back().percent, 100);
        // More than a hundredth of the file between reports: every other pack here.
        for (std::size_t i = 1; i + 1 < blocks.size(); ++i) {
            EXPECT_EQ(blocks[i].position,
                      blocks[i].packets * static_cast<std::int64_t>(kMpegPackSize));
            EXPECT_GT(blocks[i].position - blocks[i - 1].position, size / 100);
        }
        EXPECT_EQ(blocks.size(), 76u);
    }
    {
        CapturedLog cap;
        int cancel = 1;
        cap.log().cancelFlag = &cancel;
        CVcdMpegSource src(cap, file.path().c_str());
        EXPECT_EQ(src.Scan(false, false, "x"), -1);
        EXPECT_TRUE(src.scanned());
        EXPECT_FALSE(src.isOpen());
    }
}

// Byte offsets past 2 GiB: a sparse file of zero packs followed by two real packs.
TEST(MpegSource, OffsetsBeyondTwoGigabytes) {
    const std::int64_t zeroPacks = ((std::int64_t(1) << 31) / kMpegPackSize) + 1;
    const std::int64_t tail = zeroPacks * kMpegPackSize;
    const Bytes last = Join({AudioPack(1, 1.0), AudioPack(1, 2.0)});
    TempFile file(Bytes{}, "large.mpg");
    {
        std::FILE* f = std::fopen(file.path().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(fseeko(f, static_cast<off_t>(tail), SEEK_SET), 0);
        ASSERT_EQ(std::fwrite(last.data(), 1, last.size(), f), last.size());
        ASSERT_EQ(std::fclose(f), 0);
    }
    CapturedLog cap(2, true);
    CVcdMpegSource src(cap, file.path().c_str());
    ASSERT_EQ(src.Scan(false, false, "large"), 0) << cap.Dump(VCD_LOG_WARN);
    const std::uint32_t packets = static_cast<std::uint32_t>(zeroPacks + 2);
    EXPECT_EQ(src.GetInfo().packets, packets);
    EXPECT_DOUBLE_EQ(src.GetInfo().playingTime, 1.0);
    const ScanBlock& end = cap.window().scanBlocks.back();
    const std::int32_t percent = end.percent;
    EXPECT_EQ(percent, 100);

    std::uint8_t buf[kMpegPackSize];
    MpegPacketInfo pi;
    ASSERT_EQ(src.GetPacket(packets - 1, buf, &pi, false), 0);
    EXPECT_EQ(std::memcmp(buf, last.data() + kMpegPackSize, kMpegPackSize), 0);
    EXPECT_DOUBLE_EQ(pi.pts, 1.0);
    EXPECT_EQ(src.readPosition(), tail + static_cast<std::int64_t>(last.size()));
}

#include "log_capture.h"
#include "mpeg_pack_builder_support.h"
#include "mpeg_packet_parser.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace mpegtest;

namespace {

std::size_t Parse(const Bytes& pack, MpegScanContext& ctx, CVcdLog& log, bool parsePes = true) {
    return ParsePacket(pack.data(), pack.size(), parsePes, ctx, log);
}

// A full 2324-byte MPEG-1 pack around the given packets.
Bytes V1Pack(const Bytes& packets, double scrSeconds = 0) {
    return PadTo(Concat({PackHeaderV1(static_cast<std::uint64_t>(scrSeconds * 90000)), packets}),
                 kMpegPackSize);
}

Bytes V2Pack(const Bytes& packets) {
    return PadTo(Concat({PackHeaderV2(), packets}), kMpegPackSize);
}

const std::uint8_t kGoodOffsets[12] = {0x00, 0x80, 0x92, 0x00, 0x80, 0x92,
                                       0x00, 0x81, 0x80, 0x00, 0x81, 0x80};

} // namespace

TEST(MpegPackHeader, VersionScrAndMuxRate) {
    struct Case {
        const char* name;
        Bytes header;
        MpegVersion version;
        std::uint64_t scr;
        std::uint32_t muxRate;
    };
    const std::uint64_t maxBase = (std::uint64_t(1) << 33) - 1;
    const Case cases[] = {
        {"mpeg1", PackHeaderV1(123456789, 3528), MPEG_VERSION_1, 123456789, 3528 * 400},
        {"mpeg1 max scr", PackHeaderV1(maxBase, 1), MPEG_VERSION_1, maxBase, 400},
        {"mpeg2", PackHeaderV2(maxBase, 299, 6972), MPEG_VERSION_2, maxBase * 300 + 299,
         6972 * 400},
        {"mpeg2 stuffing", PackHeaderV2(90000, 7, 0x3FFFFF, 7), MPEG_VERSION_2, 90000 * 300 + 7,
         0x3FFFFFu * 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog cap;
        MpegScanContext ctx;
        Bytes pack = PadTo(c.header, kMpegPackSize);
        ASSERT_EQ(Parse(pack, ctx, cap), kMpegPackSize) << cap.Dump();
        EXPECT_EQ(ctx.stream.version, c.version);
        EXPECT_EQ(ctx.packet.scr, c.scr);
        EXPECT_EQ(ctx.packet.muxRate, c.muxRate);
        EXPECT_EQ(ctx.stream.muxRate, c.muxRate);
        // The header length is right when the padding packet behind it is found.
        EXPECT_TRUE(ctx.packet.padding);
        EXPECT_EQ(cap.Count(0, "marker"), 0) << cap.Dump();
        EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0) << cap.Dump();
    }
}

TEST(MpegPackHeader, MixedAndUnknownVersionsAndMarkers) {
    CapturedLog cap;
    MpegScanContext ctx;
    ASSERT_EQ(Parse(V1Pack({}), ctx, cap), kMpegPackSize);
    ASSERT_EQ(Parse(V2Pack({}), ctx, cap), kMpegPackSize);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, "mixed mpeg versions?"), 1);
    EXPECT_EQ(ctx.stream.version, MPEG_VERSION_1);
    EXPECT_EQ(ctx.stream.packets, 2u);

    Bytes odd = V1Pack({});
    odd[4] = 0x80 | (odd[4] & 0x0F); // version nibble 1000
    Parse(odd, ctx, cap);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN,
                        "packet not recognized as either version 1 or 2 (8) -- assuming v1\n"));

    Bytes noMarker = V1Pack({});
    noMarker[6] &= 0xFE; // the marker after the middle 15 SCR bits
    cap.Clear();
    ASSERT_EQ(Parse(noMarker, ctx, cap), kMpegPackSize);
    EXPECT_EQ(cap.Count(VCD_LOG_DEBUG, "mpeg: some marker is not set..."), 1);
}

TEST(MpegPacketType, FromPackFlags) {
    struct Case {
        const char* name;
        Bytes pack;
        MpegPacketType type;
    };
    const Case cases[] = {
        {"system header listing video", V1Pack(SystemHeader({0xE0})), MPEG_PACKET_VIDEO},
        {"system header listing audio only", V1Pack(SystemHeader({0xC1})), MPEG_PACKET_AUDIO},
        {"system header listing no stream", V1Pack(SystemHeader({})), MPEG_PACKET_EMPTY},
        {"system header listing only private stream", V1Pack(SystemHeader({0xBD})),
         MPEG_PACKET_EMPTY},
        {"padding only", V1Pack({}), MPEG_PACKET_EMPTY},
        {"all zero", Bytes(kMpegPackSize, 0), MPEG_PACKET_ZERO},
        {"subtitle", V1Pack(Pes(0xBD, 1, 1.0, {2, 0xAA})), MPEG_PACKET_OGT},
        {"audio", V1Pack(Pes(0xC0, 1, 1.0, AudioFrameHeader(2, 11, 0, 0))), MPEG_PACKET_AUDIO},
        {"audio and video", V1Pack(Concat({Pes(0xC2, 1, 1.0, {}), Pes(0xE2, 1, 1.0, {})})),
         MPEG_PACKET_VIDEO},
        {"pack header and nothing else", Concat({PackHeaderV1(), Bytes(kMpegPackSize - 12, 0)}),
         MPEG_PACKET_INVALID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog cap;
        MpegScanContext ctx;
        ASSERT_EQ(Parse(c.pack, ctx, cap), kMpegPackSize) << cap.Dump();
        EXPECT_EQ(GetPacketType(ctx.packet), c.type);
    }

    CapturedLog cap;
    MpegScanContext ctx;
    Parse(V1Pack(SystemHeader({0xE1, 0xC2})), ctx, cap);
    EXPECT_TRUE(ctx.packet.systemHeader && ctx.packet.video[1] && ctx.packet.audio[2]);
    EXPECT_FALSE(ctx.packet.video[0] || ctx.packet.audio[0]);

    Bytes withEnd = PadTo(PackHeaderV1(), kMpegPackSize - 4);
    const Bytes pem = {0, 0, 1, 0xB9};
    withEnd.insert(withEnd.end(), pem.begin(), pem.end());
    ASSERT_EQ(Parse(withEnd, ctx, cap), kMpegPackSize);
    EXPECT_TRUE(ctx.packet.pem);
}

TEST(MpegPackHeader, MissingPackHeaderHints) {
    struct Case {
        const char* name;
        Bytes start;
        bool firstPack;
        const char* hint; // null: only the pack header warning
    };
    const Case cases[] = {
        {"elementary video",
         {0, 0, 1, 0xB3, 0x16, 0x00},
         true,
         "...this looks like a elementary video stream but a multiplexed program stream was "
         "required.\n"},
        {"elementary audio", AudioFrameHeader(2, 11, 0, 0), true,
         "...this looks like a elementary audio stream but a multiplexed program stream was "
         "required.\n"},
        {"riff",
         {'R', 'I', 'F', 'F', 0x10, 0, 0, 0},
         true,
         "...this looks like a RIFF header but a plain multiplexed program stream was required.\n"},
        {"program end first", {0, 0, 1, 0xB9}, true, nullptr},
        {"program end later",
         {0, 0, 1, 0xB9},
         false,
         "...PEM (program end marker) found instead of pack header; should be in last 4 bytes of "
         "pack\n"},
        {"riff later", {'R', 'I', 'F', 'F'}, false, nullptr},
        {"short garbage", {0x47}, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog cap;
        MpegScanContext ctx;
        if (!c.firstPack) {
            ASSERT_EQ(Parse(V1Pack({}), ctx, cap), kMpegPackSize);
        }
        cap.Clear();
        Bytes data = c.start;
        if (data.size() > 1) data.resize(100, 0x55);
        EXPECT_EQ(Parse(data, ctx, cap), 0u);
        EXPECT_EQ(ctx.stream.packets, c.firstPack ? 0u : 1u);
        std::uint8_t head[4] = {};
        std::memcpy(head, data.data(), std::min<std::size_t>(4, data.size()));
        char expected[128];
        std::snprintf(expected, sizeof expected,
                      "mpeg scan: pack header code (0x000001ba) expected, but 0x%8.8x found "
                      "(buflen = %d)\n",
                      (head[0] << 24) | (head[1] << 16) | (head[2] << 8) | head[3],
                      static_cast<int>(data.size()));
        ASSERT_GE(cap.lines().size(), 1u);
        EXPECT_EQ(cap.lines()[0].text, expected);
        ASSERT_EQ(cap.lines().size(), c.hint ? 2u : 1u) << cap.Dump();
        if (c.hint) {
            EXPECT_EQ(cap.lines()[1].text, c.hint);
        }
    }
}

TEST(MpegPacket, LengthBeyondBufferRejectsThePack) {
    CapturedLog cap;
    MpegScanContext ctx;
    Bytes pack = V1Pack(Pes(0xE0, 1, 1.0, Bytes(100, 0)));
    pack[12 + 4] = 0x0B; // video packet length 0x0B..: far beyond the pack
    EXPECT_EQ(Parse(pack, ctx, cap), 0u);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN,
                        "packet length beyond buffer (pos = 18 + size = 2921 > buflen = 2324) -- "
                        "stream may be truncated or packet length > 2324 bytes!\n"))
        << cap.Dump();
    EXPECT_EQ(ctx.stream.packets, 0u);

    // The length field itself cut off by the end of the buffer.
    Bytes cut = Concat({PackHeaderV1(), {0, 0, 1, 0xE0, 0x00}});
    cap.Clear();
    EXPECT_EQ(Parse(cut, ctx, cap), 0u);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "packet length beyond buffer (pos = 18 + size = 0 > buflen "
                                      "= 17)"))
        << cap.Dump();
}

TEST(MpegPacket, PackEndsAtTheNextPackHeaderAndReportsLeftovers) {
    CapturedLog cap;
    MpegScanContext ctx;
    Bytes two = Concat({PackHeaderV1(), PaddingPacket(100), PackHeaderV1(), PaddingPacket(50)});
    EXPECT_EQ(Parse(two, ctx, cap), 112u);

    Bytes odd = Concat({PackHeaderV1(), {0, 0, 1, 0xB5}, PaddingPacket(20), {0x01, 0x02, 0x03}});
    cap.Clear();
    EXPECT_EQ(Parse(odd, ctx, cap), odd.size());
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "unexpected start code 0x000001b5\n"));
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "pos != buflen (36 != 39)\n")) << cap.Dump();
}

TEST(MpegVideo, SequenceHeaderFactsFromTheFirstOnly) {
    CapturedLog cap;
    MpegScanContext ctx;
    Bytes es = Concat({SequenceHeader(480, 576, 2, 3, 6000, 112, false), GopHeader(1, 2, 3, 4),
                       PictureHeader(1)});
    ASSERT_EQ(Parse(V2Pack(Pes(0xE1, 2, 0.5, es)), ctx, cap), kMpegPackSize) << cap.Dump();
    const MpegVideoInfo& v = ctx.stream.video[1];
    EXPECT_TRUE(v.seen);
    EXPECT_FALSE(ctx.stream.video[0].seen);
    EXPECT_EQ(v.hsize, 480u);
    EXPECT_EQ(v.vsize, 576u);
    EXPECT_EQ(v.aspectRatio, 0.6735);
    EXPECT_EQ(v.frameRate, 25.0);
    EXPECT_EQ(v.bitRate, 6000u * 400);
    EXPECT_EQ(v.vbvSize, 112u * 16384);
    EXPECT_FALSE(v.constrainedFlag);
    EXPECT_TRUE(ctx.packet.gop);
    const std::uint8_t tc[4] = {1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(ctx.packet.gopTimecode, tc, 4), 0);

    Parse(V2Pack(Pes(0xE1, 2, 1.0, SequenceHeader(352, 240, 1, 4))), ctx, cap);
    EXPECT_EQ(ctx.stream.video[1].hsize, 480u);
    EXPECT_EQ(GetNorm(ctx.stream.video[1]), MPEG_NORM_PAL_S);
}

TEST(MpegVideo, AccessPointKinds) {
    struct Case {
        const char* name;
        Bytes es;
        bool pts;
        ApsType aps;
    };
    const Bytes seq = SequenceHeader(352, 240, 1, 4);
    const Bytes gop = GopHeader();
    const Bytes i = PictureHeader(1);
    const Bytes p = PictureHeader(2);
    const Case cases[] = {
        {"I-picture", Concat({Bytes(8, 0x11), i}), true, APS_I},
        {"GOP then I", Concat({gop, i}), true, APS_GI},
        {"sequence at payload start", Concat({seq, gop, i}), true, APS_ASGI},
        {"sequence later", Concat({p, Bytes(8, 0x22), seq, gop, i}), true, APS_SGI},
        {"GOP before sequence", Concat({gop, seq, i}), true, APS_GI},
        {"I before GOP", Concat({i, Bytes(8, 0x33), gop}), true, APS_I},
        {"P-picture only", Concat({seq, gop, p}), true, APS_NONE},
        {"no PTS", Concat({seq, gop, i}), false, APS_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog cap;
        MpegScanContext ctx;
        std::optional<double> pts;
        if (c.pts) pts = 2.0;
        ASSERT_EQ(Parse(V1Pack(Pes(0xE2, 1, pts, c.es)), ctx, cap), kMpegPackSize) << cap.Dump();
        EXPECT_EQ(ctx.packet.aps, c.aps);
        if (c.aps != APS_NONE) {
            EXPECT_EQ(ctx.packet.apsIndex, 2);
            EXPECT_DOUBLE_EQ(ctx.packet.apsPts, 2.0);
        }
    }

    // Without parsePes the payload is not looked into, but the PTS still counts.
    CapturedLog cap;
    MpegScanContext ctx;
    Parse(V1Pack(Pes(0xE0, 1, 3.0, Concat({seq, gop, i}))), ctx, cap, false);
    EXPECT_EQ(ctx.packet.aps, APS_NONE);
    EXPECT_FALSE(ctx.stream.video[0].seen);
    EXPECT_TRUE(ctx.packet.hasPts);
    EXPECT_DOUBLE_EQ(ctx.stream.minPts, 3.0);
}

TEST(MpegVideo, AccessPointOutOfOrderIsIgnored) {
    CapturedLog cap;
    MpegScanContext ctx;
    const Bytes es = Concat({GopHeader(), PictureHeader(1)});
    Parse(V1Pack(Pes(0xE0, 1, 2.0, es)), ctx, cap);
    EXPECT_EQ(ctx.packet.aps, APS_GI);
    Parse(V1Pack(Pes(0xE0, 1, 1.0, es)), ctx, cap);
    EXPECT_EQ(ctx.packet.aps, APS_NONE);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "APS' pts seems out of order (actual pts 1.000000, last seen "
                                      "pts 2.000000) -- ignoring this aps\n"));
    // Another video stream keeps its own order.
    Parse(V1Pack(Pes(0xE1, 1, 1.5, es)), ctx, cap);
    EXPECT_EQ(ctx.packet.aps, APS_GI);
    EXPECT_DOUBLE_EQ(ctx.stream.minPts, 1.0);
    EXPECT_DOUBLE_EQ(ctx.stream.maxPts, 2.0);
}

TEST(MpegAudio, FrameHeaderFields) {
    struct Case {
        unsigned layerCode, bitrateIndex, samplingCode, mode;
        std::uint32_t layer, bitRate, samplingRate;
        MpegAudioMode audioMode;
    };
    const Case cases[] = {
        {2, 11, 0, 0, 2, 224 * 1024, 44100, MPEG_AUDIO_STEREO},
        {3, 14, 1, 1, 1, 448 * 1024, 48000, MPEG_AUDIO_JOINT_STEREO},
        {1, 9, 2, 3, 3, 128 * 1024, 32000, MPEG_AUDIO_SINGLE_CHANNEL},
        {2, 15, 3, 2, 2, 0, 0, MPEG_AUDIO_DUAL_CHANNEL},
        {0, 5, 0, 0, 0, 0, 44100, MPEG_AUDIO_STEREO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitrateIndex);
        CapturedLog cap;
        MpegScanContext ctx;
        // Some bytes of a previous frame come first.
        Bytes payload =
            Concat({{0x12, 0xFF, 0x34},
                    AudioFrameHeader(c.layerCode, c.bitrateIndex, c.samplingCode, c.mode)});
        Parse(V1Pack(Pes(0xC1, 1, 1.0, payload)), ctx, cap);
        const MpegAudioInfo& a = ctx.stream.audio[1];
        ASSERT_TRUE(a.seen);
        EXPECT_EQ(a.layer, c.layer);
        EXPECT_EQ(a.bitRate, c.bitRate);
        EXPECT_EQ(a.samplingRate, c.samplingRate);
        EXPECT_EQ(a.mode, c.audioMode);
    }

    CapturedLog cap;
    MpegScanContext ctx;
    Parse(V1Pack(Pes(0xC0, 1, 1.0, AudioFrameHeader(2, 11, 0, 0, false))), ctx, cap);
    EXPECT_FALSE(ctx.stream.audio[0].seen);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "non-MPEG1 audio stream header seen\n"));
    // The first header found stays.
    Parse(V1Pack(Pes(0xC0, 1, 1.0, AudioFrameHeader(2, 11, 0, 0))), ctx, cap);
    Parse(V1Pack(Pes(0xC0, 1, 1.0, AudioFrameHeader(3, 1, 1, 3))), ctx, cap);
    EXPECT_EQ(ctx.stream.audio[0].layer, 2u);
    EXPECT_EQ(ctx.stream.audio[0].mode, MPEG_AUDIO_STEREO);
}

TEST(MpegPes, TimeStampsFormsAndErrors) {
    CapturedLog cap;
    MpegScanContext ctx;
    Parse(V2Pack(Pes(0xE0, 2, 0.5, {})), ctx, cap);
    EXPECT_TRUE(ctx.packet.hasPts);
    EXPECT_DOUBLE_EQ(ctx.packet.pts, 0.5);
    Parse(V2Pack(Pes(0xC0, 2, 7.25, {})), ctx, cap);
    Parse(V2Pack(Pes(0xC0, 2, 0.25, {})), ctx, cap);
    Parse(V2Pack(Pes(0xC0, 2, std::nullopt, {})), ctx, cap);
    EXPECT_FALSE(ctx.packet.hasPts);
    EXPECT_TRUE(ctx.stream.seenPts);
    EXPECT_DOUBLE_EQ(ctx.stream.minPts, 0.25);
    EXPECT_DOUBLE_EQ(ctx.stream.maxPts, 7.25);
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0) << cap.Dump();

    // PTS and DTS in MPEG-1 form (code 0011), after stuffing and the buffer size field.
    BitWriter w;
    w.Put(0xFFFF, 16);
    w.Put(0x4000 | 46, 16);
    w.PutTimeStamp(3, 900000);
    w.PutTimeStamp(1, 899000);
    Bytes body = Concat({w.bytes(), AudioFrameHeader(2, 11, 0, 0)});
    MpegScanContext v1;
    Parse(V1Pack(Packet(0xC0, body)), v1, cap);
    EXPECT_DOUBLE_EQ(v1.packet.pts, 10.0);
    EXPECT_TRUE(v1.stream.audio[0].seen) << "payload offset after the DTS";

    cap.Clear();
    Parse(V2Pack(Pes(0xC0, 1, 1.0, {})), ctx, cap);
    EXPECT_TRUE(
        cap.Has(VCD_LOG_WARN, "pack header mpeg version does not match pes header mpeg version\n"));

    cap.Clear();
    Parse(V1Pack(Packet(0xE0, {0x1F, 0, 0, 1, 0})), v1, cap);
    EXPECT_TRUE(cap.Has(VCD_LOG_ERROR, "error in mpeg1 stream\n"));
    EXPECT_TRUE(v1.packet.video[0]);
}

TEST(MpegScanInfo, ReportsUpToEightProblemsThenFallsSilent) {
    std::uint8_t bad[12];
    std::memcpy(bad, kGoodOffsets, 12);
    bad[4] = 0x00; // next_I_offset seconds without its top bit
    Bytes pack = V2Pack(Pes(0xE0, 2, 1.0, Concat({PictureHeader(2), ScanInfoUserData(bad)})));
    for (std::uint32_t start : {0u, 9u}) {
        SCOPED_TRACE(start);
        CapturedLog cap;
        MpegScanContext ctx;
        ctx.stream.scanDataWarnings = start;
        for (int i = 0; i < 10; ++i)
            ASSERT_EQ(Parse(pack, ctx, cap), kMpegPackSize);
        EXPECT_EQ(ctx.stream.scanData, 10u);
        EXPECT_EQ(ctx.stream.scanDataWarnings, 9u);
        if (start == 9) {
            EXPECT_EQ(cap.Count(0, ""), 0) << cap.Dump();
            continue;
        }
        ASSERT_EQ(cap.lines().size(), 9u) << cap.Dump();
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(cap.lines()[i].text, "mpeg user scan data: msb of second or frame field not "
                                           "set for 'next_I_offset': [00:00.92]\n");
        EXPECT_EQ(cap.lines()[8].text,
                  "mpeg user scan data: from now on, scan information data errors will not be "
                  "reported anymore---consider enabling the 'update scan offsets' option, if it is "
                  "not enabled already!\n");
    }
}

TEST(MpegScanInfo, FieldChecks) {
    struct Case {
        int field;
        std::uint8_t bytes[3];
        const char* message; // "" when the field is fine
    };
    const Case cases[] = {
        {0,
         {0x00, 0x01, 0x80},
         "mpeg user scan data: msb of second or frame field not set for 'previous_I_offset': "
         "[00:01.80]\n"},
        {1,
         {0x00, 0x81, 0x05},
         "mpeg user scan data: msb of second or frame field not set for 'next_I_offset': "
         "[00:81.05]\n"},
        {2,
         {0xA0, 0x80, 0x80},
         "mpeg user scan data: one or more BCD fields out of range for 'backward_I_offset': "
         "[a0:00.00]\n"},
        {3,
         {0x00, 0x8A, 0x80},
         "mpeg user scan data: one or more BCD fields out of range for 'forward_I_offset': "
         "[00:0a.00]\n"},
        {0,
         {0x0C, 0x80, 0x80},
         "mpeg user scan data: one or more BCD fields out of range for 'previous_I_offset': "
         "[0c:00.00]\n"},
        {1,
         {0x00, 0x80, 0xFB},
         "mpeg user scan data: one or more BCD fields out of range for 'next_I_offset': "
         "[00:00.7b]\n"},
        {2, {0xFF, 0xFF, 0xFF}, ""},
        {3, {0x99, 0xD9, 0xF4}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::uint8_t offsets[12];
        std::memcpy(offsets, kGoodOffsets, 12);
        std::memcpy(offsets + 3 * c.field, c.bytes, 3);
        Bytes pack = V2Pack(Pes(0xE0, 2, 1.0, ScanInfoUserData(offsets)));
        CapturedLog cap;
        MpegScanContext ctx;
        ASSERT_EQ(Parse(pack, ctx, cap), kMpegPackSize);
        ASSERT_EQ(cap.lines().size(), *c.message ? 1u : 0u) << cap.Dump();
        if (*c.message) {
            EXPECT_EQ(cap.lines()[0].text, c.message);
        }
        ASSERT_TRUE(ctx.packet.HasScanInfo());
        EXPECT_EQ(pack[ctx.packet.scanInfo], 0x10);
        EXPECT_EQ(pack[ctx.packet.scanInfo + 1], 0x0E);
        EXPECT_EQ(std::memcmp(&pack[ctx.packet.scanInfo + 2], offsets, 12), 0);
    }
}

TEST(MpegScanInfo, OtherUserDataTags) {
    CapturedLog cap;
    MpegScanContext ctx;
    Bytes userData = {0, 0, 1, 0xB2, 0x11, 0x05, 1, 2, 3, 0x10, 0x06, 0x80, 0x80, 0x80, 0x80};
    Parse(V2Pack(Pes(0xE0, 2, 1.0, userData)), ctx, cap);
    EXPECT_TRUE(cap.Has(VCD_LOG_DEBUG, "caption data seen -- not supported yet (len = 5)\n"));
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "invalid user scan data length (6 != 14)\n"));
    EXPECT_FALSE(ctx.packet.HasScanInfo());
    EXPECT_EQ(ctx.stream.scanData, 0u);

    // A tag longer than what is left of the packet is not read.
    Bytes cut = {0, 0, 1, 0xB2, 0x10, 0x0E, 0x00, 0x80, 0x80, 0x00};
    cap.Clear();
    Parse(V2Pack(Pes(0xE0, 2, 1.0, cut)), ctx, cap);
    EXPECT_FALSE(ctx.packet.HasScanInfo());
    EXPECT_EQ(cap.Count(VCD_LOG_WARN, ""), 0) << cap.Dump();
}

TEST(MpegSubtitle, ChannelsAndRange) {
    CapturedLog cap;
    MpegScanContext ctx;
    Parse(V1Pack(Pes(0xBD, 1, 1.0, {0, 0x11})), ctx, cap);
    EXPECT_TRUE(ctx.packet.ogt[0]);
    Parse(V1Pack(Pes(0xBD, 1, 1.0, {3, 0x11})), ctx, cap);
    EXPECT_TRUE(ctx.packet.ogt[3]);
    EXPECT_FALSE(ctx.packet.ogt[0]);
    Parse(V1Pack(Pes(0xBD, 1, 1.0, {5, 0x11})), ctx, cap);
    EXPECT_TRUE(cap.Has(VCD_LOG_WARN, "OGT channel out of range 5\n"));
    EXPECT_EQ(GetPacketType(ctx.packet), MPEG_PACKET_EMPTY); // only its padding counts
    Parse(V1Pack(Pes(0xBD, 1, 1.0, {})), ctx, cap);          // no channel byte
    const bool expected[4] = {true, false, false, true};
    EXPECT_EQ(std::memcmp(ctx.stream.ogt, expected, sizeof expected), 0);
}

// Every cut of a rich pack stays inside the bytes it is given (the sanitizer build checks the
// reads) and never claims a pack longer than the input.
TEST(MpegPacket, EveryPrefixOfAPackIsSafe) {
    std::uint8_t offsets[12];
    std::memcpy(offsets, kGoodOffsets, 12);
    Bytes es = Concat({SequenceHeader(480, 480, 2, 4),
                       GopHeader(),
                       PictureHeader(1),
                       ScanInfoUserData(offsets),
                       {0, 0, 1, 0xB2, 0x11, 0x04, 0, 0}});
    Bytes pack = Concat({PackHeaderV2(1, 2, 3, 2),
                         SystemHeader({0xE0, 0xC0, 0xBD}),
                         Pes(0xE0, 2, 1.0, es),
                         Pes(0xC0, 2, 1.0, AudioFrameHeader(2, 3, 1, 1)),
                         Pes(0xBD, 2, 1.0, {1}),
                         {0, 0, 1, 0xB9}});
    for (std::size_t n = 0; n <= pack.size(); ++n) {
        CapturedLog cap;
        MpegScanContext ctx;
        // A copy of exactly n bytes, so that a read past it is a heap overflow.
        std::unique_ptr<std::uint8_t[]> cut(new std::uint8_t[n ? n : 1]);
        std::memcpy(cut.get(), pack.data(), n);
        std::size_t got = ParsePacket(cut.get(), n, true, ctx, cap);
        EXPECT_LE(got, n);
        if (n == pack.size()) {
            EXPECT_EQ(got, n);
            EXPECT_EQ(ctx.packet.aps, APS_ASGI);
            EXPECT_TRUE(ctx.packet.HasScanInfo());
            EXPECT_TRUE(ctx.stream.audio[0].seen);
            EXPECT_TRUE(ctx.stream.ogt[1]);
            EXPECT_TRUE(ctx.packet.pem);
        }
    }
}

TEST(MpegNorm, TableAndNames) {
    struct Case {
        unsigned w, h;
        double rate;
        MpegNorm norm;
        const char* name;
    };
    const Case cases[] = {
        {352, 240, 30000.0 / 1001.0, MPEG_NORM_NTSC, "NTSC SIF (352x240/30fps)"},
        {352, 240, 24000.0 / 1001.0, MPEG_NORM_FILM, "FILM SIF (352x240/24fps)"},
        {352, 288, 25, MPEG_NORM_PAL, "PAL SIF (352x288/25fps)"},
        {480, 576, 25, MPEG_NORM_PAL_S, "PAL 2/3 D-1 (480x576/25fps)"},
        {480, 480, 30000.0 / 1001.0, MPEG_NORM_NTSC_S, "NTSC 2/3 D-1 (480x480/30fps)"},
        {352, 240, 30, MPEG_NORM_OTHER, "NTSC UNKNOWN (352x240/30.00fps)"},
        {720, 480, 30000.0 / 1001.0, MPEG_NORM_OTHER, "NTSC UNKNOWN (720x480/29.97fps)"},
        {720, 576, 25, MPEG_NORM_OTHER, "PAL UNKNOWN (720x576/25.00fps)"},
        {352, 288, 50, MPEG_NORM_OTHER, "PAL UNKNOWN (352x288/50.00fps)"},
        {640, 360, 24, MPEG_NORM_OTHER, "UNKNOWN (640x360/24.00fps)"},
    };
    for (const Case& c : cases) {
        MpegVideoInfo v;
        v.hsize = c.w;
        v.vsize = c.h;
        v.frameRate = c.rate;
        EXPECT_EQ(GetNorm(v), c.norm) << c.name;
        EXPECT_EQ(GetNormName(v), c.name);
    }
    // The frame-rate codes give exactly the norms' rates.
    MpegVideoInfo film;
    film.hsize = 352;
    film.vsize = 240;
    film.frameRate = kMpegFrameRates[1];
    EXPECT_EQ(GetNorm(film), MPEG_NORM_FILM);
    EXPECT_STREQ(GetAudioModeName(MPEG_AUDIO_JOINT_STEREO), "jstereo");
    EXPECT_STREQ(GetAudioModeName(MPEG_AUDIO_SINGLE_CHANNEL), "single");
}

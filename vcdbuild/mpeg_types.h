// Facts the MPEG program stream scanner gathers about a stream and about each of its packs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum MpegVersion : std::int32_t {
    MPEG_VERSION_UNKNOWN = 0,
    MPEG_VERSION_1 = 1,
    MPEG_VERSION_2 = 2,
};

enum MpegNorm : std::int32_t {
    MPEG_NORM_OTHER = 0,
    MPEG_NORM_PAL = 1,
    MPEG_NORM_NTSC = 2,
    MPEG_NORM_FILM = 3,
    MPEG_NORM_PAL_S = 4,
    MPEG_NORM_NTSC_S = 5,
};

// Access point kind of a pack.
enum ApsType : std::int32_t {
    APS_NONE = 0,
    APS_I = 1,    // an I-picture starts in this pack
    APS_GI = 2,   // a GOP header and then an I-picture
    APS_SGI = 3,  // sequence header, GOP header, I-picture, in this order
    APS_ASGI = 4, // as SGI, with the sequence header at the very start of the PES payload
};

enum MpegPacketType : std::int32_t {
    MPEG_PACKET_INVALID = 0,
    MPEG_PACKET_VIDEO = 1,
    MPEG_PACKET_AUDIO = 2,
    MPEG_PACKET_OGT = 3,
    MPEG_PACKET_ZERO = 4,
    MPEG_PACKET_EMPTY = 5,
};

enum MpegAudioMode : std::int32_t {
    MPEG_AUDIO_MODE_NONE = 0,
    MPEG_AUDIO_STEREO = 1,
    MPEG_AUDIO_JOINT_STEREO = 2,
    MPEG_AUDIO_DUAL_CHANNEL = 3,
    MPEG_AUDIO_SINGLE_CHANNEL = 4,
};

inline constexpr int kMpegVideoStreams = 3; // stream ids 0xE0..0xE2
inline constexpr int kMpegAudioStreams = 3; // stream ids 0xC0..0xC2
inline constexpr int kMpegOgtChannels = 4;
// A record takes at least 22 bytes of a pack (start codes, picture header, the 14-byte tag).
inline constexpr int kMpegMaxScanInfo = 2324 / 22;

// Frame rate and aspect ratio by the 4-bit codes of a sequence header.
inline constexpr double kMpegFrameRates[16] = {
    0, 24000.0 / 1001.0, 24, 25, 30000.0 / 1001.0, 30, 50, 60000.0 / 1001.0, 60, 0, 0, 0, 0, 0, 0,
    0};
inline constexpr double kMpegAspectRatios[16] = {0,      1.0,    0.6735, 0.7031, 0.7615, 0.8055,
                                                 0.8437, 0.8935, 0.9375, 0.9815, 1.0255, 1.0695,
                                                 1.125,  1.1575, 1.2015, 0};

// Audio bit rates in kbit/s by layer (1..3) and bitrate index.
inline constexpr std::uint32_t kMpegAudioBitRates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
};

struct ApsEntry {
    std::uint32_t packetNo = 0; // pack index in the stream, first pack 0
    double timestamp = 0;       // seconds; after the scan relative to the stream's smallest PTS
};

struct MpegVideoInfo {
    bool seen = false; // a sequence header of this stream was parsed
    std::uint32_t hsize = 0;
    std::uint32_t vsize = 0;
    double aspectRatio = 0;
    double frameRate = 0;
    std::uint32_t bitRate = 0; // bits per second
    std::uint32_t vbvSize = 0; // bits
    bool constrainedFlag = false;
    std::vector<ApsEntry> apsList; // in pack order
    double lastApsPts = 0;         // used while scanning only
};

struct MpegAudioInfo {
    bool seen = false;
    std::uint32_t layer = 0;        // 1..3, 0 for the reserved code
    std::uint32_t bitRate = 0;      // kbit/s table value times 1024
    std::uint32_t samplingRate = 0; // Hz, 0 for the reserved code
    MpegAudioMode mode = MPEG_AUDIO_MODE_NONE;
};

struct MpegStreamInfo {
    std::uint32_t packets = 0;
    MpegVersion version = MPEG_VERSION_UNKNOWN;
    bool ogt[kMpegOgtChannels] = {};
    MpegVideoInfo video[kMpegVideoStreams];
    MpegAudioInfo audio[kMpegAudioStreams];
    std::uint32_t muxRate = 0; // of the last pack header, bits per second
    bool seenPts = false;
    double minPts = 0;
    double maxPts = 0;
    double playingTime = 0;
    std::uint32_t scanData = 0;         // SVCD scan information records found
    std::uint32_t scanDataWarnings = 0; // scan information problems reported so far
};

// The flags of one pack, cleared at the start of every pack.
struct MpegPacketInfo {
    bool video[kMpegVideoStreams] = {};
    bool audio[kMpegAudioStreams] = {};
    bool ogt[kMpegOgtChannels] = {};
    bool padding = false;
    bool pem = false;
    bool zero = false;
    bool systemHeader = false;
    // Byte offset of the 14-byte scan information record from the start of the pack, -1 when
    // the pack has none. An offset rather than a pointer, so that it stays valid in any copy of
    // the pack (the buffer GetPacket hands out holds the pack at its start).
    std::int32_t scanInfo = -1;
    // Every scan information record of the pack, in order (the last one is `scanInfo`): small
    // pictures share a pack, and each of them carries a record.
    std::uint8_t scanInfoCount = 0;
    std::int16_t scanInfoOffsets[kMpegMaxScanInfo] = {};
    ApsType aps = APS_NONE;
    double apsPts = 0;
    std::int32_t apsIndex = 0;
    bool hasPts = false;
    double pts = 0; // seconds, the last PTS seen in the pack
    std::uint64_t scr = 0;
    std::uint32_t muxRate = 0; // bits per second
    bool gop = false;
    std::uint8_t gopTimecode[4] = {}; // hours, minutes, seconds, pictures

    bool HasScanInfo() const { return scanInfo >= 0; }
};

struct MpegScanContext {
    MpegPacketInfo packet;
    MpegStreamInfo stream;
};

MpegNorm GetNorm(const MpegVideoInfo& video);
// "PAL SIF (352x288/25fps)" and so on; streams of no known norm get a name made from their size.
std::string GetNormName(const MpegVideoInfo& video);
// "stereo", "jstereo", "dual", "single"; "" when not set.
const char* GetAudioModeName(MpegAudioMode mode);

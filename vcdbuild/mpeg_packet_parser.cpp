#include "mpeg_packet_parser.h"

#include "bit_reader.h"

#include <cstring>

namespace {

constexpr std::uint32_t kPictureStart = 0x00000100;
constexpr std::uint32_t kUserDataStart = 0x000001B2;
constexpr std::uint32_t kSequenceStart = 0x000001B3;
constexpr std::uint32_t kGopStart = 0x000001B8;
constexpr std::uint32_t kProgramEnd = 0x000001B9;
constexpr std::uint32_t kPackStart = 0x000001BA;
constexpr std::uint32_t kSystemHeaderStart = 0x000001BB;
constexpr std::uint32_t kPrivateStream1 = 0x000001BD;
constexpr std::uint32_t kPaddingStart = 0x000001BE;

constexpr std::uint8_t kSystemHeaderId = 0xBB;
constexpr std::uint8_t kPaddingId = 0xBE;
constexpr std::uint8_t kAudioId = 0xC0;
constexpr std::uint8_t kVideoId = 0xE0;

constexpr std::uint8_t kScanInfoTag = 0x10;
constexpr std::uint8_t kCaptionTag = 0x11;
constexpr std::size_t kScanInfoLength = 14;
constexpr std::uint32_t kScanWarningLimit = 8;
constexpr std::uint32_t kScanWarningsSilenced = 9;

constexpr double kPtsClock = 90000.0;

const char* const kScanFieldNames[4] = {"previous_I_offset", "next_I_offset", "backward_I_offset",
                                        "forward_I_offset"};

bool IsPacketCode(std::uint32_t code) {
    return code == kSystemHeaderStart || code == kPrivateStream1 || code == kPaddingStart ||
           (code >= 0x000001C0 && code <= 0x000001C2) || (code >= 0x000001E0 && code <= 0x000001E2);
}

// The parse of one pack. Every sub-parser gets a pointer and a length that lie inside the pack
// and reads through a BitReader or after an explicit length check.
class PackParser {
  public:
    PackParser(const std::uint8_t* pack, std::size_t length, bool parsePes, MpegScanContext& ctx,
               CVcdLog& log)
        : pack_(pack), length_(length), parsePes_(parsePes), pkt_(ctx.packet), st_(ctx.stream),
          log_(log) {}

    std::size_t Run();

  private:
    void Marker(BitReader& r) {
        unsigned bit = r.ReadBit();
        if (!bit && !r.overrun()) log_.Debug("mpeg: some marker is not set...");
    }
    // 33-bit time stamp after its 4-bit prefix: 3 bits, marker, 15 bits, marker, 15 bits, marker.
    std::uint64_t TimeStamp(BitReader& r) {
        std::uint64_t v = static_cast<std::uint64_t>(r.Read(3)) << 30;
        Marker(r);
        v |= static_cast<std::uint64_t>(r.Read(15)) << 15;
        Marker(r);
        v |= r.Read(15);
        Marker(r);
        return v;
    }

    void SetVersion(MpegVersion v);
    std::size_t PackHeader();
    void MarkStream(std::uint8_t id);
    void SystemHeader(const std::uint8_t* body, std::size_t len);
    int PesHeader(const std::uint8_t* body, std::size_t len);
    void Audio(int index, const std::uint8_t* body, std::size_t len);
    void Video(int index, const std::uint8_t* body, std::size_t len);
    void Sequence(int index, const std::uint8_t* p, std::size_t len);
    void Gop(const std::uint8_t* p, std::size_t len);
    void UserData(const std::uint8_t* p, std::size_t len);
    void ScanInfo(const std::uint8_t* tag, std::size_t tagLength);
    bool MayReportScanProblem();
    void CheckScanOffset(const char* name, const std::uint8_t* field);
    void Subtitle(const std::uint8_t* body, std::size_t len);

    const std::uint8_t* pack_;
    std::size_t length_;
    bool parsePes_;
    MpegPacketInfo& pkt_;
    MpegStreamInfo& st_;
    CVcdLog& log_;
};

std::size_t PackParser::Run() {
    bool allZero = true;
    for (std::size_t i = 0; i < length_ && allZero; ++i)
        allZero = pack_[i] == 0;
    if (allZero) {
        pkt_.zero = true;
        return length_;
    }

    std::uint8_t head[4] = {};
    std::memcpy(head, pack_, length_ < 4 ? length_ : 4);
    std::uint32_t code = LoadBE32(head);
    if (code != kPackStart) {
        log_.Warn("mpeg scan: pack header code (0x%8.8x) expected, but 0x%8.8x found (buflen = %d)",
                  kPackStart, code, static_cast<int>(length_));
        --st_.packets;
        if (st_.packets == 0) {
            if (code == kSequenceStart)
                log_.Warn("...this looks like a elementary video stream but a multiplexed program "
                          "stream was required.");
            if ((code & 0xFFF00000u) == 0xFFF00000u)
                log_.Warn("...this looks like a elementary audio stream but a multiplexed program "
                          "stream was required.");
            if (std::memcmp(head, "RIFF", 4) == 0)
                log_.Warn("...this looks like a RIFF header but a plain multiplexed program stream "
                          "was required.");
        } else if (code == kProgramEnd) {
            log_.Warn("...PEM (program end marker) found instead of pack header; should be in last "
                      "4 bytes of pack");
        }
        return 0;
    }

    std::size_t pos = 0;
    while (pos + 4 <= length_) {
        code = LoadBE32(pack_ + pos);
        if (code == 0) {
            pos += pos + 4 == length_ ? 4 : 2;
            continue;
        }
        if ((code >> 8) != 1) {
            pos += 1;
            continue;
        }
        if (code == kPictureStart) {
            pos += 3;
        } else if (code == kProgramEnd) {
            pkt_.pem = true;
            pos += 4;
        } else if (code == kPackStart) {
            if (pos != 0) return pos;
            pos += PackHeader();
        } else if (IsPacketCode(code)) {
            std::size_t size = pos + 6 <= length_ ? LoadBE16(pack_ + pos + 4) : 0;
            if (pos + 6 + size > length_) {
                log_.Warn("packet length beyond buffer (pos = %d + size = %d > buflen = %d) -- "
                          "stream may be truncated or packet length > 2324 bytes!",
                          static_cast<int>(pos + 6), static_cast<int>(size),
                          static_cast<int>(length_));
                --st_.packets;
                return 0;
            }
            std::uint8_t id = static_cast<std::uint8_t>(code & 0xFF);
            MarkStream(id);
            const std::uint8_t* body = pack_ + pos + 6;
            if (id == kSystemHeaderId)
                SystemHeader(body, size);
            else if (code == kPrivateStream1)
                Subtitle(body, size);
            else if (id >= kAudioId && id < kAudioId + kMpegAudioStreams)
                Audio(id - kAudioId, body, size);
            else if (id >= kVideoId && id < kVideoId + kMpegVideoStreams)
                Video(id - kVideoId, body, size);
            pos += 6 + size;
        } else {
            log_.Debug("unexpected start code 0x%8.8x", code);
            pos += 4;
        }
    }
    if (pos != length_)
        log_.Debug("pos != buflen (%d != %d)", static_cast<int>(pos), static_cast<int>(length_));
    return length_;
}

void PackParser::SetVersion(MpegVersion v) {
    if (st_.version == MPEG_VERSION_UNKNOWN)
        st_.version = v;
    else if (st_.version != v)
        log_.Warn("mixed mpeg versions?");
}

// Returns the length of the pack header, start code included.
std::size_t PackParser::PackHeader() {
    BitReader r(pack_, length_, 32);
    std::uint32_t kind = r.Peek(4);
    std::uint64_t scr = 0;
    std::uint32_t mux = 0;
    std::size_t headerLength = 0;
    if (kind == 2) {
        SetVersion(MPEG_VERSION_1);
        r.Skip(4);
        scr = TimeStamp(r);
        Marker(r);
        mux = r.Read(22);
        Marker(r);
        headerLength = 12;
    } else if ((kind >> 2) == 1) {
        SetVersion(MPEG_VERSION_2);
        r.Skip(2);
        std::uint64_t base = TimeStamp(r);
        std::uint32_t ext = r.Read(9);
        Marker(r);
        mux = r.Read(22);
        Marker(r);
        Marker(r);
        r.Skip(5);
        std::uint32_t stuffing = r.Read(3);
        scr = base * 300 + ext;
        headerLength = 14 + stuffing;
    } else {
        log_.Warn("packet not recognized as either version 1 or 2 (%d) -- assuming v1",
                  static_cast<int>(kind));
        return 4;
    }
    pkt_.scr = scr;
    pkt_.muxRate = mux * 400;
    st_.muxRate = mux * 400;
    return headerLength;
}

void PackParser::MarkStream(std::uint8_t id) {
    if (id == kSystemHeaderId)
        pkt_.systemHeader = true;
    else if (id == kPaddingId)
        pkt_.padding = true;
    else if (id >= kAudioId && id < kAudioId + kMpegAudioStreams)
        pkt_.audio[id - kAudioId] = true;
    else if (id >= kVideoId && id < kVideoId + kMpegVideoStreams)
        pkt_.video[id - kVideoId] = true;
}

void PackParser::SystemHeader(const std::uint8_t* body, std::size_t len) {
    bool markersSet = (len < 1 || (body[0] & 0x80)) && (len < 3 || (body[2] & 0x01)) &&
                      (len < 5 || (body[4] & 0x20));
    if (!markersSet) log_.Debug("mpeg: some marker is not set...");
    BitReader r(body, len, 48);
    while (r.BitsLeft() > 0 && r.Peek(1) == 1) {
        std::uint8_t id = static_cast<std::uint8_t>(r.Read(8));
        if (r.overrun()) break;
        MarkStream(id);
        r.Skip(16);
    }
}

int PackParser::PesHeader(const std::uint8_t* body, std::size_t len) {
    BitReader r(body, len);
    MpegVersion form;
    std::size_t payload;
    bool hasPts = false;
    std::uint64_t pts = 0;
    if (r.Peek(2) == 2) {
        form = MPEG_VERSION_2;
        r.Skip(8);
        std::uint32_t flags = r.Read(2);
        r.Skip(6);
        payload = r.Read(8) + 3;
        if (flags == 2 || flags == 3) {
            r.Skip(4);
            pts = TimeStamp(r);
            hasPts = true;
            if (flags == 3) {
                r.Skip(4);
                TimeStamp(r);
            }
        }
    } else {
        form = MPEG_VERSION_1;
        std::size_t i = 0;
        while (i < len && body[i] == 0xFF)
            ++i;
        r = BitReader(body, len, i * 8);
        if (r.Peek(2) == 1) r.Skip(16);
        std::uint32_t code = r.Read(4);
        if (code == 0) {
            r.Skip(4);
        } else if (code == 2 || code == 3) {
            pts = TimeStamp(r);
            hasPts = true;
            if (code == 3) {
                r.Skip(4);
                TimeStamp(r);
            }
        } else {
            log_.Error("error in mpeg1 stream");
            return -1;
        }
        payload = r.BitPosition() / 8;
    }
    // A header cut short by the end of the packet carries no usable time stamp.
    if (r.overrun()) return -1;
    if (hasPts) {
        double t = static_cast<double>(pts) / kPtsClock;
        pkt_.hasPts = true;
        pkt_.pts = t;
        if (!st_.seenPts) {
            st_.seenPts = true;
            st_.minPts = t;
            st_.maxPts = t;
        } else {
            if (t < st_.minPts) st_.minPts = t;
            if (t > st_.maxPts) st_.maxPts = t;
        }
    }
    if (form != st_.version)
        log_.Warn("pack header mpeg version does not match pes header mpeg version");
    return static_cast<int>(payload);
}

void PackParser::Audio(int index, const std::uint8_t* body, std::size_t len) {
    int payload = PesHeader(body, len);
    MpegAudioInfo& a = st_.audio[index];
    if (payload < 0 || !parsePes_ || a.seen) return;
    for (std::size_t i = static_cast<std::size_t>(payload); i + 1 < len; ++i) {
        if (body[i] != 0xFF || (body[i + 1] & 0xF0) != 0xF0) continue;
        BitReader r(body + i, len - i, 12);
        if (!r.ReadBit()) {
            log_.Debug("non-MPEG1 audio stream header seen");
            return;
        }
        std::uint32_t layerCode = r.Read(2);
        r.Skip(1); // protection
        std::uint32_t bitRateIndex = r.Read(4);
        std::uint32_t samplingCode = r.Read(2);
        r.Skip(2); // padding, private
        std::uint32_t mode = r.Read(2);
        if (r.overrun()) return;
        static constexpr std::uint32_t kLayers[4] = {0, 3, 2, 1};
        static constexpr std::uint32_t kRates[4] = {44100, 48000, 32000, 0};
        a.layer = kLayers[layerCode];
        a.bitRate = a.layer ? kMpegAudioBitRates[a.layer - 1][bitRateIndex] * 1024 : 0;
        a.samplingRate = kRates[samplingCode];
        a.mode = static_cast<MpegAudioMode>(mode + 1);
        a.seen = true;
        return;
    }
}

// The position of the first 00 00 01 prefix at or after `pos` that has a whole start code
// (four bytes) before `len`, or `len` when there is none. memchr finds the 01 bytes, which are
// rare in coded picture data.
std::size_t FindStartCode(const std::uint8_t* data, std::size_t pos, std::size_t len) {
    if (len < 4) return len;
    std::size_t from = pos + 2; // where the 01 of a prefix at `pos` would be
    while (from <= len - 2) {
        const void* hit = std::memchr(data + from, 1, len - 1 - from);
        if (!hit) break;
        std::size_t q = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
        if (data[q - 1] == 0 && data[q - 2] == 0) return q - 2;
        from = q + 1;
    }
    return len;
}

void PackParser::Video(int index, const std::uint8_t* body, std::size_t len) {
    int payload = PesHeader(body, len);
    if (payload < 0 || !parsePes_) return;
    // Positions just after the start codes; the first of each kind counts.
    std::ptrdiff_t seqPos = -1, gopPos = -1, iPos = -1;
    std::size_t pos = static_cast<std::size_t>(payload);
    while ((pos = FindStartCode(body, pos, len)) + 4 <= len) {
        std::uint32_t code = LoadBE32(body + pos);
        pos += 4;
        std::size_t rest = len - pos;
        if (code == kPictureStart) {
            BitReader r(body + pos, rest, 10);
            std::uint32_t type = r.Read(3);
            if (!r.overrun() && type == 1 && iPos < 0) iPos = static_cast<std::ptrdiff_t>(pos);
        } else if (code == kUserDataStart) {
            if (rest < 4) break;
            UserData(body + pos, rest);
        } else if (code == kSequenceStart) {
            Sequence(index, body + pos, rest);
            if (seqPos < 0) seqPos = static_cast<std::ptrdiff_t>(pos);
        } else if (code == kGopStart) {
            if (rest < 4) break;
            Gop(body + pos, rest);
            pkt_.gop = true;
            if (gopPos < 0) gopPos = static_cast<std::ptrdiff_t>(pos);
        }
    }

    // The pack's flags start at NONE; a later video packet of the same pack without an
    // I-picture keeps an access point an earlier one found.
    if (!pkt_.hasPts || iPos < 0 ||
        (st_.version != MPEG_VERSION_1 && st_.version != MPEG_VERSION_2))
        return;
    ApsType type = APS_I;
    if (seqPos >= 0 && gopPos > seqPos && iPos > gopPos)
        type = seqPos == payload + 4 ? APS_ASGI : APS_SGI;
    else if (gopPos >= 0 && gopPos < iPos)
        type = APS_GI;
    MpegVideoInfo& v = st_.video[index];
    if (v.lastApsPts > pkt_.pts) {
        log_.Warn("APS' pts seems out of order (actual pts %f, last seen pts %f) -- ignoring this "
                  "aps",
                  pkt_.pts, v.lastApsPts);
        return;
    }
    pkt_.aps = type;
    pkt_.apsPts = pkt_.pts;
    pkt_.apsIndex = index;
    v.lastApsPts = pkt_.pts;
}

void PackParser::Sequence(int index, const std::uint8_t* p, std::size_t len) {
    MpegVideoInfo& v = st_.video[index];
    if (v.seen) return;
    BitReader r(p, len);
    std::uint32_t hsize = r.Read(12);
    std::uint32_t vsize = r.Read(12);
    std::uint32_t aspect = r.Read(4);
    std::uint32_t rate = r.Read(4);
    std::uint32_t bitRate = r.Read(18);
    unsigned marker = r.ReadBit();
    std::uint32_t vbv = r.Read(10);
    bool constrained = r.ReadBit() != 0;
    if (r.overrun()) return;
    if (!marker) log_.Debug("mpeg: some marker is not set...");
    v.hsize = hsize;
    v.vsize = vsize;
    v.aspectRatio = kMpegAspectRatios[aspect];
    v.frameRate = kMpegFrameRates[rate];
    v.bitRate = bitRate * 400;
    v.vbvSize = vbv * 16384;
    v.constrainedFlag = constrained;
    v.seen = true;
}

void PackParser::Gop(const std::uint8_t* p, std::size_t len) {
    BitReader r(p, len);
    r.Skip(1); // drop frame
    std::uint32_t hours = r.Read(5);
    std::uint32_t minutes = r.Read(6);
    Marker(r);
    std::uint32_t seconds = r.Read(6);
    std::uint32_t pictures = r.Read(6);
    pkt_.gopTimecode[0] = static_cast<std::uint8_t>(hours);
    pkt_.gopTimecode[1] = static_cast<std::uint8_t>(minutes);
    pkt_.gopTimecode[2] = static_cast<std::uint8_t>(seconds);
    pkt_.gopTimecode[3] = static_cast<std::uint8_t>(pictures);
}

void PackParser::UserData(const std::uint8_t* p, std::size_t len) {
    std::size_t off = 0;
    while (off + 2 < len) {
        std::uint8_t tag = p[off];
        std::size_t tagLength = p[off + 1];
        if (tag == 0 || tagLength < 2 || off + tagLength > len) break;
        if (tag == kCaptionTag)
            log_.Debug("caption data seen -- not supported yet (len = %d)",
                       static_cast<int>(tagLength));
        else if (tag == kScanInfoTag)
            ScanInfo(p + off, tagLength);
        off += tagLength;
    }
}

// Once eight problems have been reported, one notice says so and the rest go unreported.
bool PackParser::MayReportScanProblem() {
    if (st_.scanDataWarnings == kScanWarningLimit) {
        log_.Warn("mpeg user scan data: from now on, scan information data errors will not be "
                  "reported anymore---consider enabling the 'update scan offsets' option, if it is "
                  "not enabled already!");
        st_.scanDataWarnings = kScanWarningsSilenced;
    }
    return st_.scanDataWarnings < kScanWarningsSilenced;
}

void PackParser::ScanInfo(const std::uint8_t* tag, std::size_t tagLength) {
    if (tagLength != kScanInfoLength) {
        if (MayReportScanProblem()) {
            log_.Warn("invalid user scan data length (%d != 14)", static_cast<int>(tagLength));
            ++st_.scanDataWarnings;
        }
        return;
    }
    for (int i = 0; i < 4; ++i)
        if (MayReportScanProblem()) CheckScanOffset(kScanFieldNames[i], tag + 2 + 3 * i);
    pkt_.scanInfo = static_cast<std::int32_t>(tag - pack_);
    if (pkt_.scanInfoCount < kMpegMaxScanInfo)
        pkt_.scanInfoOffsets[pkt_.scanInfoCount++] = static_cast<std::int16_t>(pkt_.scanInfo);
    ++st_.scanData;
}

void PackParser::CheckScanOffset(const char* name, const std::uint8_t* f) {
    std::uint8_t m = f[0], s = f[1], fr = f[2];
    if (m == 0xFF && s == 0xFF && fr == 0xFF) return; // no such picture
    char bytes[16];
    if (!(s & 0x80) || !(fr & 0x80)) {
        std::snprintf(bytes, sizeof bytes, "%.2x:%.2x.%.2x", m, s, fr);
        log_.Warn("mpeg user scan data: msb of second or frame field not set for '%s': [%s]", name,
                  bytes);
        ++st_.scanDataWarnings;
        return;
    }
    s &= 0x7F;
    fr &= 0x7F;
    if (m > 0x9F || (s >> 4) > 9 || (fr >> 4) > 9 || (m & 0x0F) > 9 || (s & 0x0F) > 9 ||
        (fr & 0x0F) > 9) {
        std::snprintf(bytes, sizeof bytes, "%.2x:%.2x.%.2x", m, s, fr);
        log_.Warn("mpeg user scan data: one or more BCD fields out of range for '%s': [%s]", name,
                  bytes);
        ++st_.scanDataWarnings;
    }
}

void PackParser::Subtitle(const std::uint8_t* body, std::size_t len) {
    int payload = PesHeader(body, len);
    if (payload < 0 || static_cast<std::size_t>(payload) >= len) return;
    std::uint8_t channel = body[payload];
    if (channel >= kMpegOgtChannels) {
        log_.Warn("OGT channel out of range %d", channel);
        return;
    }
    pkt_.ogt[channel] = true;
    st_.ogt[channel] = true;
}

} // namespace

std::size_t ParsePacket(const std::uint8_t* buffer, std::size_t length, bool parsePes,
                        MpegScanContext& ctx, CVcdLog& log) {
    ctx.packet = MpegPacketInfo{};
    // Nothing to parse, and nothing to count as a pack.
    if (!buffer || length == 0) return 0;
    ++ctx.stream.packets;
    return PackParser(buffer, length, parsePes, ctx, log).Run();
}

MpegPacketType GetPacketType(const MpegPacketInfo& p) {
    for (bool v : p.video)
        if (v) return MPEG_PACKET_VIDEO;
    for (bool a : p.audio)
        if (a) return MPEG_PACKET_AUDIO;
    if (p.zero) return MPEG_PACKET_ZERO;
    for (bool o : p.ogt)
        if (o) return MPEG_PACKET_OGT;
    if (p.systemHeader || p.padding) return MPEG_PACKET_EMPTY;
    return MPEG_PACKET_INVALID;
}

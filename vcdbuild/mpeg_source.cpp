#include "mpeg_source.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t kScanWarningsSilenced = 9;
// Scan information points at most this many seconds backward and forward.
constexpr double kScanReach = 10.0;

std::uint8_t ToBcdByte(std::uint32_t v) {
    v = std::min<std::uint32_t>(v, 99);
    return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10));
}

// A pack number as a disc time, minutes:seconds:frames in BCD with the top bit of seconds and
// frames set, as SVCD scan information stores it.
void PutScanOffset(std::uint8_t* field, std::uint32_t packetNo) {
    field[0] = ToBcdByte(packetNo / 4500);
    field[1] = static_cast<std::uint8_t>(ToBcdByte((packetNo / 75) % 60) | 0x80);
    field[2] = static_cast<std::uint8_t>(ToBcdByte(packetNo % 75) | 0x80);
}

void PutNoScanOffset(std::uint8_t* field) {
    std::memset(field, 0xFF, 3);
}

// Time of a pack without PTS, from the access points around it. With no access point before the
// pack there is no base: it takes the time of the stream's first access point, or 0 without any.
double InterpolateTime(const std::vector<ApsEntry>& aps, std::uint32_t packetNo) {
    const ApsEntry* base = nullptr;
    const ApsEntry* before = nullptr;
    const ApsEntry* last = nullptr;
    for (const ApsEntry& e : aps) {
        before = last;
        last = &e;
        if (e.packetNo >= packetNo) break;
        base = &e;
    }
    if (!base) return aps.empty() ? 0.0 : aps.front().timestamp;
    double slope = 0;
    if (before && last->packetNo != before->packetNo)
        slope = (last->timestamp - before->timestamp) /
                (static_cast<double>(last->packetNo) - static_cast<double>(before->packetNo));
    return base->timestamp +
           slope * (static_cast<double>(packetNo) - static_cast<double>(base->packetNo));
}

} // namespace

CVcdMpegSource::CVcdMpegSource(CVcdLog& log, const char* path)
    : CVcdStream(log, path, VCD_STREAM_READ) {}

int CVcdMpegSource::Scan(bool strictAps, bool fixScanInfo, const char* itemId) {
    if (scanned_) {
        log_.Debug("already scanned... not rescanning");
        return 0;
    }
    Seek(0);
    const std::int64_t length = GetSize();
    if (length < 0) return 1;

    MpegScanContext ctx;
    if (fixScanInfo) ctx.stream.scanDataWarnings = kScanWarningsSilenced;
    VcdScanProgress report{itemId, 0, 0, length};
    log_.OnScanProgress(&report);

    std::uint8_t buffer[kMpegPackSize];
    std::int64_t pos = 0;
    std::int64_t lastReport = 0;
    std::uint32_t packetNo = 0;
    std::int64_t padBytes = 0;
    std::uint32_t unaligned = 0;
    bool failed = false;
    bool cancelled = false;
    while (pos < length) {
        if (log_.Cancelled()) {
            cancelled = true;
            break;
        }
        std::size_t want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(kMpegPackSize), length - pos));
        std::memset(buffer, 0, sizeof buffer);
        if (Read(buffer, static_cast<std::int64_t>(want)) != static_cast<std::int64_t>(want)) {
            failed = true;
            break;
        }
        std::size_t packLength = ParsePacket(buffer, want, true, ctx, log_);
        if (packLength == 0) {
            if (packetNo == 0) {
                log_.Error("input mpeg stream has been deemed invalid -- aborting");
                failed = true;
            } else {
                log_.Warn("bad packet at packet #%d (stream byte offset %lld) -- remaining %lld "
                          "bytes of stream will be ignored",
                          static_cast<int>(packetNo), static_cast<long long>(pos),
                          static_cast<long long>(length - pos));
            }
            break;
        }
        if (pos - lastReport > length / 100) {
            report.packets = static_cast<std::int32_t>(packetNo);
            report.position = pos;
            log_.OnScanProgress(&report);
            lastReport = pos;
        }

        const MpegPacketInfo& pkt = ctx.packet;
        bool sequenceAps = pkt.aps == APS_SGI || pkt.aps == APS_ASGI;
        if (sequenceAps || (!strictAps && (pkt.aps == APS_I || pkt.aps == APS_GI)))
            ctx.stream.video[pkt.apsIndex].apsList.push_back({packetNo, pkt.apsPts});

        pos += static_cast<std::int64_t>(packLength);
        ++packetNo;
        if (packLength != want) {
            padBytes += static_cast<std::int64_t>(kMpegPackSize - packLength);
            if (unaligned == 0)
                log_.Warn("mpeg stream will be padded on the fly -- hope that's ok for you!");
            ++unaligned;
            Seek(pos);
            if (position() != pos) break;
        }
    }

    Close();
    info_ = std::move(ctx.stream);
    scanned_ = true;
    if (failed) return 1;
    if (cancelled) return -1;

    report.packets = static_cast<std::int32_t>(packetNo);
    report.position = pos;
    log_.OnScanProgress(&report);
    info_.playingTime = info_.maxPts - info_.minPts;
    if (info_.minPts != 0)
        log_.Debug("pts start offset %f (max pts = %f)", info_.minPts, info_.maxPts);
    log_.Debug("playing time %f", info_.playingTime);

    if (info_.version == MPEG_VERSION_2 && info_.scanData == 0)
        log_.Warn("mpeg stream contained no scan information (user data).");

    for (MpegVideoInfo& v : info_.video)
        for (ApsEntry& e : v.apsList)
            e.timestamp -= info_.minPts;

    if (unaligned > 0)
        log_.Warn("autopadding requires to insert additional %lld zero bytes into MPEG stream (due "
                  "to %d unaligned packets of %d total)",
                  static_cast<long long>(padBytes), static_cast<int>(unaligned),
                  static_cast<int>(info_.packets));
    return 0;
}

int CVcdMpegSource::GetPacket(std::uint32_t packetNo, std::uint8_t* buffer,
                              MpegPacketInfo* packetInfo, bool fixScanInfo) {
    if (!buffer || packetNo >= info_.packets) {
        log_.Error("invalid argument");
        return -1;
    }
    if (packetNo < readPacketNo_) {
        log_.Warn("rewinding mpeg stream...");
        readPosition_ = 0;
        readPacketNo_ = 0;
    }

    MpegScanContext ctx;
    ctx.stream.seenPts = true;
    ctx.stream.minPts = info_.minPts;
    ctx.stream.scanDataWarnings = kScanWarningsSilenced;
    // The length is taken once per pass through the file, not once per pack.
    if (readPacketNo_ == 0 || readLength_ < 0) readLength_ = GetSize();
    const std::int64_t length = readLength_;
    if (length < 0) return -1;
    Seek(readPosition_);
    if (position() != readPosition_) return -1;

    std::uint8_t pack[kMpegPackSize];
    std::int64_t pos = readPosition_;
    std::uint32_t no = readPacketNo_;
    while (pos < length) {
        std::size_t want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(kMpegPackSize), length - pos));
        std::memset(pack, 0, sizeof pack);
        if (Read(pack, static_cast<std::int64_t>(want)) != static_cast<std::int64_t>(want))
            return -1;
        std::size_t packLength = ParsePacket(pack, want, fixScanInfo, ctx, log_);
        if (packLength == 0) break; // the file no longer holds what the scan saw
        if (no == packetNo) {
            readPosition_ = pos + static_cast<std::int64_t>(packLength);
            readPacketNo_ = packetNo + 1;
            if (fixScanInfo && ctx.packet.HasScanInfo() && info_.version == MPEG_VERSION_2)
                RewriteScanInfo(packetNo, pack, ctx.packet);
            std::memset(buffer, 0, kMpegPackSize);
            std::memcpy(buffer, pack, packLength);
            if (packetInfo) {
                *packetInfo = ctx.packet;
                if (packetInfo->hasPts) packetInfo->pts -= info_.minPts;
            }
            return 0;
        }
        pos += static_cast<std::int64_t>(packLength);
        ++no;
        if (packLength != want) {
            Seek(pos);
            if (position() != pos) return -1;
        }
    }
    log_.Error("shouldn't be reached...");
    return -1;
}

void CVcdMpegSource::RewriteScanInfo(std::uint32_t packetNo, std::uint8_t* pack,
                                     const MpegPacketInfo& packet) const {
    int stream = packet.video[2] ? 2 : packet.video[1] ? 1 : 0;
    const std::vector<ApsEntry>& aps = info_.video[stream].apsList;
    double time = packet.hasPts ? packet.pts - info_.minPts : InterpolateTime(aps, packetNo);

    bool hasPrevious = false, hasNext = false, hasBackward = false;
    std::uint32_t previous = 0, next = 0, backward = packetNo, forward = packetNo;
    for (const ApsEntry& e : aps) {
        if (e.packetNo == packetNo) continue;
        if (e.packetNo < packetNo) {
            previous = e.packetNo;
            hasPrevious = true;
            if (!hasBackward && time - e.timestamp < kScanReach) {
                backward = e.packetNo;
                hasBackward = true;
            }
        } else {
            if (!hasNext) {
                next = e.packetNo;
                hasNext = true;
            }
            if (e.timestamp - time < kScanReach) forward = e.packetNo;
        }
    }

    // The offsets depend on the pack only, so every picture of the pack gets the same ones.
    for (int i = 0; i < packet.scanInfoCount; ++i) {
        std::uint8_t* tag = pack + packet.scanInfoOffsets[i];
        if (hasPrevious)
            PutScanOffset(tag + 2, previous);
        else
            PutNoScanOffset(tag + 2);
        if (hasNext)
            PutScanOffset(tag + 5, next);
        else
            PutNoScanOffset(tag + 5);
        PutScanOffset(tag + 8, backward);
        PutScanOffset(tag + 11, forward);
    }
}

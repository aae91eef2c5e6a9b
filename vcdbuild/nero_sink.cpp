#include "nero_sink.h"

#include "sector_encoder.h"

#include <cstring>
#include <vector>

namespace {

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void PutId(std::vector<std::uint8_t>& out, const char id[4]) {
    out.insert(out.end(), id, id + 4);
}

} // namespace

CVcdNero::CVcdNero(CVcdLog& log, const char* path, int mode) : CVcdImage(log, path, mode) {
    if (mode_ == VCD_STREAM_WRITE)
        log_.Info("opening TAO NRG image for writing; TAO (S)VCD are _NOT_ 100%% compliant!");
}

void CVcdNero::Release(int flag) {
    CVcdImage::Release(flag);
    points_.clear();
    trackCount_ = 0;
    endLsn_ = -1;
}

int CVcdNero::SetArg(const char* key, const char* value) {
    if (!VcdKeyIs(key, "nrg")) return -1;
    if (!value || !*value) return -2;
    ReplacePath(value);
    return 0;
}

int CVcdNero::SetCueSheet(CVcdImage* self, const VcdCueList& points) {
    auto* target = dynamic_cast<CVcdNero*>(self);
    if (!target) return -1;
    VcdCueList kept;
    std::int32_t tracks = 0;
    std::int32_t end = -1;
    for (const VcdCuePoint& point : points) {
        if (point.kind == VCD_CUE_ENTRY) continue;
        kept.push_back(point);
        if (point.kind == VCD_CUE_TRACK) ++tracks;
        if (point.kind == VCD_CUE_END) {
            end = point.lsn;
            break;
        }
    }
    if (end < 0) return -1;
    target->points_ = std::move(kept);
    target->trackCount_ = tracks;
    target->endLsn_ = end;
    return 0;
}

std::int64_t CVcdNero::DataPosition(std::int32_t lsn) const {
    std::int64_t position = lsn;
    const VcdCuePoint* last = nullptr;
    for (const VcdCuePoint& point : points_) {
        if (point.lsn > lsn) break;
        if (point.kind == VCD_CUE_TRACK) position -= point.lsn;
        if (point.kind == VCD_CUE_PREGAP) position += point.lsn;
        last = &point;
    }
    return last && last->kind == VCD_CUE_TRACK ? position : -1;
}

int CVcdNero::PutSector(const std::uint8_t* sector2352, std::int32_t lsn) {
    if (!sector2352) return 1;
    std::int64_t position = DataPosition(lsn);
    if (position < 0) {
        log_.Debug("ignoring %d", lsn);
        return 0;
    }
    std::int64_t offset = position * static_cast<std::int64_t>(kMode2SectorSize);
    if (!WriteAt(offset, sector2352 + 16, kMode2SectorSize)) return 1;
    if (static_cast<std::int64_t>(lsn) + 1 != endLsn_) return 0;
    log_.Debug("ENDLSN reached! (%d == %d)", lsn, static_cast<int>(position));
    return WriteFooter(offset + static_cast<std::int64_t>(kMode2SectorSize));
}

int CVcdNero::WriteFooter(std::int64_t offset) {
    // The footer's fields are 32-bit: an image that does not fit cannot be described.
    if (offset > 0xFFFFFFFFLL) return 1;
    const std::int64_t sector = kMode2SectorSize;
    std::vector<std::uint8_t> footer;
    PutId(footer, "ETNF");
    PutBe32(footer, static_cast<std::uint32_t>(20 * trackCount_));
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const VcdCuePoint& track = points_[i];
        if (track.kind != VCD_CUE_TRACK) continue;
        std::int64_t position = DataPosition(track.lsn);
        std::int32_t next = i + 1 < points_.size() ? points_[i + 1].lsn : track.lsn;
        PutBe32(footer, static_cast<std::uint32_t>(position * sector));
        PutBe32(footer, static_cast<std::uint32_t>((next - track.lsn) * sector));
        PutBe32(footer, 3);
        PutBe32(footer, static_cast<std::uint32_t>(position));
        PutBe32(footer, 0);
    }
    PutId(footer, "SINF");
    PutBe32(footer, 4);
    PutBe32(footer, static_cast<std::uint32_t>(trackCount_));
    PutId(footer, "END!");
    PutBe32(footer, 0);
    PutId(footer, "NERO");
    PutBe32(footer, static_cast<std::uint32_t>(offset));
    return WriteAt(offset, footer.data(), static_cast<std::int64_t>(footer.size())) ? 0 : 1;
}

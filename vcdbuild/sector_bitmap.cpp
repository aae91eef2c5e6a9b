#include "sector_bitmap.h"

namespace {

constexpr std::size_t kGrowStep = 16;

} // namespace

void CVcdSectorBitmap::Set(std::uint32_t sector) {
    const std::size_t byte = sector / 8;
    if (byte >= bits_.size()) bits_.resize((byte / kGrowStep + 1) * kGrowStep, 0);
    if (byte >= used_) used_ = byte + 1;
    bits_[byte] = static_cast<std::uint8_t>(bits_[byte] | (1u << (sector % 8)));
}

bool CVcdSectorBitmap::IsUsed(std::uint32_t sector) const {
    const std::size_t byte = sector / 8;
    return byte < bits_.size() && (bits_[byte] >> (sector % 8)) & 1u;
}

bool CVcdSectorBitmap::RunFree(std::uint32_t first, std::uint32_t count,
                               std::uint32_t* taken) const {
    for (std::uint32_t s = first; s < first + count; ++s) {
        if (IsUsed(s)) {
            *taken = s;
            return false;
        }
    }
    return true;
}

std::int32_t CVcdSectorBitmap::Allocate(std::int32_t hint, std::uint32_t count) {
    if (count == 0) {
        log_.Warn("request of 0 sectors allocment fixed up to 1 sector (this is harmless)");
        count = 1;
    }
    if (hint < -1 || count > kMaxSectors) {
        log_.Error("cannot allocate %u sectors at %d", count, hint);
        return -1;
    }

    std::uint32_t first = hint == -1 ? 0 : static_cast<std::uint32_t>(hint);
    for (;;) {
        if (first > kMaxSectors - count) {
            log_.Error("cannot allocate %u sectors at %u: beyond the image size limit", count,
                       first);
            return -1;
        }
        std::uint32_t taken = 0;
        if (RunFree(first, count, &taken)) break;
        if (hint != -1) return -1;
        // First fit: no run that starts before the taken sector can succeed.
        first = taken + 1;
    }
    for (std::uint32_t s = first; s < first + count; ++s)
        Set(s);
    return static_cast<std::int32_t>(first);
}

void CVcdSectorBitmap::Free(std::uint32_t first, std::uint32_t count) {
    for (std::uint64_t s = first; s < std::uint64_t{first} + count; ++s) {
        const std::size_t byte = static_cast<std::size_t>(s / 8);
        if (byte >= bits_.size()) return;
        bits_[byte] = static_cast<std::uint8_t>(bits_[byte] & ~(1u << (s % 8)));
    }
}

std::int32_t CVcdSectorBitmap::HighestUsed() const {
    if (used_ == 0) return -1;
    const std::uint8_t last = bits_[used_ - 1];
    int bit = 0;
    for (int i = 7; i >= 0; --i) {
        if ((last >> i) & 1u) {
            bit = i;
            break;
        }
    }
    return static_cast<std::int32_t>((used_ - 1) * 8 + bit);
}

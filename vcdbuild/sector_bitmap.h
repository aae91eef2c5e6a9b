// Which sectors of the image are taken: one bit per sector (bit s % 8 of byte s / 8), grown in
// 16-byte steps as sectors are marked.
#pragma once

#include "vcd_log.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CVcdSectorBitmap {
  public:
    explicit CVcdSectorBitmap(CVcdLog& log) : log_(log) {}

    // Marks `count` sectors from `hint` and returns `hint`, or -1 when one of them is taken.
    // A hint of -1 takes the first run of `count` free sectors. A count of 0 counts as 1.
    std::int32_t Allocate(std::int32_t hint, std::uint32_t count);
    void Free(std::uint32_t first, std::uint32_t count);
    // False for sectors beyond the bitmap.
    bool IsUsed(std::uint32_t sector) const;
    // (bytes in use - 1) * 8 + the highest set bit of the last byte in use (0 when it is clear);
    // -1 before anything was allocated.
    std::int32_t HighestUsed() const;

    std::size_t BytesInUse() const { return used_; }
    std::size_t BytesAllocated() const { return bits_.size(); }

    // Sectors beyond this are refused; far more than any disc holds.
    static constexpr std::uint32_t kMaxSectors = 1u << 24;

  private:
    void Set(std::uint32_t sector);
    bool RunFree(std::uint32_t first, std::uint32_t count, std::uint32_t* taken) const;

    CVcdLog& log_;
    std::vector<std::uint8_t> bits_;
    std::size_t used_ = 0;
};

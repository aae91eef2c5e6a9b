// The buffered system files of track 1 (descriptors, directory, path tables, control files), each
// at a fixed or allocated run of sectors.
#pragma once

#include "sector_bitmap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CVcdDict {
    std::string key;
    std::int32_t sector = 0;
    std::int32_t count = 0;
    std::vector<std::uint8_t> buffer; // count * 2048 bytes
    std::uint8_t endFlags = 0;        // submode bits of the last sector
};

class CDictList {
  public:
    // Takes `count` sectors at `hint` (-1: the first free run). The entry, or null when the
    // sectors are taken.
    CVcdDict* Insert(CVcdSectorBitmap& bitmap, const std::string& key, std::int32_t hint,
                     std::int32_t count, std::uint8_t endFlags);
    CVcdDict* Find(const std::string& key) const; // case-insensitive
    // The 2048 bytes of `lsn` in the entry that covers it, or null.
    const std::uint8_t* SectorBuffer(std::uint32_t lsn) const;
    // The entry's end flags when `lsn` is its last sector, else 0.
    std::uint8_t SectorFlags(std::uint32_t lsn) const;
    void Clear() { entries_.clear(); }

  private:
    std::vector<std::unique_ptr<CVcdDict>> entries_;
};

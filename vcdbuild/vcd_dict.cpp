#include "vcd_dict.h"

#include <strings.h>

CVcdDict* CDictList::Insert(CVcdSectorBitmap& bitmap, const std::string& key, std::int32_t hint,
                            std::int32_t count, std::uint8_t endFlags) {
    if (count < 0) return nullptr;
    std::int32_t first = bitmap.Allocate(hint, static_cast<std::uint32_t>(count));
    if (first < 0) return nullptr;
    auto entry = std::make_unique<CVcdDict>();
    entry->key = key;
    entry->sector = first;
    entry->count = count;
    entry->buffer.assign(static_cast<std::size_t>(count) * 2048, 0);
    entry->endFlags = endFlags;
    entries_.push_back(std::move(entry));
    return entries_.back().get();
}

CVcdDict* CDictList::Find(const std::string& key) const {
    for (const auto& e : entries_)
        if (strcasecmp(e->key.c_str(), key.c_str()) == 0) return e.get();
    return nullptr;
}

const std::uint8_t* CDictList::SectorBuffer(std::uint32_t lsn) const {
    for (const auto& e : entries_) {
        auto first = static_cast<std::uint32_t>(e->sector);
        if (lsn >= first && lsn < first + static_cast<std::uint32_t>(e->count))
            return e->buffer.data() + static_cast<std::size_t>(lsn - first) * 2048;
    }
    return nullptr;
}

std::uint8_t CDictList::SectorFlags(std::uint32_t lsn) const {
    for (const auto& e : entries_)
        if (e->count > 0 && lsn == static_cast<std::uint32_t>(e->sector + e->count - 1))
            return e->endFlags;
    return 0;
}

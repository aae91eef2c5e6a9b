#include "pbc.h"

#include "string_helpers.h"
#include "vcd_project.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr std::uint32_t kPsdSectorSize = 2048;
constexpr std::size_t kLotSize = 65536;
constexpr std::uint16_t kNoTarget = 0xFFFF;
constexpr std::uint16_t kMultiDefault = 0xFFFE;
constexpr std::uint16_t kMultiDefaultNoNumeric = 0xFFFD;
// The count bytes of play and selection lists are 8 bits wide: a longer list is cut there, in
// its size and in its record alike, so that the record stays what its count byte says.
constexpr std::size_t kMaxListCount = 255;
constexpr int kMaxSelections = 99;
constexpr std::int32_t kMaxLoopCount = 127;
constexpr int kMaxLotLid = static_cast<int>(kLotSize / 2 - 1);

bool SvcdLike(const CVcdObj& project) {
    return project.type == VCD_TYPE_SVCD || project.type == VCD_TYPE_HQVCD;
}

void Put16(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    p[1] = static_cast<std::uint8_t>(value & 0xFF);
}

std::uint32_t RoundUp8(std::uint32_t size) {
    return (size + 7) & ~7u;
}

std::size_t ListCount(std::size_t count) {
    return std::min(count, kMaxListCount);
}

// What an id names among the play items of a project.
struct PlayItem {
    int kind = VCD_ITEM_NONE;
    int pin = 0;
    CMpegSequence* sequence = nullptr; // for sequences and entry points: the sequence
    CMpegSegment* segment = nullptr;
};

bool SameId(const std::string& itemId, const std::string& id) {
    return !itemId.empty() && StrCaseCompare(itemId, id) == 0;
}

PlayItem FindPlayItem(const CVcdObj& project, const std::string& id) {
    PlayItem found;
    if (id.empty()) return found;
    int k = 0;
    for (const auto& sequence : project.sequences) {
        if (SameId(sequence->id, id)) {
            found.kind = VCD_ITEM_SEQUENCE;
            found.pin = k + 2;
            found.sequence = sequence.get();
            return found;
        }
        ++k;
    }
    // Every sequence has an entry point at the start of its track, named or not.
    int n = 0;
    for (const auto& sequence : project.sequences) {
        if (SameId(sequence->defaultEntryId, id)) {
            found.kind = VCD_ITEM_ENTRY;
            found.pin = 100 + n;
            found.sequence = sequence.get();
            return found;
        }
        ++n;
        for (const auto& entry : sequence->entries) {
            if (SameId(entry->id, id)) {
                found.kind = VCD_ITEM_ENTRY;
                found.pin = 100 + n;
                found.sequence = sequence.get();
                return found;
            }
            ++n;
        }
    }
    std::uint32_t units = 0;
    for (const auto& segment : project.segments) {
        if (SameId(segment->id, id)) {
            found.kind = VCD_ITEM_SEGMENT;
            found.pin = static_cast<int>(1000 + units);
            found.segment = segment.get();
            return found;
        }
        units += segment->segmentCount;
    }
    return found;
}

// The 16-bit PSD offset (in units of 8 bytes) of the list named `id`.
std::uint16_t TargetOffset(const CVcdObj& project, const std::string& id, bool extended) {
    if (id.empty()) return kNoTarget;
    const CPbc* target = project.pbcList.FindItem(id);
    if (!target) {
        project.log.Error("PSD: referenced PSD '%s' not found", id.c_str());
        return kNoTarget;
    }
    return static_cast<std::uint16_t>((extended ? target->offsetExt : target->offset) / 8);
}

// The PIN of a play item of a record; an id that names nothing is reported and gives 0.
std::uint16_t RecordPin(const CVcdObj& project, const std::string& id) {
    if (id.empty()) return 0;
    const int pin = LookupPin(project, id);
    if (pin == 0) project.log.Error("PSD: referenced play item '%s' not found", id.c_str());
    return static_cast<std::uint16_t>(pin);
}

std::uint16_t LidField(const CPbc& pbc) {
    return static_cast<std::uint16_t>((static_cast<std::uint32_t>(pbc.lid) & 0x7FFF) |
                                      (pbc.rejected ? 0x8000u : 0u));
}

void PutArea(const CVcdObj& project, const CPbcSelect& select, const PbcArea* area,
             std::uint8_t* p) {
    std::memset(p, 0, 4);
    if (!area || !area->present) return;
    if (!area->x1 && !area->y1 && !area->x2 && !area->y2) return;
    if (area->x1 >= area->x2) {
        project.log.Error("selection '%s': area x1 >= x2 (%d >= %d)", select.id.c_str(), area->x1,
                          area->x2);
        return;
    }
    if (area->y1 >= area->y2) {
        project.log.Error("selection '%s': area y1 >= y2 (%d >= %d)", select.id.c_str(), area->y1,
                          area->y2);
        return;
    }
    p[0] = area->x1;
    p[1] = area->y1;
    p[2] = area->x2;
    p[3] = area->y2;
}

// Reachability visits run from a work list rather than by recursion, so that long chains of
// lists cannot exhaust the stack.
thread_local std::vector<CPbc*>* g_pending = nullptr;

void VisitList(CVcdObj& project, CPbc* item) {
    if (!item || item->id.empty() || item->visited) return;
    item->visited = true;
    if (g_pending) {
        g_pending->push_back(item);
        return;
    }
    std::vector<CPbc*> work{item};
    g_pending = &work;
    while (!work.empty()) {
        CPbc* next = work.back();
        work.pop_back();
        next->MarkReferences(project);
    }
    g_pending = nullptr;
}

void VisitId(CVcdObj& project, const std::string& id) {
    if (id.empty()) return;
    VisitList(project, project.pbcList.FindItem(id));
}

void MarkPlayItem(CVcdObj& project, const std::string& id) {
    const PlayItem item = FindPlayItem(project, id);
    if (item.kind == VCD_ITEM_SEQUENCE) item.sequence->reachable = true;
    if (item.kind == VCD_ITEM_SEGMENT) item.segment->reachable = true;
}

bool MultiDefault(const CPbcSelect& select) {
    return select.defaultKind == PBC_DEFAULT_MULTI ||
           select.defaultKind == PBC_DEFAULT_MULTI_NO_NUMERIC;
}

} // namespace

int CPbc::Compare(const std::string& otherId) const {
    return StrCaseCompare(id, otherId);
}

// Play list

std::uint32_t CPbcPlay::GetSize(const CVcdObj&, bool) const {
    return static_cast<std::uint32_t>(14 + 2 * ListCount(itemIds.size()));
}

void CPbcPlay::MarkReferences(CVcdObj& project) {
    VisitId(project, prevId);
    VisitId(project, nextId);
    VisitId(project, returnId);
    for (const std::string& item : itemIds)
        MarkPlayItem(project, item);
}

void CPbcPlay::Write(const CVcdObj& project, std::uint8_t* record, bool extended) const {
    const std::size_t count = ListCount(itemIds.size());
    record[0] = 0x10;
    record[1] = static_cast<std::uint8_t>(count);
    Put16(record + 2, LidField(*this));
    Put16(record + 4, TargetOffset(project, prevId, extended));
    Put16(record + 6, TargetOffset(project, nextId, extended));
    Put16(record + 8, TargetOffset(project, returnId, extended));
    const double ticks = std::trunc(playingTime * 15);
    const std::uint32_t time = !(ticks > 0)    ? 0
                               : ticks > 65535 ? 65535
                                               : static_cast<std::uint32_t>(ticks);
    Put16(record + 10, time);
    record[12] = CodeWaitTime(project, waitTime);
    record[13] = CodeWaitTime(project, autoPauseWaitTime);
    for (std::size_t i = 0; i < count; ++i)
        Put16(record + 14 + 2 * i, RecordPin(project, itemIds[i]));
}

// Selection list

std::uint32_t CPbcSelect::GetSize(const CVcdObj& project, bool extended) const {
    const std::size_t nos = ListCount(selectIds.size());
    if (extended || SvcdLike(project)) return static_cast<std::uint32_t>(36 + 6 * nos);
    return static_cast<std::uint32_t>(20 + 2 * nos);
}

void CPbcSelect::MarkReferences(CVcdObj& project) {
    VisitId(project, prevId);
    VisitId(project, nextId);
    VisitId(project, returnId);
    if (!MultiDefault(*this)) VisitId(project, defaultId);
    VisitId(project, timeoutId);
    for (const std::string& target : selectIds)
        VisitId(project, target);
    MarkPlayItem(project, itemId);
}

void CPbcSelect::Write(const CVcdObj& project, std::uint8_t* record, bool extended) const {
    CVcdLog& log = project.log;
    const char* name = id.c_str();
    const long long nosAll = static_cast<long long>(selectIds.size());
    const std::size_t nos = ListCount(selectIds.size());
    const bool areas = extended || SvcdLike(project);

    if (bsn < 1 || bsn > 99) log.Error("selection '%s': BSN (%d) not in range [1..99]", name, bsn);
    if (nosAll > kMaxSelections)
        log.Error("selection '%s': too many selections (%lld > 99)", name, nosAll);
    if (static_cast<long long>(bsn) + nosAll > 100)
        log.Error("selection '%s': (BSN (%d) + NOS (%lld)) > 100", name, bsn, nosAll);
    if (defaultKind == PBC_DEFAULT_MULTI && !defaultId.empty())
        log.Warn("ignoring default target '%s' for multi default selection '%s'", defaultId.c_str(),
                 name);
    if (defaultKind == PBC_DEFAULT_MULTI_NO_NUMERIC && !defaultId.empty())
        log.Warn("ignoring default target '%s' for multi default (w/o num) selection '%s'",
                 defaultId.c_str(), name);
    if (loopCount > kMaxLoopCount) log.Warn("loop count %d > 127", loopCount);
    if (loopCount != 0 && waitTime >= 0 && timeoutId.empty() && selectIds.empty())
        log.Warn("PSD: selection '%s': neither timeout nor select target available, but neither "
                 "loop count is infinite nor timeout wait time",
                 name);
    if (!timeoutId.empty() && (waitTime < 0 || loopCount == 0))
        log.Warn("PSD: selection '%s': timeout target '%s' is never used due to loop count or "
                 "timeout wait time given",
                 name, timeoutId.c_str());

    record[0] = extended ? 0x1A : 0x18;
    record[1] = SvcdLike(project) ? 0x01 : 0x00;
    record[2] = static_cast<std::uint8_t>(nos);
    record[3] = static_cast<std::uint8_t>(bsn);
    Put16(record + 4, LidField(*this));
    Put16(record + 6, TargetOffset(project, prevId, extended));
    Put16(record + 8, TargetOffset(project, nextId, extended));
    Put16(record + 10, TargetOffset(project, returnId, extended));
    std::uint16_t def = kNoTarget;
    if (defaultKind == PBC_DEFAULT_MULTI)
        def = kMultiDefault;
    else if (defaultKind == PBC_DEFAULT_MULTI_NO_NUMERIC)
        def = kMultiDefaultNoNumeric;
    else
        def = TargetOffset(project, defaultId, extended);
    Put16(record + 12, def);
    Put16(record + 14, TargetOffset(project, timeoutId, extended));
    record[16] = CodeWaitTime(project, waitTime);
    const std::int32_t loops = std::clamp<std::int32_t>(loopCount, 0, kMaxLoopCount);
    record[17] = static_cast<std::uint8_t>(loops | (jumpDelayed ? 0x80 : 0));
    Put16(record + 18, RecordPin(project, itemId));
    for (std::size_t i = 0; i < nos; ++i)
        Put16(record + 20 + 2 * i, TargetOffset(project, selectIds[i], extended));

    if (MultiDefault(*this)) {
        if (jumpDelayed) log.Warn("selection '%s': jump timing shall be immediate", name);
        if (bsn != 1) log.Error("selection '%s': (BSN != 1) for multi default selection", name);
        if (itemId.empty()) {
            log.Error("selection '%s': play nothing play item not allowed for multidefault list",
                      name);
        } else {
            const PlayItem item = FindPlayItem(project, itemId);
            if (item.kind != VCD_ITEM_SEQUENCE && item.kind != VCD_ITEM_ENTRY) {
                log.Error("selection '%s': play item '%s' is requried to be sequence or entry "
                          "point item for multi default selecton",
                          name, itemId.c_str());
            } else {
                const long long points = static_cast<long long>(item.sequence->entries.Size()) + 1;
                if (points != nosAll)
                    log.Error("selection '%s': number of entrypoints (%lld for sequence '%s') != "
                              "number of selections (%lld)",
                              name, points, item.sequence->id.c_str(), nosAll);
            }
        }
    }

    if (!areas) return;
    std::uint8_t* p = record + 20 + 2 * nos;
    PutArea(project, *this, &prevArea, p);
    PutArea(project, *this, &nextArea, p + 4);
    PutArea(project, *this, &returnArea, p + 8);
    PutArea(project, *this, &defaultArea, p + 12);
    p += 16;
    for (std::size_t i = 0; i < nos; ++i)
        PutArea(project, *this, i < selectAreas.size() ? &selectAreas[i] : nullptr, p + 4 * i);
}

// End list

std::uint32_t CPbcEnd::GetSize(const CVcdObj&, bool) const {
    return 8;
}

void CPbcEnd::MarkReferences(CVcdObj& project) {
    MarkPlayItem(project, imageId);
}

void CPbcEnd::Write(const CVcdObj& project, std::uint8_t* record, bool) const {
    CVcdLog& log = project.log;
    std::memset(record, 0, 8);
    record[0] = 0x1F;
    if (!SvcdLike(project)) {
        if (nextDisc != 0 || !imageId.empty())
            log.Warn("extended end list attributes ignored for non-SVCD");
        return;
    }
    record[1] = static_cast<std::uint8_t>(nextDisc);
    if (imageId.empty()) return;
    if (nextDisc == 0)
        log.Warn("PSD: endlist '%s': change disc picture given, but next volume is 0", id.c_str());
    const std::uint16_t pin = RecordPin(project, imageId);
    Put16(record + 2, pin);
    const PlayItem item = FindPlayItem(project, imageId);
    if (item.kind == VCD_ITEM_SEGMENT) {
        const MpegStreamInfo& info = item.segment->info();
        if (info.video[0].seen || (!info.video[1].seen && !info.video[2].seen))
            log.Warn("PSD: endlist '%s': referenced play item '%s' should be a still picture",
                     id.c_str(), imageId.c_str());
    } else {
        log.Warn("PSD: endlist '%s': referenced play item '%s' is not a segment play item",
                 id.c_str(), imageId.c_str());
    }
}

// The list

CPbc* CPbcList::FindItem(const std::string& id) const {
    if (id.empty()) return nullptr;
    return Find([&](const CPbc& pbc) { return pbc.Compare(id) == 0; });
}

int CPbcList::Position(const std::string& id) const {
    if (id.empty()) return 0;
    int position = 0;
    for (const auto& pbc : *this) {
        ++position;
        if (pbc->Compare(id) == 0) return position;
    }
    return 0;
}

int LookupPin(const CVcdObj& project, const std::string& id) {
    return FindPlayItem(project, id).pin;
}

int ItemKind(const CVcdObj& project, const std::string& id) {
    if (id.empty()) return VCD_ITEM_NONE;
    const PlayItem item = FindPlayItem(project, id);
    if (item.kind != VCD_ITEM_NONE) return item.kind;
    return project.pbcList.FindItem(id) ? VCD_ITEM_PBC : VCD_ITEM_NONE;
}

bool IsPbcInUse(const CVcdObj& project) {
    if (project.pbcList.Empty()) return false;
    if (project.HasCap(VCD_CAP_PBC)) return true;
    project.log.Warn("PBC list not empty but VCD type not capable of PBC!");
    return false;
}

int PbcItemCount(const CVcdObj& project) {
    return IsPbcInUse(project) ? static_cast<int>(project.pbcList.Size()) : 0;
}

void AssignOffsets(CVcdObj& project) {
    const bool ext = project.HasCap(VCD_CAP_EXT_PBC);
    std::uint32_t pos = 0;
    std::uint32_t posExt = 0;
    auto place = [](std::uint32_t& position, std::uint32_t size) {
        const std::uint32_t used = position % kPsdSectorSize;
        if (used != 0 && size > kPsdSectorSize - used) position += kPsdSectorSize - used;
        const std::uint32_t at = position;
        position += size;
        return at;
    };
    std::int32_t lid = 0;
    for (const auto& pbc : project.pbcList) {
        pbc->lid = ++lid;
        pbc->offset = place(pos, RoundUp8(pbc->GetSize(project, false)));
        if (ext) pbc->offsetExt = place(posExt, RoundUp8(pbc->GetSize(project, true)));
    }
    project.pbcList.psdSize = pos;
    project.pbcList.extPsdSize = ext ? posExt : 0;
    project.log.Debug("pbc: psd size %d (extended psd %d)", static_cast<int>(pos),
                      static_cast<int>(project.pbcList.extPsdSize));
    // Offsets are kept in 16 bits of 8-byte units, with the top three values reserved.
    if (std::max(pos, posExt) / 8 > kMultiDefaultNoNumeric)
        project.log.Error("pbc: psd too large (%u bytes), list offsets exceed 16 bits",
                          static_cast<unsigned>(std::max(pos, posExt)));
}

void CheckReachability(CVcdObj& project) {
    for (const auto& pbc : project.pbcList)
        pbc->visited = false;
    for (const auto& sequence : project.sequences)
        sequence->reachable = false;
    for (const auto& segment : project.segments)
        segment->reachable = false;

    for (const auto& pbc : project.pbcList)
        if (!pbc->rejected) VisitList(project, pbc.get());

    for (const auto& pbc : project.pbcList)
        if (!pbc->visited) project.log.Warn("PSD item '%s' is unreachable", pbc->id.c_str());
    for (const auto& sequence : project.sequences)
        if (!sequence->reachable)
            project.log.Warn("sequence '%s' is not reachable by PBC", sequence->id.c_str());
    for (const auto& segment : project.segments)
        if (!segment->reachable)
            project.log.Warn("segment item '%s' is unreachable", segment->id.c_str());
}

std::uint32_t GetPsdSize(const CVcdObj& project, bool extended) {
    if (!IsPbcInUse(project)) return 0;
    return extended ? project.pbcList.extPsdSize : project.pbcList.psdSize;
}

void WritePsd(const CVcdObj& project, std::uint8_t* buffer, bool extended) {
    const std::uint32_t size = GetPsdSize(project, extended);
    for (const auto& pbc : project.pbcList) {
        const std::uint32_t at = extended ? pbc->offsetExt : pbc->offset;
        const std::uint32_t length = pbc->GetSize(project, extended);
        // Offsets come from AssignOffsets; a record outside the buffer is never written.
        if (at > size || length > size - at) continue;
        pbc->Write(project, buffer + at, extended);
    }
}

void WriteLot(const CVcdObj& project, std::uint8_t* buffer, bool extended) {
    std::memset(buffer, 0xFF, kLotSize);
    Put16(buffer, 0);
    for (const auto& pbc : project.pbcList) {
        if (pbc->rejected || pbc->lid < 1 || pbc->lid > kMaxLotLid) continue;
        const std::uint32_t offset = extended ? pbc->offsetExt : pbc->offset;
        Put16(buffer + 2 * static_cast<std::size_t>(pbc->lid), offset / 8);
    }
}

std::uint8_t CodeWaitTime(const CVcdObj& project, std::int32_t seconds) {
    if (seconds < 0) return 255;
    if (seconds <= 60) return static_cast<std::uint8_t>(seconds);
    if (seconds <= 2000) return static_cast<std::uint8_t>(60 + (seconds - 60) / 10);
    project.log.Warn("wait time of %ds clipped to 2000s", seconds);
    return 254;
}

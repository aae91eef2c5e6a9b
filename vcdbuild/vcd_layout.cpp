// The sector plan of an image: track 1 with the system files, segment items, EXT and custom
// files, the ISO 9660 directory, the entry points of every sequence and the size checks.
#include "vcd_project.h"

#include "iso9660_structs.h"
#include "iso_path_rules.h"
#include "pbc.h"
#include "string_helpers.h"
#include "vcd_info_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::uint32_t kSectorBytes = 2048;
constexpr std::int32_t kLotSectors = 32;    // 65536 bytes
constexpr std::int32_t kDirAreaFirst = 18;  // directory, then the two path tables
constexpr std::int32_t kDirAreaEndVcd = 75; // the directory area ends before this LSN
constexpr std::int32_t kDirAreaEndSvcd = 150;
constexpr std::int32_t kControlFilesFirst = 150; // INFO, ENTRIES, LOT, PSD
constexpr std::uint32_t kMinIsoSize = 300;
constexpr std::uint32_t kHeadAlign = 75;

std::int32_t SectorsFor(std::uint64_t bytes) {
    return static_cast<std::int32_t>((bytes + kSectorBytes - 1) / kSectorBytes);
}

std::uint32_t NextFree(const CVcdSectorBitmap& bitmap) {
    return static_cast<std::uint32_t>(bitmap.HighestUsed() + 1);
}

struct CdrSize {
    std::int32_t above;
    const char* minutes;
    const char* advice;
};

constexpr CdrSize kCdrSizes[] = {
    {405000, "90", "99"},
    {360000, "80", "90"},
    {333000, "74", "80"},
};

struct SequenceFile {
    std::string path;
    std::uint8_t fileNumber;
};

// `index` counts from 1.
SequenceFile SequenceFileName(const CVcdObj& p, std::uint32_t index) {
    const char* format = "MPEGAV/AVSEQ%2.2d.DAT";
    bool mpeg2Folder = false;
    if (p.type == VCD_TYPE_VCD10) {
        format = "MPEGAV/MUSIC%2.2d.DAT";
    } else if (p.type == VCD_TYPE_SVCD || p.type == VCD_TYPE_HQVCD) {
        mpeg2Folder = !p.vcd30MpegAvFolder;
        format = mpeg2Folder ? "MPEG2/AVSEQ%2.2d.MPG" : "MPEGAV/AVSEQ%2.2d.MPG";
    }
    char path[64];
    std::snprintf(path, sizeof path, format, static_cast<int>(index));
    return {path, static_cast<std::uint8_t>(mpeg2Folder ? 0 : index & 0xff)};
}

std::string SegmentFileName(std::int32_t type, std::uint32_t item) {
    char path[64];
    std::snprintf(path, sizeof path,
                  type == VCD_TYPE_VCD20 ? "SEGMENT/ITEM%4.4d.DAT" : "SEGMENT/ITEM%4.4d.MPG",
                  static_cast<int>(item));
    return path;
}

// Paths under a VideoCD system folder follow its upper-case naming; others keep their case.
std::string IsoCustomPath(const std::string& path) {
    return IsSystemPath(path.c_str()) ? StrUpper(path) : path;
}

} // namespace

// Every allocation below succeeds on a fresh bitmap; a failure means the plan itself is broken.
static bool InsertSystemFile(CVcdObj& p, const char* key, std::int32_t hint, std::int32_t count,
                             std::uint8_t endFlags) {
    if (p.dict.Insert(*p.isoBitmap, key, hint, count, endFlags)) return true;
    p.log.Error("internal error: no room for '%s' (%d sectors at %d)", key, count, hint);
    return false;
}

static bool LayoutTrack1(CVcdObj& p, bool pbc) {
    CVcdSectorBitmap& bitmap = *p.isoBitmap;
    if (bitmap.Allocate(0, 16) < 0 || bitmap.Allocate(75, 75) < 0) return false;
    if (!InsertSystemFile(p, "pvd", 16, 1, 0x01) || !InsertSystemFile(p, "evd", 17, 1, 0x81))
        return false;
    if (bitmap.Allocate(kDirAreaFirst, kDirAreaEndVcd - kDirAreaFirst) < 0) return false;
    if (!InsertSystemFile(p, "info", kControlFilesFirst, 1, 0x80) ||
        !InsertSystemFile(p, "entries", kControlFilesFirst + 1, 1, 0x80))
        return false;
    if (pbc) {
        if (!InsertSystemFile(p, "lot", kControlFilesFirst + 2, kLotSectors, 0x80) ||
            !InsertSystemFile(p, "psd", kControlFilesFirst + 2 + kLotSectors,
                              SectorsFor(GetPsdSize(p, false)), 0x80))
            return false;
    }
    const bool svcd = p.HasCap(VCD_CAP_SVCD_FILES);
    if (svcd && (!InsertSystemFile(p, "tracks", -1, 1, 0x80) ||
                 !InsertSystemFile(p, "search", -1, SectorsFor(GetSearchDatSize(p)), 0x80)))
        return false;

    std::uint32_t head = NextFree(bitmap);
    p.isoHeadSize = (head + kHeadAlign - 1) / kHeadAlign * kHeadAlign;
    if (p.isoHeadSize > head &&
        bitmap.Allocate(static_cast<std::int32_t>(head), p.isoHeadSize - head) < 0)
        return false;

    for (const auto& segment : p.segments) {
        std::int32_t first = bitmap.Allocate(-1, segment->segmentCount * 150);
        if (first < 0) return false;
        segment->startSector = static_cast<std::uint32_t>(first);
    }

    p.extStart = NextFree(bitmap);
    if (svcd && !InsertSystemFile(p, "scandata", -1, SectorsFor(GetScandataDatSize(p)), 0x80))
        return false;
    if (p.HasCap(VCD_CAP_EXT_PBC) && pbc &&
        (!InsertSystemFile(p, "lot_x", -1, kLotSectors, 0x80) ||
         !InsertSystemFile(p, "psd_x", -1, SectorsFor(GetPsdSize(p, true)), 0x80)))
        return false;

    p.customStart = NextFree(bitmap);
    for (const auto& file : p.customFiles) {
        if (file->sectors == 0) {
            file->startSector = p.customStart;
            continue;
        }
        std::int32_t first = bitmap.Allocate(-1, file->sectors);
        if (first < 0) return false;
        file->startSector = static_cast<std::uint32_t>(first);
    }

    std::int32_t highest = bitmap.HighestUsed();
    p.isoSize = std::max(static_cast<std::uint32_t>(highest + 1), kMinIsoSize);
    p.log.Debug("iso9660: highest allocated sector is %d (using %d as isosize)", highest,
                static_cast<int>(p.isoSize));
    return true;
}

static bool MakeSystemFile(CVcdObj& p, const char* path, const char* key, std::uint32_t size) {
    const CVcdDict* entry = p.dict.Find(key);
    if (!entry) {
        p.log.Error("internal error: system file '%s' has no sectors", key);
        return false;
    }
    return p.isoDir->MakeFile(path, static_cast<std::uint32_t>(entry->sector), size, false, 0, 0) ==
           0;
}

static bool MakeDirectory(CVcdObj& p, bool pbc) {
    CVcdDirectory& dir = *p.isoDir;
    const bool svcdTree = p.type == VCD_TYPE_SVCD || p.type == VCD_TYPE_HQVCD;
    const std::uint32_t lotBytes = kLotSectors * kSectorBytes;

    if (svcdTree) {
        if (dir.MakeDir("EXT") != 0) return false;
        if (p.vcd30MpegAvFolder) {
            p.log.Warn("adding MPEGAV dir for *DEPRECATED* SVCD VCD30 mode");
            if (dir.MakeDir("MPEGAV") != 0) return false;
        } else if (dir.MakeDir("MPEG2") != 0) {
            return false;
        }
        if (dir.MakeDir("SEGMENT") != 0 || dir.MakeDir("SVCD") != 0) return false;
        if (!MakeSystemFile(p, "SVCD/ENTRIES.SVD", "entries", kSectorBytes) ||
            !MakeSystemFile(p, "SVCD/INFO.SVD", "info", kSectorBytes))
            return false;
        if (pbc && (!MakeSystemFile(p, "SVCD/LOT.SVD", "lot", lotBytes) ||
                    !MakeSystemFile(p, "SVCD/PSD.SVD", "psd", GetPsdSize(p, false))))
            return false;
        if (!MakeSystemFile(p, "SVCD/SEARCH.DAT", "search", GetSearchDatSize(p)) ||
            !MakeSystemFile(p, "SVCD/TRACKS.SVD", "tracks", kSectorBytes))
            return false;
    } else {
        if (dir.MakeDir("EXT") != 0 || dir.MakeDir("MPEGAV") != 0 || dir.MakeDir("VCD") != 0)
            return false;
        if (!p.segments.Empty() && dir.MakeDir("SEGMENT") != 0) return false;
        if (!MakeSystemFile(p, "VCD/ENTRIES.VCD", "entries", kSectorBytes) ||
            !MakeSystemFile(p, "VCD/INFO.VCD", "info", kSectorBytes))
            return false;
        if (pbc && (!MakeSystemFile(p, "VCD/LOT.VCD", "lot", lotBytes) ||
                    !MakeSystemFile(p, "VCD/PSD.VCD", "psd", GetPsdSize(p, false))))
            return false;
    }

    std::uint32_t item = 1;
    for (const auto& segment : p.segments) {
        std::string path = SegmentFileName(p.type, item);
        std::uint64_t bytes = std::uint64_t{segment->info().packets} * kSectorBytes;
        std::uint8_t fileNumber = p.type == VCD_TYPE_VCD20 ? 1 : 0;
        if (dir.MakeFile(path, segment->startSector, static_cast<std::uint32_t>(bytes), true,
                         fileNumber, 0) != 0)
            return false;
        item += segment->segmentCount;
    }

    if (p.HasCap(VCD_CAP_EXT_PBC) && pbc) {
        const CVcdDict* psdX = p.dict.Find("psd_x");
        const CVcdDict* lotX = p.dict.Find("lot_x");
        if (!psdX || !lotX ||
            dir.MakeFile("EXT/PSD_X.VCD", static_cast<std::uint32_t>(psdX->sector),
                         GetPsdSize(p, true), false, 1, 0) != 0 ||
            dir.MakeFile("EXT/LOT_X.VCD", static_cast<std::uint32_t>(lotX->sector), lotBytes, false,
                         1, 0) != 0)
            return false;
    }
    if (p.HasCap(VCD_CAP_SVCD_FILES) &&
        !MakeSystemFile(p, "EXT/SCANDATA.DAT", "scandata", GetScandataDatSize(p)))
        return false;

    for (const std::string& folder : p.customDirs)
        if (dir.MakeDir(IsoCustomPath(folder)) != 0) return false;
    for (const auto& file : p.customFiles) {
        std::uint64_t bytes = file->raw ? std::uint64_t{file->sectors} * kSectorBytes
                                        : static_cast<std::uint64_t>(file->size);
        if (dir.MakeFile(IsoCustomPath(file->path), file->startSector,
                         static_cast<std::uint32_t>(bytes), file->raw, 1,
                         file->stream ? file->stream->fileTime() : 0) != 0)
            return false;
    }

    std::uint32_t index = 1;
    for (const auto& sequence : p.sequences) {
        SequenceFile name = SequenceFileName(p, index);
        std::uint64_t bytes =
            (std::uint64_t{p.trackFrontMargin} + sequence->info().packets + p.trackRearMargin) *
            kSectorBytes;
        if (dir.MakeFile(name.path, p.isoSize + sequence->relStart,
                         static_cast<std::uint32_t>(bytes), true, name.fileNumber, 0) != 0)
            return false;
        ++index;
    }

    // The directory and both path tables must end before the control files' area.
    const std::uint32_t d = dir.GetSize();
    const std::uint32_t limit = svcdTree ? kDirAreaEndSvcd : kDirAreaEndVcd;
    if (d + 20 >= limit) {
        p.log.Error(svcdTree ? "directory section to big for a SVCD"
                             : "directory section to big for a VCD");
        return false;
    }
    p.isoBitmap->Free(kDirAreaFirst, d + 2);
    const auto ds = static_cast<std::int32_t>(d);
    return InsertSystemFile(p, "dir", kDirAreaFirst, ds, 0x81) &&
           InsertSystemFile(p, "ptl", kDirAreaFirst + ds, 1, 0x81) &&
           InsertSystemFile(p, "ptm", kDirAreaFirst + ds + 1, 1, 0x81);
}

// Each entry moves to the access point nearest to its time; on a tie the earlier one stays.
static void PlaceEntries(CVcdObj& p) {
    for (const auto& sequence : p.sequences) {
        const std::vector<ApsEntry>& aps = sequence->info().video[0].apsList;
        std::uint32_t previousPack = 0;
        for (const auto& entry : sequence->entries) {
            ApsEntry chosen;
            if (!aps.empty()) {
                std::size_t k = 0;
                while (k + 1 < aps.size() && std::fabs(aps[k + 1].timestamp - entry->time) <
                                                 std::fabs(aps[k].timestamp - entry->time))
                    ++k;
                chosen = aps[k];
            }
            entry->packetNo = chosen.packetNo;
            entry->apsTime = chosen.timestamp;
            const int level =
                std::fabs(chosen.timestamp - entry->time) > 1.0 ? VCD_LOG_WARN : VCD_LOG_DEBUG;
            p.log.Log(level,
                      "requested entry point (id=%s) at %f, closest possible entry point at %f",
                      entry->id.c_str(), entry->time, chosen.timestamp);
            if (chosen.packetNo == previousPack)
                p.log.Warn("entry point '%s' falls into same sector as previous one!",
                           entry->id.c_str());
            previousPack = chosen.packetNo;
        }
    }
}

std::int32_t CVcdObj::GetImageSize() {
    if (sequences.Empty()) {
        log.Error("No sequences detected, be sure there is at least 1 movie-stream!.");
        return -1;
    }
    sectorsWritten = 0;
    currentTrack = 1;
    lastProgress = 0;
    isoBitmap = std::make_unique<CVcdSectorBitmap>(log);
    isoDir = std::make_unique<CVcdDirectory>(log);
    dict.Clear();

    AssignOffsets(*this);
    const bool pbc = IsPbcInUse(*this);
    if (!LayoutTrack1(*this, pbc) || !MakeDirectory(*this, pbc)) return -1;
    PlaceEntries(*this);
    if (CheckInfoLimits(*this) != 0) return -1;

    const std::int64_t size =
        std::int64_t{sequenceSectors} + isoSize + (leadoutPause ? std::int64_t{trackPregap} : 0);
    if (size > kVcdMaxImageSectors) {
        log.Error("image too big (%d sectors > %d sectors)", static_cast<int>(size),
                  static_cast<int>(kVcdMaxImageSectors));
        return -1;
    }
    const auto sectors = static_cast<std::int32_t>(size);
    for (const CdrSize& cdr : kCdrSizes) {
        if (sectors > cdr.above) {
            log.Warn("generated image (%d sectors [%s]) may not fit on %smin CDRs (%d sectors)",
                     sectors, FormatMsf(static_cast<std::uint32_t>(sectors)).c_str(), cdr.minutes,
                     cdr.above);
            log.Info(">>> use a %smin CDR for this image.", cdr.advice);
            break;
        }
    }
    return sectors;
}

void CVcdObj::EndOutput() {
    isoDir.reset();
    isoBitmap.reset();
    dict.Clear();
}

#include "vcd_project.h"

#include "iso_path_rules.h"
#include "string_helpers.h"

#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t kMaxEntriesPerSequence = 99;
constexpr std::uint32_t kSegmentUnitSectors = 150;
constexpr std::int64_t kRawSectorSize = 2336;
constexpr std::int64_t kIsoSectorSize = 2048;
// The LOT has 32767 slots for list ids after the unused first one.
constexpr std::size_t kMaxPbcLists = 32767;

bool Given(const char* text) {
    return text && *text;
}

const char* Shown(const char* text) {
    return text ? text : "(null)";
}

// Copies `text` cut to `max` characters, warning when it had to be cut.
std::string CutText(CVcdLog& log, const char* text, std::size_t max, const char* warning) {
    std::string value = text ? text : "";
    if (value.size() > max) {
        log.Warn("%s", warning);
        value.resize(max);
    }
    return value;
}

// True when the flag changed; `current` then holds the new value.
bool ChangeFlag(bool& current, std::uint32_t value) {
    const bool flag = value != 0;
    if (flag == current) return false;
    current = flag;
    return true;
}

} // namespace

bool VcdTypeHasCap(std::int32_t type, int cap) {
    const bool valid = type >= VCD_TYPE_VCD10 && type <= VCD_TYPE_HQVCD;
    const bool mpeg2 = type == VCD_TYPE_SVCD || type == VCD_TYPE_HQVCD;
    const bool pbc = type == VCD_TYPE_VCD20 || mpeg2;
    switch (cap) {
    case VCD_CAP_VALID:
        return valid;
    case VCD_CAP_MPEG1:
    case VCD_CAP_MARGINS:
        return !mpeg2;
    case VCD_CAP_MPEG2:
    case VCD_CAP_SVCD_FILES:
        return mpeg2;
    case VCD_CAP_PBC:
    case VCD_CAP_PAL_OK:
        return pbc;
    case VCD_CAP_EXT_PBC:
        return type == VCD_TYPE_VCD20;
    default:
        return false;
    }
}

CVcdObj::CVcdObj(CVcdLog& log_, std::int32_t type_) : type(type_), log(log_) {}

CVcdObj::~CVcdObj() {
    customFiles.FreeAll();
    customDirs.FreeAll();
    sequences.FreeAll();
    segments.FreeAll();
    pbcList.FreeAll();
    dict.Clear();
    isoBitmap.reset();
    isoDir.reset();
}

std::unique_ptr<CVcdObj> CVcdObj::Create(CVcdLog& log, std::int32_t type) {
    std::unique_ptr<CVcdObj> obj(new CVcdObj(log, type));
    log.Debug("initializing image builder %s [%s]", kVcdBuilderVersion, kVcdBuilderPlatform);
    if (!obj->HasCap(VCD_CAP_VALID)) {
        log.Error("VCD type not supported");
        return nullptr;
    }
    if (type == VCD_TYPE_VCD10)
        log.Warn("VCD 1.0 support is experimental -- user feedback needed!");
    obj->trackPregap = 150;
    if (obj->HasCap(VCD_CAP_MARGINS)) {
        obj->trackFrontMargin = 30;
        obj->trackRearMargin = 45;
    } else {
        obj->trackFrontMargin = 0;
        obj->trackRearMargin = 0;
    }
    return obj;
}

int CVcdObj::SetParam(int key, const char* text) {
    switch (key) {
    case VCD_PARAM_VOLUME_LABEL:
        volumeLabel = CutText(log, text, 32, "Volume label too long, will be truncated (max=32)");
        log.Info("changed volume label to '%s'", volumeLabel.c_str());
        return 0;
    case VCD_PARAM_PUBLISHER_ID:
        publisherId = CutText(log, text, 128, "Publisher ID too long, will be truncated (max=128)");
        log.Info("changed publisher id to '%s'", publisherId.c_str());
        return 0;
    case VCD_PARAM_ALBUM_ID:
        albumId = CutText(log, text, 16, "Album ID too long, will be truncated (max=16)");
        log.Info("changed album id to '%s'", albumId.c_str());
        return 0;
    case VCD_PARAM_APPLICATION_ID:
        applicationId =
            CutText(log, text, 128, "Application ID too long, will be truncated (max=128)");
        log.Info("changed application id to '%s'", applicationId.c_str());
        return 0;
    default:
        return -1;
    }
}

int CVcdObj::SetParam(int key, std::uint32_t value) {
    switch (key) {
    case VCD_PARAM_VOLUME_COUNT:
    case VCD_PARAM_VOLUME_NUMBER: {
        const bool count = key == VCD_PARAM_VOLUME_COUNT;
        std::uint32_t& field = count ? volumeCount : volumeNumber;
        if (value == field) return 0;
        if (value < 1 || value > 65535) {
            log.Warn(count ? "volume count out of range, clamping to range"
                           : "volume number out of range, clamping to range");
            value = value < 1 ? 1 : 65535;
        }
        field = value;
        if (count)
            log.Info("changed volume count to %u", value);
        else
            log.Info("changed volume number to %u", value);
        return 0;
    }
    case VCD_PARAM_RESTRICTION:
        if (value == restriction) return 0;
        if (value > 3) {
            log.Warn("restriction out of range, clamping to range");
            value = 3;
        }
        restriction = value;
        log.Info("changed restriction number to %u", value);
        return 0;
    case VCD_PARAM_NEXT_VOLUME_LID2:
        if (ChangeFlag(nextVolumeLid2, value))
            log.Info("changing 'next volume use lid 2' to %d", nextVolumeLid2 ? 1 : 0);
        return 0;
    case VCD_PARAM_NEXT_VOLUME_SEQUENCE2:
        if (ChangeFlag(nextVolumeSequence2, value))
            log.Info("changing 'next volume use sequence 2' to %d", nextVolumeSequence2 ? 1 : 0);
        return 0;
    case VCD_PARAM_VCD30_MPEGAV_FOLDER:
    case VCD_PARAM_VCD30_ENTRY_SVD:
    case VCD_PARAM_VCD30_TRACK_SVD: {
        bool& field = key == VCD_PARAM_VCD30_MPEGAV_FOLDER ? vcd30MpegAvFolder
                      : key == VCD_PARAM_VCD30_ENTRY_SVD   ? vcd30EntrySvd
                                                           : vcd30TrackSvd;
        if ((value != 0) == field || type != VCD_TYPE_SVCD) return 0;
        field = value != 0;
        if (!field) return 0;
        if (key == VCD_PARAM_VCD30_MPEGAV_FOLDER)
            log.Warn("!! enabling deprecated VCD3.0 MPEGAV folder -- SVCD will not be IEC62107 "
                     "compliant !!");
        else if (key == VCD_PARAM_VCD30_ENTRY_SVD)
            log.Warn("!! enabling deprecated VCD3.0 ENTRYSVD signature -- SVCD will not be "
                     "IEC62107 compliant !!");
        else
            log.Warn("!! enabling deprecated VCD3.0 TRACK.SVD format -- SVCD will not be IEC62107 "
                     "compliant !!");
        return 0;
    }
    case VCD_PARAM_UPDATE_SCAN_OFFSETS:
        if ((value != 0) == updateScanOffsets || !HasCap(VCD_CAP_SVCD_FILES)) return 0;
        updateScanOffsets = value != 0;
        log.Debug("changing 'update scan offsets' to %d", updateScanOffsets ? 1 : 0);
        return 0;
    case VCD_PARAM_RELAXED_APS:
        if (ChangeFlag(relaxedAps, value))
            log.Info("changing 'relaxed aps' to %d", relaxedAps ? 1 : 0);
        return 0;
    case VCD_PARAM_LEADOUT_PAUSE:
        if (ChangeFlag(leadoutPause, value))
            log.Info("changing 'leadout pause' to %d", leadoutPause ? 1 : 0);
        return 0;
    case VCD_PARAM_TRACK_PREGAP:
        if (value == trackPregap) return 0;
        if (value < 1 || value > 300) {
            log.Warn("pregap out of range, clamping to allowed range");
            value = value < 1 ? 1 : 300;
        }
        if (value < 150)
            log.Warn("track pre gap set below 150 sectors; created (s)vcd may be non-working");
        trackPregap = value;
        log.Info("changed pregap to %u", value);
        return 0;
    case VCD_PARAM_TRACK_FRONT_MARGIN:
    case VCD_PARAM_TRACK_REAR_MARGIN: {
        const bool front = key == VCD_PARAM_TRACK_FRONT_MARGIN;
        std::uint32_t& field = front ? trackFrontMargin : trackRearMargin;
        if (value == field) return 0;
        if (value > 150) {
            log.Warn(front ? "front margin out of range, clamping to allowed range"
                           : "rear margin out of range, clamping to allowed range");
            value = 150;
        }
        if (HasCap(VCD_CAP_MARGINS) && value < 15) {
            if (front)
                log.Warn("front margin set smaller than recommended (%d < 15 sectors) for disc "
                         "type used",
                         static_cast<int>(value));
            else
                log.Warn("rear margin set smaller than recommended (%d < 15 sectors) for disc "
                         "type used",
                         static_cast<int>(value));
        }
        field = value;
        if (front)
            log.Info("changed front margin to %u", value);
        else
            log.Info("changed rear margin to %u", value);
        return 0;
    }
    default:
        return -1;
    }
}

bool CVcdObj::IdTaken(const char* id) const {
    return Given(id) && ItemKind(*this, id) != VCD_ITEM_NONE;
}

CMpegSequence* CVcdObj::FindSequence(const char* id) const {
    if (!Given(id)) return sequences.Last();
    return sequences.Find(
        [&](const CMpegSequence& s) { return !s.id.empty() && StrCaseCompare(s.id, id) == 0; });
}

CMpegSegment* CVcdObj::FindSegment(const char* id) const {
    if (!Given(id)) return segments.Last();
    return segments.Find(
        [&](const CMpegSegment& s) { return !s.id.empty() && StrCaseCompare(s.id, id) == 0; });
}

int CVcdObj::ScanSource(CVcdMpegSource& source, const char* id) {
    const int rc = source.Scan(!relaxedAps, updateScanOffsets, id);
    if (rc < 0) return -2;
    return rc == 0 ? 0 : -1;
}

int CVcdObj::AddSegment(std::unique_ptr<CVcdMpegSource>& source, const char* id) {
    if (!HasCap(VCD_CAP_PBC)) {
        log.Error("segment play items not supported for this vcd type");
        return -1;
    }
    if (!Given(id)) {
        log.Error("no id given for segment play item");
        return -1;
    }
    if (IdTaken(id)) {
        log.Error("item id (%s) exists already", id);
        return -1;
    }
    if (!source) return -1;
    if (const int rc = ScanSource(*source, id); rc != 0) return rc;
    const std::uint32_t packets = source->GetInfo().packets;
    if (packets == 0) {
        log.Error("mpeg is empty?");
        return -1;
    }

    auto segment = std::make_unique<CMpegSegment>();
    segment->source = std::move(source);
    segment->id = id;
    segment->segmentCount = (packets + kSegmentUnitSectors - 1) / kSegmentUnitSectors;
    log.Debug("SPI length is %d sector(s), allocated %d segment(s)", static_cast<int>(packets),
              static_cast<int>(segment->segmentCount));
    segments.Append(std::move(segment));
    log.Info("added segment #%02d...", static_cast<int>(segments.Size() - 1));
    return 0;
}

int CVcdObj::AddSequence(std::unique_ptr<CVcdMpegSource>& source, const char* id,
                         const char* defaultEntryId) {
    if (Given(id) && IdTaken(id)) {
        log.Error("item id (%s) exist already", id);
        return -1;
    }
    if (Given(defaultEntryId)) {
        if (IdTaken(defaultEntryId)) {
            log.Error("default entry id (%s) exist already", defaultEntryId);
            return -1;
        }
        if (id && std::strcmp(id, defaultEntryId) == 0) {
            log.Error("default entry id == item id (%s)", id);
            return -1;
        }
    }
    if (!source) return -1;
    if (const int rc = ScanSource(*source, id); rc != 0) return rc;

    auto sequence = std::make_unique<CMpegSequence>();
    sequence->source = std::move(source);
    sequence->id = id ? id : "";
    sequence->defaultEntryId = defaultEntryId ? defaultEntryId : "";
    const MpegStreamInfo& info = sequence->info();
    sequence->relStart = sequenceSectors + trackPregap;
    sequenceSectors = sequence->relStart + trackFrontMargin + info.packets + trackRearMargin;

    if (info.packets < 75) log.Warn("mpeg stream shorter than 75 sectors");
    const MpegNorm norm = GetNorm(info.video[0]);
    if (!HasCap(VCD_CAP_PAL_OK) && norm != MPEG_NORM_NTSC && norm != MPEG_NORM_FILM)
        log.Warn("VCD 1.x should contain only NTSC/FILM video (may work with PAL nevertheless)");
    if (!HasCap(VCD_CAP_MPEG1) && info.version == MPEG_VERSION_1)
        log.Warn("this VCD type should not contain MPEG1 streams");
    if (!HasCap(VCD_CAP_MPEG2) && info.version == MPEG_VERSION_2)
        log.Warn("this VCD type should not contain MPEG2 streams");
    if (!info.video[0].seen || info.video[1].seen || info.video[2].seen)
        log.Warn("sequence items should contain a motion video stream!");

    sequences.Append(std::move(sequence));
    const int index = static_cast<int>(sequences.Size() - 1);
    log.Info("added sequence #%02d...", index);
    return index;
}

int CVcdObj::AddEntry(const char* sequenceId, double time, const char* entryId) {
    CMpegSequence* sequence = FindSequence(sequenceId);
    if (!sequence) {
        log.Error("sequence id `%s' not found", Shown(sequenceId));
        return -1;
    }
    if (sequence->entries.Size() >= kMaxEntriesPerSequence) {
        log.Error("only %d entries per sequence allowed!",
                  static_cast<int>(kMaxEntriesPerSequence));
        return -1;
    }
    if (Given(entryId) && IdTaken(entryId)) {
        log.Error("item id (%s) exists already", entryId);
        return -1;
    }
    auto entry = std::make_unique<CVcdEntry>();
    entry->time = time;
    entry->id = entryId ? entryId : "";
    sequence->entries.InsertSorted(std::move(entry), [](const CVcdEntry& a, const CVcdEntry& b) {
        return CompareByTime(a.time, b.time);
    });
    return 0;
}

namespace {

int InsertPause(CVcdLog& log, CVcdList<CVcdPause>& pauses, double time, const char* pauseId) {
    if (Given(pauseId)) log.Warn("pause id ignored...");
    auto pause = std::make_unique<CVcdPause>();
    pause->time = time;
    pause->id = pauseId ? pauseId : "";
    pauses.InsertSorted(std::move(pause), [](const CVcdPause& a, const CVcdPause& b) {
        return CompareByTime(a.time, b.time);
    });
    log.Debug("added autopause point at %f", time);
    return 0;
}

} // namespace

int CVcdObj::AddSequencePause(const char* sequenceId, double time, const char* pauseId) {
    CMpegSequence* sequence = FindSequence(sequenceId);
    if (!sequence) {
        log.Error("sequence id '%s' not found", Shown(sequenceId));
        return -1;
    }
    return InsertPause(log, sequence->pauses, time, pauseId);
}

int CVcdObj::AddSegmentPause(const char* segmentId, double time, const char* pauseId) {
    CMpegSegment* segment = FindSegment(segmentId);
    if (!segment) {
        log.Error("segment id '%s' not found", Shown(segmentId));
        return -1;
    }
    return InsertPause(log, segment->pauses, time, pauseId);
}

int CVcdObj::AddPbc(std::unique_ptr<CPbc>& pbc) {
    if (!HasCap(VCD_CAP_PBC)) {
        log.Error("PBC not supported for current VCD type");
        return -1;
    }
    if (!pbc) return -1;
    if (!pbc->id.empty() && IdTaken(pbc->id.c_str())) {
        log.Error("pbc id (%s) exists already", pbc->id.c_str());
        return -1;
    }
    // Every list needs a slot in the LOT.
    if (pbcList.Size() >= kMaxPbcLists) {
        log.Error("too many pbc lists (max=%d)", static_cast<int>(kMaxPbcLists));
        return -1;
    }
    pbcList.Append(std::move(pbc));
    return 0;
}

int CVcdObj::AddDirectory(const char* path) {
    if (!CheckDirPath(log, path)) {
        log.Error("pathname '%s' is not a valid iso pathname", Shown(path));
        return 1;
    }
    customDirs.Insert(path);
    return 0;
}

int CVcdObj::AddFile(const char* path, std::unique_ptr<CVcdStream>& stream, bool raw) {
    if (!stream) return -1;
    const std::int64_t size = stream->GetSize();
    if (size < 0) return -1;
    stream->Close();

    std::int64_t sectors = 0;
    if (raw) {
        if (size == 0) {
            log.Error("raw mode2 file must not be empty\n");
            return 1;
        }
        if (size % kRawSectorSize != 0) {
            log.Error("raw mode2 file must have size multiple of %d \n",
                      static_cast<int>(kRawSectorSize));
            return 1;
        }
        sectors = size / kRawSectorSize;
    } else {
        sectors = (size + kIsoSectorSize - 1) / kIsoSectorSize;
    }
    if (!CheckFilePath(log, path)) {
        log.Error("pathname '%s' is not a valid iso pathname", Shown(path));
        return 1;
    }

    auto file = std::make_unique<CCustomFile>();
    file->path = path;
    file->stream = std::move(stream);
    file->raw = raw;
    file->size = size;
    file->startSector = 0;
    file->sectors = static_cast<std::uint32_t>(sectors);
    customFiles.Append(std::move(file));
    return 0;
}

#include "vcd_info_files.h"

#include "iso9660_text.h"
#include "pbc.h"
#include "sector_encoder.h"
#include "vcd_project.h"

#include <cmath>
#include <cstring>

namespace {

constexpr const char* kModuleName = "InfoFiles";
constexpr double kMaxTrackTime = 6000.0; // 100 minutes, the largest time an MSF can hold
constexpr std::uint32_t kPalFlagBytes = 13;
constexpr std::uint32_t kMaxSequences = 98; // tracks 2..99

struct TypeIds {
    const char* infoId;
    std::uint8_t infoVersion;
    std::uint8_t infoProfile;
    std::uint8_t entriesVersion;
};

// Indexed by VcdType.
constexpr TypeIds kTypeIds[] = {
    {nullptr, 0, 0, 0},    {"VIDEO_CD", 1, 0, 1}, {"VIDEO_CD", 1, 1, 1},
    {"VIDEO_CD", 2, 0, 2}, {"SUPERVCD", 1, 0, 1}, {"HQ-VCD  ", 1, 1, 1},
};

const TypeIds* IdsOf(std::int32_t type) {
    if (type <= VCD_TYPE_INVALID || type > VCD_TYPE_HQVCD) return nullptr;
    return &kTypeIds[type];
}

const MpegStreamInfo& FactsAt(const VcdSequenceFacts& facts, std::size_t i) {
    static const MpegStreamInfo kNothing;
    return i < facts.size() && facts[i] ? *facts[i] : kNothing;
}

std::uint32_t HalfSecondPoints(double seconds) {
    if (!(seconds > 0)) return 0;
    return static_cast<std::uint32_t>(std::ceil(2.0 * seconds));
}

// The absolute sector of pack 0 of a sequence's MPEG data.
std::uint32_t FirstPackSector(const CVcdObj& project, const CMpegSequence& seq) {
    return seq.relStart + project.isoSize + project.trackFrontMargin;
}

// Access points of video stream 0, `timeBase` added to their times. A sequence without access
// points offers its first pack at its start, so every point of it lands there.
void AddCandidates(const CVcdObj& project, const CMpegSequence& seq, const MpegStreamInfo& info,
                   double timeBase, std::vector<ScanCandidate>& out) {
    const std::uint32_t first = FirstPackSector(project, seq);
    const auto& aps = info.video[0].apsList;
    if (aps.empty()) {
        out.push_back({timeBase, first});
        return;
    }
    for (const ApsEntry& e : aps)
        out.push_back({timeBase + e.timestamp, first + e.packetNo});
}

std::uint32_t SegmentUnits(const CVcdObj& project) {
    std::uint32_t units = 0;
    for (const auto& seg : project.segments)
        units += seg->segmentCount;
    return units;
}

std::uint32_t EntryCount(const CVcdObj& project) {
    std::uint32_t count = 0;
    for (const auto& seq : project.sequences)
        count += 1 + static_cast<std::uint32_t>(seq->entries.Size());
    return count;
}

std::uint32_t TracksLimit(const CVcdObj& project) {
    return project.vcd30TrackSvd ? kTracksVcd30MaxSequences : kTracksMaxSequences;
}

bool IsPal(CVcdLog& log, const MpegStreamInfo& info, std::size_t index) {
    const MpegNorm norm = GetNorm(info.video[0]);
    if (norm == MPEG_NORM_PAL || norm == MPEG_NORM_PAL_S) return true;
    const std::uint32_t v = info.video[0].vsize;
    if (v == 288 || v == 576) {
        log.Warn("INFO.{VCD,SVD}: assuming PAL-type resolution for track #%d -- are we creating "
                 "a X(S)VCD?",
                 static_cast<int>(index));
        return true;
    }
    return false;
}

void WriteSegmentContents(const CVcdObj& project, bool pbc, std::uint8_t* buffer) {
    CVcdLog& log = project.log;
    if (!pbc) log.Warn("segment items available, but no PBC items set! SPIs will be unreachable");
    const bool svcd = project.HasCap(VCD_CAP_SVCD_FILES);
    std::uint32_t units = 0;
    bool full = false;
    for (const auto& seg : project.segments) {
        const std::uint8_t content = GetContentByte(log, seg->info(), svcd, svcd);
        if ((content & 0x1F) == 0)
            log.Warn("segment item '%s' seems contains neither video nor audio", seg->id.c_str());
        for (std::uint32_t u = 0; u < seg->segmentCount && !full; ++u) {
            if (units >= kInfoMaxSegmentUnits) {
                log.Error("INFO: %u segment units do not fit in the file (at most %u)",
                          SegmentUnits(project), kInfoMaxSegmentUnits);
                full = true;
                break;
            }
            buffer[56 + units++] = static_cast<std::uint8_t>(content | (u ? 0x20 : 0));
        }
    }
    SectorToMsf(project.isoHeadSize, buffer + 48);
    Set16BE(buffer + 54, static_cast<std::uint16_t>(units));
}

// Running sum of playing times, kept below 100 minutes.
double WrapTrackTime(double seconds) {
    while (seconds >= kMaxTrackTime)
        seconds -= kMaxTrackTime;
    return seconds;
}

void SetTracksVcd30(const VcdSequenceFacts& facts, std::uint32_t n, std::uint8_t* buffer) {
    double total = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const MpegStreamInfo& info = FactsAt(facts, i);
        std::uint8_t* rec = buffer + 11 + 5 * i;
        total = WrapTrackTime(total + info.playingTime);
        TimeToMsf(total, rec);
        for (int k = 0; k < kMpegOgtChannels; ++k)
            if (info.ogt[k]) rec[3] |= static_cast<std::uint8_t>(1u << (2 * k));
        if (info.audio[0].seen) rec[4] |= 0x02;
        if (info.audio[1].seen) rec[4] |= 0x20;
    }
}

} // namespace

VcdSequenceFacts GetSequenceFacts(const CVcdObj& project) {
    VcdSequenceFacts facts;
    for (const auto& seq : project.sequences)
        facts.push_back(seq->source ? &seq->info() : nullptr);
    return facts;
}

int CheckInfoLimits(const CVcdObj& project) {
    CVcdLog& log = project.log;
    int result = 0;
    const auto sequences = static_cast<std::uint32_t>(project.sequences.Size());
    if (sequences > kMaxSequences) {
        log.Error("%u sequence items, but a disc holds at most %u MPEG tracks", sequences,
                  kMaxSequences);
        result = -1;
    }
    if (project.HasCap(VCD_CAP_PBC) && SegmentUnits(project) > kInfoMaxSegmentUnits) {
        log.Error("INFO: %u segment units do not fit in the file (at most %u)",
                  SegmentUnits(project), kInfoMaxSegmentUnits);
        result = -1;
    }
    if (EntryCount(project) > kEntriesMaxCount) {
        log.Error("ENTRIES: %u entries do not fit in the file (at most %u)", EntryCount(project),
                  kEntriesMaxCount);
        result = -1;
    }
    if (project.HasCap(VCD_CAP_SVCD_FILES) && sequences > TracksLimit(project)) {
        log.Error("TRACKS.SVD: %u sequence items do not fit in the file (at most %u)", sequences,
                  TracksLimit(project));
        result = -1;
    }
    return result;
}

void SetInfo(const CVcdObj& project, std::uint8_t* buffer) {
    SetInfo(project, GetSequenceFacts(project), buffer);
}

void SetInfo(const CVcdObj& project, const VcdSequenceFacts& facts, std::uint8_t* buffer) {
    std::memset(buffer, 0, kInfoFileSize);
    const TypeIds* ids = IdsOf(project.type);
    if (!ids) return;
    CVcdLog& log = project.log;
    std::memcpy(buffer, ids->infoId, 8);
    buffer[8] = ids->infoVersion;
    buffer[9] = ids->infoProfile;
    CopyPadded(log, buffer + 10, project.albumId.c_str(), 16, IsoCharCheck::DCharacters);
    Set16BE(buffer + 26, static_cast<std::uint16_t>(project.volumeCount));
    Set16BE(buffer + 28, static_cast<std::uint16_t>(project.volumeNumber));
    if (!project.HasCap(VCD_CAP_PBC)) return;

    for (std::size_t i = 0; i < project.sequences.Size() && i < kPalFlagBytes * 8; ++i)
        if (IsPal(log, FactsAt(facts, i), i))
            buffer[30 + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));

    const bool pbc = IsPbcInUse(project);
    std::uint8_t status = static_cast<std::uint8_t>((project.restriction & 3) << 1);
    if (project.nextVolumeLid2) status |= 0x20;
    if (project.nextVolumeSequence2) status |= 0x40;
    if (pbc && project.HasCap(VCD_CAP_EXT_PBC)) status |= 0x80;
    buffer[43] = status;
    Set32BE(buffer + 44, pbc ? GetPsdSize(project, false) : 0);
    buffer[51] = pbc ? 8 : 0;
    Set16BE(buffer + 52, static_cast<std::uint16_t>(pbc ? PbcItemCount(project) : 0));

    if (!project.segments.Empty()) WriteSegmentContents(project, pbc, buffer);
}

void SetEntries(const CVcdObj& project, std::uint8_t* buffer) {
    std::memset(buffer, 0, kInfoFileSize);
    const TypeIds* ids = IdsOf(project.type);
    if (!ids) return;
    CVcdLog& log = project.log;
    const char* fileId = "ENTRYVCD";
    if (project.type == VCD_TYPE_SVCD && project.vcd30EntrySvd) {
        log.Warn("setting ENTRYSVD signature for *DEPRECATED* VCD 3.0 type SVCD");
        fileId = "ENTRYSVD";
    }
    std::memcpy(buffer, fileId, 8);
    buffer[8] = ids->entriesVersion;

    std::uint32_t count = 0;
    unsigned track = 2;
    auto put = [&](std::uint32_t sector) {
        if (count >= kEntriesMaxCount) return false;
        std::uint8_t* p = buffer + 12 + 4 * count++;
        p[0] = ToBcd(track);
        SectorToMsf(sector, p + 1);
        return true;
    };
    bool full = false;
    for (const auto& seq : project.sequences) {
        full = !put(seq->relStart + project.isoSize);
        for (const auto& entry : seq->entries) {
            if (full) break;
            full = !put(FirstPackSector(project, *seq) + entry->packetNo);
        }
        if (full) {
            log.Error("ENTRIES: %u entries do not fit in the file (at most %u)",
                      EntryCount(project), kEntriesMaxCount);
            break;
        }
        ++track;
    }
    Set16BE(buffer + 10, static_cast<std::uint16_t>(count));
}

void SetTracksSvd(const CVcdObj& project, std::uint8_t* buffer) {
    SetTracksSvd(project, GetSequenceFacts(project), buffer);
}

void SetTracksSvd(const CVcdObj& project, const VcdSequenceFacts& facts, std::uint8_t* buffer) {
    std::memset(buffer, 0, kInfoFileSize);
    CVcdLog& log = project.log;
    auto n = static_cast<std::uint32_t>(project.sequences.Size());
    if (n > TracksLimit(project)) {
        log.Error("TRACKS.SVD: %u sequence items do not fit in the file (at most %u)", n,
                  TracksLimit(project));
        n = TracksLimit(project);
    }
    std::memcpy(buffer, "TRACKSVD", 8);
    buffer[8] = 1;
    buffer[10] = static_cast<std::uint8_t>(n);
    if (project.vcd30TrackSvd) {
        SetTracksVcd30(facts, n, buffer);
        return;
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        const MpegStreamInfo& info = FactsAt(facts, i);
        std::uint8_t* time = buffer + 11 + 3 * i;
        if (info.playingTime >= kMaxTrackTime) {
            log.Warn("SVCD/TRACKS.SVD: playing time value (%d seconds) to great, clipping to 100 "
                     "minutes",
                     static_cast<int>(info.playingTime));
            time[0] = 0x99;
            time[1] = 0x59;
            time[2] = 0x74;
        } else {
            TimeToMsf(info.playingTime, time);
        }
        const int video = GetVideoKind(log, info, true);
        if (video != 3 && video != 7)
            log.Warn("SVCD/TRACKS.SVCD: No MPEG motion video for track #%d?", static_cast<int>(i));
        buffer[11 + 3 * n + i] = static_cast<std::uint8_t>(GetAudioKind(info, true) | (video << 2) |
                                                           (GetSubtitleKind(info, true) << 6));
    }
}

double GetCumulativePlayingTime(const CVcdObj& project, std::uint32_t n) {
    return GetCumulativePlayingTime(project, GetSequenceFacts(project), n);
}

double GetCumulativePlayingTime(const CVcdObj& project, const VcdSequenceFacts& facts,
                                std::uint32_t n) {
    const std::size_t size = project.sequences.Size();
    if (n > size) {
        project.log.Warn("internal error in <%s> at function \"GetCumulativePlayingTime\"",
                         kModuleName);
        n = static_cast<std::uint32_t>(size);
    }
    double total = 0;
    for (std::uint32_t i = 0; i < n; ++i)
        total += FactsAt(facts, i).playingTime;
    return total;
}

std::uint32_t GetScanPointCount(const CVcdObj& project) {
    return GetScanPointCount(project, GetSequenceFacts(project));
}

std::uint32_t GetScanPointCount(const CVcdObj& project, const VcdSequenceFacts& facts) {
    const auto n = static_cast<std::uint32_t>(project.sequences.Size());
    return HalfSecondPoints(GetCumulativePlayingTime(project, facts, n));
}

std::uint32_t GetSearchDatSize(const CVcdObj& project) {
    return GetSearchDatSize(project, GetSequenceFacts(project));
}

std::uint32_t GetSearchDatSize(const CVcdObj& project, const VcdSequenceFacts& facts) {
    return 13 + 3 * GetScanPointCount(project, facts);
}

std::uint32_t GetScandataDatSize(const CVcdObj& project) {
    return GetScandataDatSize(project, GetSequenceFacts(project));
}

std::uint32_t GetScandataDatSize(const CVcdObj& project, const VcdSequenceFacts& facts) {
    const auto n = static_cast<std::uint32_t>(project.sequences.Size());
    std::uint32_t points = 0;
    for (std::uint32_t i = 0; i < n; ++i)
        points += HalfSecondPoints(FactsAt(facts, i).playingTime);
    return 18 + 6 * n + 3 * points;
}

void SetSearchDat(const CVcdObj& project, std::uint8_t* buffer) {
    SetSearchDat(project, GetSequenceFacts(project), buffer);
}

void SetSearchDat(const CVcdObj& project, const VcdSequenceFacts& facts, std::uint8_t* buffer) {
    const std::uint32_t count = GetScanPointCount(project, facts);
    std::memset(buffer, 0, 13 + 3 * static_cast<std::size_t>(count));
    std::memcpy(buffer, "SEARCHSV", 8);
    buffer[8] = 1;
    Set16BE(buffer + 10, static_cast<std::uint16_t>(count));
    buffer[12] = 1;

    std::vector<ScanCandidate> candidates;
    double base = 0;
    std::size_t i = 0;
    for (const auto& seq : project.sequences) {
        const MpegStreamInfo& info = FactsAt(facts, i++);
        AddCandidates(project, *seq, info, base, candidates);
        base += info.playingTime;
    }
    WriteScanPoints(candidates, count, buffer + 13);
}

void SetScandataDat(const CVcdObj& project, std::uint8_t* buffer) {
    SetScandataDat(project, GetSequenceFacts(project), buffer);
}

void SetScandataDat(const CVcdObj& project, const VcdSequenceFacts& facts, std::uint8_t* buffer) {
    const auto n = static_cast<std::uint32_t>(project.sequences.Size());
    std::memset(buffer, 0, GetScandataDatSize(project, facts));
    std::memcpy(buffer, "SCAN_VCD", 8);
    buffer[8] = 1;
    Set16BE(buffer + 10, static_cast<std::uint16_t>(GetScanPointCount(project, facts)));
    Set16BE(buffer + 12, static_cast<std::uint16_t>(n));
    Set16BE(buffer + 14, 0);

    double total = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        total += FactsAt(facts, i).playingTime;
        TimeToMsf(std::fmod(total, kMaxTrackTime), buffer + 16 + 3 * i);
    }
    Set16BE(buffer + 16 + 3 * n, static_cast<std::uint16_t>(3 * n));

    std::uint8_t* table = buffer + 18 + 3 * n;
    std::uint8_t* points = buffer + 18 + 6 * n;
    std::uint32_t written = 0;
    std::uint32_t i = 0;
    for (const auto& seq : project.sequences) {
        const MpegStreamInfo& info = FactsAt(facts, i);
        table[3 * i] = static_cast<std::uint8_t>(i + 2);
        Set16BE(table + 3 * i + 1, static_cast<std::uint16_t>(3 * n + 3 * written));
        std::vector<ScanCandidate> candidates;
        AddCandidates(project, *seq, info, 0, candidates);
        const std::uint32_t count = HalfSecondPoints(info.playingTime);
        WriteScanPoints(candidates, count, points + 3 * written);
        written += count;
        ++i;
    }
}

int GetVideoKind(CVcdLog& log, const MpegStreamInfo& info, bool svcdChecks) {
    auto palSize = [&](int stream) {
        const std::uint32_t v = info.video[stream].vsize;
        return v == 288 || v == 576;
    };
    if (info.video[0].seen) return palSize(0) ? 7 : 3;
    if (info.video[2].seen) {
        if (svcdChecks)
            log.Warn("stream with 0xE2 still stream id not allowed for IEC62107 compliant SVCDs");
        return palSize(2) ? 6 : 2;
    }
    if (info.video[1].seen) return palSize(1) ? 5 : 1;
    return 0;
}

int GetAudioKind(const MpegStreamInfo& info, bool svcdRule) {
    if (!info.audio[0].seen) return 0;
    if (svcdRule) return info.audio[2].seen ? 3 : (info.audio[1].seen ? 2 : 1);
    switch (info.audio[0].mode) {
    case MPEG_AUDIO_STEREO:
    case MPEG_AUDIO_JOINT_STEREO:
        return 2;
    case MPEG_AUDIO_DUAL_CHANNEL:
        return 3;
    case MPEG_AUDIO_SINGLE_CHANNEL:
        return 1;
    default:
        return 0;
    }
}

int GetSubtitleKind(const MpegStreamInfo& info, bool svcdRule) {
    if (!svcdRule) return 0;
    const bool first = info.ogt[0] && info.ogt[1];
    if (first && (info.ogt[2] || info.ogt[3])) return 3;
    if (first) return 2;
    return info.ogt[0] ? 1 : 0;
}

std::uint8_t GetContentByte(CVcdLog& log, const MpegStreamInfo& info, bool svcdRule,
                            bool svcdChecks) {
    return static_cast<std::uint8_t>(GetAudioKind(info, svcdRule) |
                                     (GetVideoKind(log, info, svcdChecks) << 2) |
                                     (GetSubtitleKind(info, svcdRule) << 6));
}

void SectorToMsf(std::uint32_t sector, std::uint8_t out[3]) {
    LbaToMsf(sector + 150, out);
}

void TimeToMsf(double seconds, std::uint8_t out[3]) {
    if (!(seconds > 0)) seconds = 0;
    const double whole = std::floor(seconds);
    LbaToMsf(static_cast<std::uint32_t>(whole) * 75, out);
    int frames = static_cast<int>(std::floor((seconds - whole) * 75));
    if (frames > 74) frames = 74;
    out[2] = ToBcd(static_cast<unsigned>(frames));
}

void WriteScanPoints(const std::vector<ScanCandidate>& candidates, std::uint32_t count,
                     std::uint8_t* out) {
    if (candidates.empty()) return;
    std::size_t cur = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const double t = 0.5 * i;
        while (cur + 1 < candidates.size() &&
               std::fabs(candidates[cur + 1].time - t) < std::fabs(candidates[cur].time - t))
            ++cur;
        SectorToMsf(candidates[cur].sector, out + 3 * i);
    }
}

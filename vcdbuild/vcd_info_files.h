// The VideoCD info files of track 1: INFO, ENTRIES and, for SVCD-like discs, TRACKS.SVD,
// SEARCH.DAT and SCANDATA.DAT. The layout reserves their sectors and calls the renderers once
// every sector of the image is known; messages go to the project's log.
#pragma once

#include "mpeg_types.h"
#include "vcd_log.h"

#include <cstdint>
#include <vector>

class CVcdObj;

inline constexpr std::uint32_t kInfoFileSize = 2048; // INFO, ENTRIES, TRACKS.SVD
inline constexpr std::uint32_t kInfoMaxSegmentUnits = kInfoFileSize - 56;
inline constexpr std::uint32_t kEntriesMaxCount = (kInfoFileSize - 12) / 4;
inline constexpr std::uint32_t kTracksMaxSequences = (kInfoFileSize - 11) / 4;
inline constexpr std::uint32_t kTracksVcd30MaxSequences = (kInfoFileSize - 11) / 5;

// The scanned facts of each sequence item in list order, as the renderers read them. The
// overloads that take them let a caller (a test) stand in exact playing times and access points
// for the facts a scan gave; a missing or null entry reads as a stream with nothing in it.
using VcdSequenceFacts = std::vector<const MpegStreamInfo*>;
VcdSequenceFacts GetSequenceFacts(const CVcdObj& project);

// 0 when every info file of the project fits its sector; otherwise -1 with an error logged
// (the renderers then stop writing at the end of the sector). The layout refuses such projects.
int CheckInfoLimits(const CVcdObj& project);

// Each fills a zeroed buffer of kInfoFileSize bytes.
void SetInfo(const CVcdObj& project, std::uint8_t* buffer);
void SetInfo(const CVcdObj& project, const VcdSequenceFacts& facts, std::uint8_t* buffer);
void SetEntries(const CVcdObj& project, std::uint8_t* buffer);
void SetTracksSvd(const CVcdObj& project, std::uint8_t* buffer);
void SetTracksSvd(const CVcdObj& project, const VcdSequenceFacts& facts, std::uint8_t* buffer);

// Fill GetSearchDatSize / GetScandataDatSize bytes.
void SetSearchDat(const CVcdObj& project, std::uint8_t* buffer);
void SetSearchDat(const CVcdObj& project, const VcdSequenceFacts& facts, std::uint8_t* buffer);
void SetScandataDat(const CVcdObj& project, std::uint8_t* buffer);
void SetScandataDat(const CVcdObj& project, const VcdSequenceFacts& facts, std::uint8_t* buffer);

std::uint32_t GetSearchDatSize(const CVcdObj& project);
std::uint32_t GetSearchDatSize(const CVcdObj& project, const VcdSequenceFacts& facts);
std::uint32_t GetScandataDatSize(const CVcdObj& project);
std::uint32_t GetScandataDatSize(const CVcdObj& project, const VcdSequenceFacts& facts);
// One point per half second of the whole disc's playing time.
std::uint32_t GetScanPointCount(const CVcdObj& project);
std::uint32_t GetScanPointCount(const CVcdObj& project, const VcdSequenceFacts& facts);
// Seconds of the first `n` sequence items.
double GetCumulativePlayingTime(const CVcdObj& project, std::uint32_t n);
double GetCumulativePlayingTime(const CVcdObj& project, const VcdSequenceFacts& facts,
                                std::uint32_t n);

// Kind codes of a stream: video 0-7, audio 0-3, subtitles 0-3.
int GetVideoKind(CVcdLog& log, const MpegStreamInfo& info, bool svcdChecks);
int GetAudioKind(const MpegStreamInfo& info, bool svcdRule);
int GetSubtitleKind(const MpegStreamInfo& info, bool svcdRule);
// Audio kind in bits 0-1, video kind in bits 2-4, subtitle kind in bits 6-7.
std::uint8_t GetContentByte(CVcdLog& log, const MpegStreamInfo& info, bool svcdRule,
                            bool svcdChecks);

// BCD minutes, seconds, frames of an image sector (150 added) and of a time in seconds.
void SectorToMsf(std::uint32_t sector, std::uint8_t out[3]);
void TimeToMsf(double seconds, std::uint8_t out[3]);

// One access point that a scan point may land on.
struct ScanCandidate {
    double time = 0;
    std::uint32_t sector = 0;
};

// For t = 0, 0.5, 1.0, ... (`count` values) the sector of the candidate nearest to t, moving
// only forward through the ordered list; on a tie the earlier candidate stays. Writes 3 bytes
// per point into `out`; without candidates nothing is written.
void WriteScanPoints(const std::vector<ScanCandidate>& candidates, std::uint32_t count,
                     std::uint8_t* out);

// The VideoCD project: disc type, disc-wide parameters, the MPEG items with their entry and
// auto-pause points, playback control and custom files; laid out and written by the image
// layout (vcd_layout.cpp) and read by the renderers of the control files.
#pragma once

#include "mpeg_source.h"
#include "pbc.h"
#include "sector_bitmap.h"
#include "iso9660_tree.h"
#include "vcd_containers.h"
#include "vcd_cue_point.h"
#include "vcd_dict.h"
#include "vcd_image.h"
#include "vcd_log.h"
#include "vcd_stream.h"

#include <cstdint>
#include <memory>
#include <string>

enum VcdType : std::int32_t {
    VCD_TYPE_INVALID = 0,
    VCD_TYPE_VCD10 = 1,
    VCD_TYPE_VCD11 = 2,
    VCD_TYPE_VCD20 = 3,
    VCD_TYPE_SVCD = 4,
    VCD_TYPE_HQVCD = 5,
};

// Capabilities by which every type-dependent rule of the builder is decided.
enum VcdCap : int {
    VCD_CAP_VALID = 0,
    VCD_CAP_MPEG1 = 1,      // MPEG-1 streams belong here
    VCD_CAP_MPEG2 = 2,      // MPEG-2 streams belong here
    VCD_CAP_PBC = 3,        // segment play items and playback control
    VCD_CAP_EXT_PBC = 4,    // the EXT copies of the lists
    VCD_CAP_MARGINS = 5,    // track front and rear margins
    VCD_CAP_SVCD_FILES = 6, // SVCD control files and scan data
    VCD_CAP_PAL_OK = 7,     // PAL video accepted without warning
};

bool VcdTypeHasCap(std::int32_t type, int cap);

enum VcdParam : int {
    VCD_PARAM_VOLUME_LABEL = 1,
    VCD_PARAM_PUBLISHER_ID = 2,
    VCD_PARAM_ALBUM_ID = 3,
    VCD_PARAM_VOLUME_COUNT = 4,
    VCD_PARAM_VOLUME_NUMBER = 5,
    VCD_PARAM_RESTRICTION = 6,
    VCD_PARAM_NEXT_VOLUME_LID2 = 7,
    VCD_PARAM_NEXT_VOLUME_SEQUENCE2 = 8,
    VCD_PARAM_APPLICATION_ID = 9,
    VCD_PARAM_VCD30_MPEGAV_FOLDER = 11,
    VCD_PARAM_VCD30_ENTRY_SVD = 12,
    VCD_PARAM_VCD30_TRACK_SVD = 13,
    VCD_PARAM_UPDATE_SCAN_OFFSETS = 14,
    VCD_PARAM_RELAXED_APS = 15,
    VCD_PARAM_LEADOUT_PAUSE = 16,
    VCD_PARAM_TRACK_PREGAP = 17,
    VCD_PARAM_TRACK_FRONT_MARGIN = 18,
    VCD_PARAM_TRACK_REAR_MARGIN = 19,
};

// Largest image the builder writes, in sectors.
inline constexpr std::int32_t kVcdMaxImageSectors = 449850;

struct CVcdPause {
    double time = 0;
    std::string id; // stored, never used
};

struct CVcdEntry {
    double time = 0; // seconds from the start of the sequence
    std::string id;  // empty when none
    // The access point chosen by the layout.
    std::uint32_t packetNo = 0;
    double apsTime = 0;
};

// Compares by time, so sorted inserts keep equal times in the order they were added.
inline int CompareByTime(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

class CMpegSegment {
  public:
    std::unique_ptr<CVcdMpegSource> source;
    const MpegStreamInfo& info() const { return source->GetInfo(); }
    std::string id;
    CVcdList<CVcdPause> pauses; // sorted by time
    std::uint32_t segmentCount = 0; // 150-sector units
    bool reachable = false;
    std::uint32_t startSector = 0;
};

class CMpegSequence {
  public:
    std::unique_ptr<CVcdMpegSource> source;
    const MpegStreamInfo& info() const { return source->GetInfo(); }
    std::string id;             // may be empty
    CVcdList<CVcdPause> pauses; // sorted by time
    std::string defaultEntryId; // may be empty
    CVcdList<CVcdEntry> entries; // sorted by time
    bool reachable = false;
    // Sector, counted from the end of the ISO track, at which the track begins after its pregap.
    std::uint32_t relStart = 0;
};

class CCustomFile {
  public:
    std::string path; // ISO path
    std::unique_ptr<CVcdStream> stream;
    bool raw = false; // raw Mode 2 file of 2336-byte sectors
    std::int64_t size = 0;
    std::uint32_t startSector = 0;
    std::uint32_t sectors = 0;
};

// The pair of image sinks while the image is written: sinkA takes the cue point list, sinkB the
// sectors (the same object for NRG).
struct VcdSinks {
    CVcdImage* sinkA = nullptr;
    CVcdImage* sinkB = nullptr;
};

class CVcdObj {
  public:
    // The new project, or null for an invalid type (with the error logged).
    static std::unique_ptr<CVcdObj> Create(CVcdLog& log, std::int32_t type);
    ~CVcdObj();
    CVcdObj(const CVcdObj&) = delete;
    CVcdObj& operator=(const CVcdObj&) = delete;

    bool HasCap(int cap) const { return VcdTypeHasCap(type, cap); }

    // 0, or -1 for an unknown key. Text keys take `text`, the others `value`.
    int SetParam(int key, const char* text);
    int SetParam(int key, std::uint32_t value);

    // 0; -1 refused; -2 the scan was cancelled. The project takes the source only on success.
    int AddSegment(std::unique_ptr<CVcdMpegSource>& source, const char* id);
    // Index of the new sequence; -1 refused; -2 cancelled. Takes the source only on success.
    int AddSequence(std::unique_ptr<CVcdMpegSource>& source, const char* id,
                    const char* defaultEntryId);
    // A null item id means the item added last. 0 or -1.
    int AddEntry(const char* sequenceId, double time, const char* entryId);
    int AddSequencePause(const char* sequenceId, double time, const char* pauseId);
    int AddSegmentPause(const char* segmentId, double time, const char* pauseId);
    // 0 or -1; takes the list only on success.
    int AddPbc(std::unique_ptr<CPbc>& pbc);
    // 0 or 1.
    int AddDirectory(const char* path);
    // 0; 1 refused; -1 when the stream's size cannot be had. Takes the stream only on success.
    int AddFile(const char* path, std::unique_ptr<CVcdStream>& stream, bool raw);

    // Whether `id` is already used by a sequence, default entry, entry, segment or list.
    bool IdTaken(const char* id) const;
    CMpegSequence* FindSequence(const char* id) const; // null id: the last one
    CMpegSegment* FindSegment(const char* id) const;   // null id: the last one

    // Layout and writing (vcd_layout.cpp, vcd_writer.cpp).
    std::int32_t GetImageSize();
    int WriteImage(VcdSinks& sinks, const char* imageName);
    void EndOutput();
    int WriteSector(const std::uint8_t* data, std::uint32_t lsn, std::uint8_t fileNumber,
                    std::uint8_t channel, std::uint8_t submode, std::uint8_t coding);
    int WriteRawSector(const std::uint8_t* data2336, std::uint32_t lsn);
    void ReportWrite(bool force);

    std::int32_t type;
    CVcdLog& log;

    bool vcd30MpegAvFolder = false;
    bool vcd30EntrySvd = false;
    bool vcd30TrackSvd = false;
    bool updateScanOffsets = false;
    bool relaxedAps = false;
    bool leadoutPause = false;
    std::uint32_t trackPregap = 150;
    std::uint32_t trackFrontMargin = 0;
    std::uint32_t trackRearMargin = 0;

    VcdSinks* sinks = nullptr;
    std::uint32_t isoSize = 0;

    std::string volumeLabel;
    std::string publisherId;
    std::string applicationId;
    std::string albumId;
    std::uint32_t volumeCount = 1;
    std::uint32_t volumeNumber = 1;
    std::uint32_t restriction = 0;
    bool nextVolumeSequence2 = false;
    bool nextVolumeLid2 = false;

    std::uint32_t isoHeadSize = 0;
    CVcdList<CMpegSegment> segments;
    CVcdList<CMpegSequence> sequences;
    std::uint32_t sequenceSectors = 0;
    CPbcList pbcList;
    std::uint32_t extStart = 0;
    std::uint32_t customStart = 0;
    CVcdList<CCustomFile> customFiles;
    CSortedStrList customDirs;
    CDictList dict;
    std::unique_ptr<CVcdSectorBitmap> isoBitmap;
    std::unique_ptr<CVcdDirectory> isoDir;

    std::uint32_t sectorsWritten = 0;
    std::uint32_t currentTrack = 0;
    std::uint32_t lastProgress = 0;
    std::string imageName;

  private:
    CVcdObj(CVcdLog& log, std::int32_t type);
    int ScanSource(CVcdMpegSource& source, const char* id);
};

// Helpers of the end-to-end tests of the vcdbuild command: a VideoCD XML project writer, runners
// for the command and the independent readers, a parser of cd-info's report, and a small reader
// of the MPEG packs found in an image.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Bytes = std::vector<std::uint8_t>;

// ---- project documents ----

struct EntryXml {
    std::string id;
    double time = 0;
};

struct SequenceXml {
    std::string src, id, defaultEntry;
    std::vector<EntryXml> entries;
    std::vector<double> pauses;
};

struct SegmentXml {
    std::string src, id;
    std::vector<double> pauses;
};

struct FileXml {
    std::string folder; // one folder level below the root; empty for the root
    std::string name;
    std::string src;
    bool mixed = false;
};

struct ProjectXml {
    std::string cls = "vcd", version = "2.0";
    std::vector<std::pair<std::string, std::string>> options;
    std::string albumId = "PELLAM", volumeId = "PELLAM_E2E", applicationId = "PELLAM_TEST",
                publisherId;
    std::vector<FileXml> files;
    std::vector<SegmentXml> segments;
    std::vector<SequenceXml> sequences;
    std::string pbc; // the children of <pbc>; none when empty

    std::string Render() const;
};

std::string XmlEscape(const std::string& text);

// ---- processes ----

struct RunResult {
    int exitCode = -1; // -1 when the process did not exit normally
    int signal = 0;    // the signal that ended it, if any
    std::string out, err;
};

// Runs the vcdbuild command with `args` (no shell) in `cwd`.
RunResult RunVcdbuild(const std::vector<std::string>& args, const std::string& cwd = "");
// Runs vcdbuild with its standard output on a small pipe and sends SIGINT as soon as `marker`
// has appeared on it.
RunResult RunVcdbuildAndInterrupt(const std::vector<std::string>& args, const std::string& marker,
                                  bool* markerSeen);

struct ShellResult {
    int status = -1; // exit status, -1 when not exited normally
    std::string out; // standard output and standard error together
};
ShellResult Shell(const std::string& command);
std::string Quote(const std::string& text); // for a POSIX shell
bool Have(const char* tool);

// ---- files ----

Bytes ReadAll(const std::string& path);
void WriteAll(const std::string& path, const Bytes& data);
// Every path below `dir`, relative to it, sorted.
std::vector<std::string> ListTree(const std::string& dir);

// ---- cd-info's report ----

struct CdTrack {
    int number = 0;
    std::uint32_t lsn = 0;
    std::string type;
};

struct CdFile {
    std::uint32_t lsn = 0;
    std::uint64_t size = 0; // the size recorded in the directory
    bool form2 = false;
    int fileNumber = -1;
    bool operator==(const CdFile& o) const {
        return lsn == o.lsn && size == o.size && form2 == o.form2;
    }
};

struct CdInfo {
    std::vector<CdTrack> tracks;
    std::optional<std::uint32_t> leadout;
    std::uint32_t isoBlocks = 0;
    std::string label, application, preparer, publisher, system, volume;
    std::string xaKind; // what cd-info recognised the XA disc as, e.g. "Video CD"
    std::map<std::string, CdFile> files; // upper-case path without the leading '/'
    std::set<std::string> dirs;          // upper-case folder paths below the root
};
CdInfo ParseCdInfo(const std::string& report);
std::string Describe(const std::map<std::string, CdFile>& files);

// ---- sectors and packs ----

// Bytes 24..2347 (the Form 2 user data) of `count` 2352-byte sectors from `first`.
Bytes Form2Payload(const Bytes& bin, std::uint32_t first, std::uint32_t count);
// `data` padded with zeros to a whole number of 2324-byte packs.
Bytes PadToPacks(const Bytes& data);

struct PackFacts {
    std::optional<double> lastPts;  // seconds, the last PTS of the pack
    std::optional<double> videoPts; // PTS of the video packet holding an I-picture
    bool video[3] = {}, audio[3] = {};
    bool accessPoint = false; // sequence header, GOP header and I-picture on stream 0xE0
    bool sequenceEnd = false;
    std::vector<std::size_t> scanRecords; // offsets of "10 0E" scan information tags
};
// Reads one 2324-byte pack of an MPEG-1 or MPEG-2 program stream.
PackFacts ReadPack(const std::uint8_t* pack, std::size_t size = 2324);
std::vector<PackFacts> ReadPacks(const Bytes& stream);

// Frame counts of every stream by ffprobe ("codec_type,nb_read_frames" lines).
std::string FfprobeFrames(const std::string& path);
// One checksum line per picture decoded by MPlayer.
std::vector<std::string> MplayerFrames(const std::string& source, const std::string& workDir);

} // namespace e2e

// The multiplexer behind libmjpgTools.so: runs the mjpegtools mplex program in DVD format with
// navigation packs and writes the segments the record's pattern names.
#pragma once

#include "engines/mjpgtools/mplex.h"

#include <string>
#include <vector>

namespace engines {

// Status values left in MplexParam::status; 0 is success.
enum : std::int32_t {
    kMplexOk = 0,
    kMplexToolFailed = 1, // mplex could not start or ended with an error
    kMplexNoSegment = 2,  // mplex ended well but wrote no segment
    kMplexBadRecord = 3,  // no input list, no video path, or a pattern without %d
};

// A larger MplexParam::value12 is taken as no limit.
constexpr std::int32_t kMaxSegmentMegabytes = 1 << 20;

// The pattern as mplex reads it: the last "%d" is the segment number, every other '%' stands for
// itself. Empty when the pattern holds no "%d".
std::string MplexOutputPattern(const std::string& pattern);

// The pattern's path of segment number (from 1).
std::string MplexSegmentPath(const std::string& pattern, int segment);

// The mplex command for the record, or empty when the record cannot be multiplexed. value12 is
// the largest segment in megabytes (0 or less: no limit, as the burner passes).
std::vector<std::string> MplexCommand(const MplexParam& param);

// Runs mplex for the record, blocking, and sets param->status. Segments of an earlier run under
// the same pattern are removed first, and a failed run leaves none behind, so that whatever
// carries the pattern afterwards is the whole result of this run.
std::int32_t RunMplex(MplexParam* param);

class SystemMultiplexer : public Multiplexer {
  public:
    void mplex(MplexParam* param) override { RunMplex(param); }
};

} // namespace engines

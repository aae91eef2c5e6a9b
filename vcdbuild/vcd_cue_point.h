// The layout of an image as its sinks see it: where tracks, pregaps and entry points start and
// where the last track ends, in ascending sector order.
#pragma once

#include <cstdint>
#include <vector>

enum VcdCueKind : std::int32_t {
    VCD_CUE_TRACK = 1,  // start of a track (index 1)
    VCD_CUE_PREGAP = 2, // start of the pregap of the following track (index 0)
    VCD_CUE_ENTRY = 3,  // entry point inside a track (a further index)
    VCD_CUE_END = 4,    // end of the last track (lead-out position)
};

struct VcdCuePoint {
    std::int32_t lsn;
    std::int32_t kind;
};

using VcdCueList = std::vector<VcdCuePoint>;

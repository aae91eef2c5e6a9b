// Whether an MPEG file suits a disc as it stands (nothing is ever re-encoded): the facts of the
// file, read with the image builder's scanner, and the first rule it breaks.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace engines {

enum class DiscKind { Vcd, Svcd, Dvd };

struct MpegFacts {
    std::int64_t fileSize = 0; // bytes
    int width = 0;
    int height = 0;
    double frameRate = 0;     // frames per second, 29.97 as 30000/1001
    std::int64_t bitRate = 0; // video bit rate of the sequence header, bit/s
    double seconds = 0;       // playing time
    // The header gave the "variable" rate, so bitRate is the average over the playing time.
    bool bitRateMeasured = false;
};

struct MpegCheckResult {
    bool ok = false;
    MpegFacts facts;    // as much as could be read, also when refused
    std::string reason; // why the file was refused, one sentence for the user; empty when ok
};

// Reads and checks the whole file on the caller's thread. `cancel`, when given, is polled; a
// cancelled check is refused with the reason "Cancelled.".
MpegCheckResult CheckMpegFile(const std::string& path, DiscKind kind,
                              const std::atomic<int>* cancel = nullptr);

} // namespace engines

// What dvd+rw-mediainfo reports about the disc in a drive: the profile ("Mounted Media: 1Bh,
// DVD+R"), the disc status, the recorded size and the write speeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engines {

struct DvdMediaInfo {
    enum class State {
        kMedium,   // a DVD (or BD) is in the drive and was read
        kNoMedium, // ":-( no media mounted, exiting..."
        kNotDvd,   // ":-( non-DVD media mounted, exiting..." (a CD)
        kFailed,   // the tool could not ask the drive; errorText says why
    };
    State state = State::kFailed;
    int profile = -1;                      // MMC profile number
    std::string mediaName;                 // "DVD+R", "DVD-RW Sequential", ...
    std::string mediaId;                   // "CMC MAG/M01"
    std::string discStatus;                // "blank", "appendable", "complete", ...
    std::uint64_t readCapacity = 0;        // recorded sectors of 2048 bytes
    std::vector<std::int32_t> writeSpeeds; // KB/s, as listed
    std::string errorText;

    bool Blank() const { return discStatus == "blank"; }
};

// lines: the tool's output, stdout and stderr merged; exitStatus as the tool returned it.
DvdMediaInfo ParseMediaInfo(const std::vector<std::string>& lines, int exitStatus);

} // namespace engines

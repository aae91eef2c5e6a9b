// Playing times and elapsed times as the burner shows them: "hh:mm:ss.t".
#pragma once

#include <cstdint>
#include <string>

// Tenths are truncated: 3725.46 seconds give "01:02:05.4". Negative or non-finite input gives
// "00:00:00.0".
std::string FormatDuration(double seconds);

// Size of a file in bytes, 0 when it cannot be read.
std::int64_t GetFileSize64(const std::string& path);

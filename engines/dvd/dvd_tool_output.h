// Reading the lines growisofs, genisoimage and dvd+rw-format print while they work: progress
// counters, the closing sequence and the error lines.
#pragma once

#include <cstdint>
#include <string>

namespace engines {

// growisofs: "  3964928/1095487488 ( 0.4%) @0.9x, remaining 22:56 RBU 100.0% UBU   2.9%" (also
// with the blanks collapsed). Bytes done and bytes in all.
bool ParseGrowisofsProgress(const std::string& line, std::uint64_t& done, std::uint64_t& total);

// genisoimage (also under growisofs): " 23.57% done, estimate finish ...". Hundredths of a
// percent, 0 to 10000.
bool ParsePercentDone(const std::string& line, std::uint32_t& hundredths);

// dvd+rw-format: "* blanking 9.4%", rewritten in place with backspaces, so one line may hold
// many states; the last percentage counts. Tenths of a percent, 0 to 1000.
bool ParseFormatProgress(const std::string& line, std::uint32_t& tenths);

// growisofs' closing sequence after the data: "/dev/sr0: flushing cache", "closing track",
// "closing session", "closing disc", "writing lead-out", "updating RMA".
bool IsClosingLine(const std::string& line);

// ":-( ...", ":-[ ...]" and "FATAL: ..." lines.
bool IsErrorLine(const std::string& line);

} // namespace engines

// What the CD engine reads from cdrdao's output: the disk-info report, the write progress and
// the reason of a failure. Lines come without their ends, stdout and stderr merged.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace engines {

enum class CdrdaoFailure {
    None,
    NoDisc,   // "Unit not ready, giving up." after its retries
    NoDevice, // the device node could not be opened or set up
    Other,
};

struct CdrdaoDiskInfo {
    bool haveReport = false; // the "CD-RW : " field was found
    bool rewritable = false;
    bool recordable = false; // a CD-R/RW medium: capacity or emptiness known
    bool empty = false;
    std::string typeName; // "CD-R", "CD-RW" or "CD-ROM" (a pressed or unknown disc)
};

// Reads the field lines of `cdrdao disk-info`.
CdrdaoDiskInfo ParseCdrdaoDiskInfo(const std::vector<std::string>& lines);

// Classifies the failure told by the output of any cdrdao command.
CdrdaoFailure ClassifyCdrdaoFailure(const std::vector<std::string>& lines);

// Percent written from "Wrote N of M MB (Buffers ...)." or nothing for other lines. The short
// "Wrote N of M MB." of the lead-out counts too; the caller stops reading progress once it is
// finalizing.
std::optional<float> ParseCdrdaoWriteProgress(const std::string& line);

// True for the lines that start the end of a write: "Writing lead-out...", "Flushing cache...".
bool IsCdrdaoFinalizeLine(const std::string& line);

// One sentence for the user from the output of a failed command: its "ERROR:" messages joined,
// else its last meaningful line, else the exit status.
std::string CdrdaoErrorText(const std::vector<std::string>& lines, int exitStatus);

} // namespace engines

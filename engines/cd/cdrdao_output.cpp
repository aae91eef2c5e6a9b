#include "engines/cd/cdrdao_output.h"

#include <cstdio>
#include <cstdlib>

namespace engines {

namespace {

std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// The value of a "Key     : value" field line, or nothing when the line is another field.
std::optional<std::string> Field(const std::string& line, const std::string& key) {
    if (!StartsWith(line, key.c_str())) return std::nullopt;
    std::size_t colon = line.find(':', key.size());
    if (colon == std::string::npos) return std::nullopt;
    if (!Trim(line.substr(key.size(), colon - key.size())).empty()) return std::nullopt;
    return Trim(line.substr(colon + 1));
}

} // namespace

CdrdaoDiskInfo ParseCdrdaoDiskInfo(const std::vector<std::string>& lines) {
    CdrdaoDiskInfo info;
    for (const std::string& line : lines) {
        if (auto v = Field(line, "CD-RW")) {
            info.haveReport = true;
            info.rewritable = *v == "yes";
        } else if (auto c = Field(line, "Total Capacity")) {
            if (*c != "n/a" && !c->empty()) info.recordable = true;
        } else if (auto e = Field(line, "CD-R empty")) {
            info.empty = *e == "yes";
        } else if (line == "Inserted disk is empty.") {
            info.empty = true;
        }
    }
    // A pressed disc reports "CD-R empty : no" with no capacity: only emptiness or a capacity
    // make it a recordable medium.
    if (info.empty) info.recordable = true;
    if (info.rewritable) info.recordable = true;
    info.typeName = info.rewritable ? "CD-RW" : info.recordable ? "CD-R" : "CD-ROM";
    return info;
}

CdrdaoFailure ClassifyCdrdaoFailure(const std::vector<std::string>& lines) {
    bool noDevice = false;
    for (const std::string& line : lines) {
        if (line.find("Unit not ready, giving up") != std::string::npos)
            return CdrdaoFailure::NoDisc;
        if (StartsWith(line, "ERROR: Unable to open SCSI device") ||
            StartsWith(line, "ERROR: Cannot setup device"))
            noDevice = true;
    }
    if (noDevice) return CdrdaoFailure::NoDevice;
    for (const std::string& line : lines)
        if (StartsWith(line, "ERROR:")) return CdrdaoFailure::Other;
    return CdrdaoFailure::None;
}

std::optional<float> ParseCdrdaoWriteProgress(const std::string& line) {
    long done = 0, total = 0;
    char unit[3] = {};
    if (std::sscanf(line.c_str(), "Wrote %ld of %ld %2s", &done, &total, unit) != 3) return {};
    if (std::string(unit) != "MB" || total <= 0 || done < 0) return {};
    if (done > total) done = total;
    return static_cast<float>(100.0 * static_cast<double>(done) / static_cast<double>(total));
}

bool IsCdrdaoFinalizeLine(const std::string& line) {
    return StartsWith(line, "Writing lead-out") || StartsWith(line, "Flushing cache");
}

std::string CdrdaoErrorText(const std::vector<std::string>& lines, int exitStatus) {
    std::string errors;
    for (const std::string& line : lines) {
        if (!StartsWith(line, "ERROR:")) continue;
        std::string message = Trim(line.substr(6));
        if (message.empty()) continue;
        // The device hint names every address form; it says nothing about this failure.
        if (StartsWith(message, "Please use option '--device")) continue;
        if (!errors.empty()) errors += ' ';
        errors += message;
    }
    if (!errors.empty()) return errors;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        std::string line = Trim(*it);
        if (line.empty() || StartsWith(line, "Cdrdao version") || ParseCdrdaoWriteProgress(line))
            continue;
        return line;
    }
    char text[64];
    std::snprintf(text, sizeof text, "cdrdao ended with exit status %d.", exitStatus);
    return text;
}

} // namespace engines

#include "engines/mjpgtools/system_mplex.h"

#include "engines/tools/tool_process.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace engines {

namespace {

// Without std::to_string, whose digit table would be the library's one export besides "mplex".
std::string Decimal(long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", value);
    return text;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool NonEmptyFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// The pattern field up to its terminator; empty when it has none within the field.
std::string PatternOf(const MplexParam& param) {
    std::size_t n = ::strnlen(param.pattern, sizeof param.pattern);
    if (n == sizeof param.pattern) return {};
    return std::string(param.pattern, n);
}

void RemoveSegments(const std::string& pattern) {
    for (int s = 1;; ++s) {
        std::string path = MplexSegmentPath(pattern, s);
        if (!Exists(path) || ::unlink(path.c_str()) != 0) break;
    }
}

} // namespace

std::string MplexOutputPattern(const std::string& pattern) {
    std::size_t at = pattern.rfind("%d");
    if (at == std::string::npos) return {};
    // mplex hands the whole name to printf: a '%' of the folder part must not become a format.
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (i == at) {
            out += "%d";
            ++i;
        } else if (pattern[i] == '%') {
            out += "%%";
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string MplexSegmentPath(const std::string& pattern, int segment) {
    std::string path = pattern;
    std::size_t at = path.rfind("%d");
    if (at == std::string::npos) return {};
    path.replace(at, 2, Decimal(segment));
    return path;
}

std::vector<std::string> MplexCommand(const MplexParam& param) {
    if (!param.inputs || !param.inputs[0] || !*param.inputs[0]) return {};
    std::string pattern = MplexOutputPattern(PatternOf(param));
    if (pattern.empty()) return {};
    std::vector<std::string> argv = {"mplex", "-v", "1", "-f", "8"};
    if (param.value12 > 0 && param.value12 <= kMaxSegmentMegabytes) {
        argv.push_back("-S");
        argv.push_back(Decimal(param.value12));
    }
    argv.push_back("-o");
    argv.push_back(pattern);
    // Inputs after "--" so that a path beginning with '-' is never read as an option.
    argv.push_back("--");
    argv.push_back(param.inputs[0]);
    if (param.inputs[1] && *param.inputs[1]) argv.push_back(param.inputs[1]);
    return argv;
}

std::int32_t RunMplex(MplexParam* param) {
    if (!param) return kMplexBadRecord;
    std::vector<std::string> argv = MplexCommand(*param);
    if (argv.empty()) {
        std::fprintf(stderr, "mjpgTools: no video input or no %%d in the segment pattern\n");
        param->status = kMplexBadRecord;
        return param->status;
    }
    std::string pattern = PatternOf(*param);
    RemoveSegments(pattern);

    ToolProcess process;
    int exitStatus = -1;
    if (!process.Start(argv)) {
        std::fprintf(stderr, "mjpgTools: %s\n", process.ErrorText().c_str());
    } else {
        exitStatus = process.Wait([](const std::string& line) {
            if (line.rfind("**ERROR", 0) == 0)
                std::fprintf(stderr, "mjpgTools: %s\n", line.c_str());
        });
    }
    std::int32_t status = kMplexOk;
    if (exitStatus != 0)
        status = kMplexToolFailed;
    else if (!NonEmptyFile(MplexSegmentPath(pattern, 1)))
        status = kMplexNoSegment;
    if (status != kMplexOk) RemoveSegments(pattern);
    param->status = status;
    return status;
}

} // namespace engines

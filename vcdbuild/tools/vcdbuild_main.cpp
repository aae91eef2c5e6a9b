// vcdbuild: builds a VideoCD / SVCD image from a VideoCD XML project on the command line.
// Exit status: 0 image written (or information shown), 1 the build failed, 2 bad usage.
#include "vcd_build.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

int interrupted = 0; // written by the signal handler, read by the build through the log

void OnInterrupt(int) {
    std::atomic_ref<int>(interrupted).store(1, std::memory_order_relaxed);
}

// An option word without its leading '-', '--' or '/', or null when `arg` is no option.
const char* OptionName(const char* arg) {
    if (arg[0] == '-' && arg[1] == '-' && arg[2]) return arg + 2;
    if ((arg[0] == '-' || arg[0] == '/') && arg[1]) return arg + 1;
    return nullptr;
}

bool Is(const char* name, const char* shortName, const char* longName) {
    return std::strcmp(name, shortName) == 0 || strcasecmp(name, longName) == 0;
}

int UsageError(const char* text, const char* arg) {
    std::fprintf(stderr, "vcdbuild: %s%s%s\nTry 'vcdbuild -h' for more information.\n", text,
                 arg ? ": " : "", arg ? arg : "");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    VcdBuildOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* name = OptionName(argv[i]);
        if (!name) return UsageError("unexpected argument", argv[i]);
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (Is(name, "x", "xml")) {
            if (!value(v)) return UsageError("missing path after", argv[i]);
            if (!VcdSetPath(options.xmlPath, v)) return UsageError("path too long", v);
        } else if (Is(name, "i", "image-type")) {
            if (!value(v)) return UsageError("missing type after", argv[i]);
            if (!strcasecmp(v, "cuebin") || !strcasecmp(v, "bincue"))
                options.imageType = VCD_IMAGE_BINCUE;
            else if (!strcasecmp(v, "tocimg") || !strcasecmp(v, "imgtoc"))
                options.imageType = VCD_IMAGE_TOC;
            else if (!strcasecmp(v, "nrg"))
                options.imageType = VCD_IMAGE_NRG;
            else
                return UsageError("unknown image type", v);
        } else if (Is(name, "c", "cue-file")) {
            if (!value(v)) return UsageError("missing path after", argv[i]);
            if (!VcdSetPath(options.cuePath, v)) return UsageError("path too long", v);
        } else if (Is(name, "b", "bin-file")) {
            if (!value(v)) return UsageError("missing path after", argv[i]);
            if (!VcdSetPath(options.binPath, v)) return UsageError("path too long", v);
        } else if (Is(name, "s", "sector-2336")) {
            options.sector2336 = 1;
        } else if (Is(name, "p", "progress")) {
            options.progress = 1;
        } else if (Is(name, "v", "verbose")) {
            // The level is optional: '1' normal, '2' debug, '3' silent.
            options.verbosity = 0;
            if (i + 1 < argc && argv[i + 1][0] >= '1' && argv[i + 1][0] <= '3' && !argv[i + 1][1])
                options.verbosity = argv[++i][0] - '1';
        } else if (Is(name, "g", "gui")) {
            options.guiMode = 1;
        } else if (std::strcmp(name, "V") == 0 || strcasecmp(name, "version") == 0) {
            options.showVersion = 1;
        } else if (Is(name, "?", "help") || std::strcmp(name, "h") == 0) {
            options.showHelp = 1;
        } else if (Is(name, "u", "usage")) {
            options.showUsage = 1;
        } else {
            return UsageError("unknown option", argv[i]);
        }
    }
    if (!options.xmlPath[0] && !options.showVersion && !options.showHelp && !options.showUsage)
        return UsageError("no project given (-x PATH)", nullptr);

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    CVcdXmlBuild build(nullptr, 0, options);
    build.cancelFlag = &interrupted;
    int result = build.Run();
    std::fflush(stdout);
    return result == 0 ? 0 : 1;
}

// vcdscan: scans MPEG program streams as the image builder does and prints what it found.
#include "mpeg_source.h"
#include "mpeg_types.h"
#include "vcd_log.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void PrintFacts(const char* path, const MpegStreamInfo& info) {
    std::printf("%s\n", path);
    if (info.packets == 0) {
        std::printf("  empty: no packs\n");
        return;
    }
    std::printf("  MPEG-%d program stream, %u packs, mux rate %u bit/s\n",
                static_cast<int>(info.version), info.packets, info.muxRate);
    for (int i = 0; i < kMpegVideoStreams; ++i) {
        const MpegVideoInfo& v = info.video[i];
        if (!v.seen) continue;
        std::printf("  video[%d]: %ux%u, %.3f fps, %u bit/s, aspect code ratio %.4f, %s, "
                    "%zu access points\n",
                    i, v.hsize, v.vsize, v.frameRate, v.bitRate, v.aspectRatio,
                    GetNormName(v).c_str(), v.apsList.size());
    }
    for (int i = 0; i < kMpegAudioStreams; ++i) {
        const MpegAudioInfo& a = info.audio[i];
        if (!a.seen) continue;
        std::printf("  audio[%d]: MPEG-1 layer %u, %.1f kHz, %u kbit/s, %s\n", i, a.layer,
                    a.samplingRate / 1000.0, a.bitRate / 1024, GetAudioModeName(a.mode));
    }
    std::string ogt;
    for (int i = 0; i < kMpegOgtChannels; ++i)
        if (info.ogt[i]) ogt += " " + std::to_string(i);
    if (!ogt.empty()) std::printf("  subtitle channels:%s\n", ogt.c_str());
    std::printf("  playing time %.3f s (PTS %.3f to %.3f)\n", info.playingTime, info.minPts,
                info.maxPts);
    std::printf("  SVCD scan information: %u records\n", info.scanData);
}

} // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    int threshold = 3;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--quiet")) {
            quiet = true;
        } else if (!std::strcmp(argv[i], "-v")) {
            threshold = 2;
        } else if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
            std::printf("usage: vcdscan [--quiet] [-v] FILE...\n"
                        "Scans MPEG program streams as the VideoCD image builder does and "
                        "prints their facts.\n");
            return 0;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: vcdscan [--quiet] [-v] FILE...\n");
        return 2;
    }
    std::FILE* devnull = quiet ? std::fopen("/dev/null", "w") : nullptr;
    CVcdLog log(nullptr, 0, threshold, false);
    if (devnull) log.SetConsoleStreams(devnull, devnull);
    int failures = 0;
    for (const char* path : files) {
        CVcdMpegSource source(log, path);
        if (source.Scan(false, false, path) != 0) {
            if (!quiet) std::printf("%s\n  not a usable MPEG program stream\n", path);
            ++failures;
            continue;
        }
        if (!quiet) PrintFacts(path, source.GetInfo());
    }
    if (devnull) std::fclose(devnull);
    return failures ? 1 : 0;
}

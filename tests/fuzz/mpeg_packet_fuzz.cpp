// Runs the MPEG pack parser on arbitrary bytes: with and without PES parsing, on the whole input
// and on the packs that follow it, sharing one context as a scan does.
#include "mpeg_packet_parser.h"
#include "vcd_log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

CVcdLog& QuietLog() {
    static std::FILE* null = std::fopen("/dev/null", "w");
    static CVcdLog log(nullptr, 0, 1, false); // threshold 1: the debug paths run too
    log.SetConsoleStreams(null, null);
    return log;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CVcdLog& log = QuietLog();
    for (bool parsePes : {true, false}) {
        MpegScanContext ctx;
        std::size_t pos = 0;
        for (int pack = 0; pack < 8 && pos < size; ++pack) {
            std::size_t n = size - pos < kMpegPackSize ? size - pos : kMpegPackSize;
            // An exact-size copy, so that any read past `n` is caught.
            std::unique_ptr<std::uint8_t[]> buf(new std::uint8_t[n]);
            std::copy(data + pos, data + pos + n, buf.get());
            std::size_t got = ParsePacket(buf.get(), n, parsePes, ctx, log);
            if (got > n) std::abort();
            if (ctx.packet.HasScanInfo() && static_cast<std::size_t>(ctx.packet.scanInfo) + 14 > n)
                std::abort();
            for (int i = 0; i < ctx.packet.scanInfoCount; ++i)
                if (ctx.packet.scanInfoOffsets[i] < 0 ||
                    static_cast<std::size_t>(ctx.packet.scanInfoOffsets[i]) + 14 > n)
                    std::abort();
            if (ctx.packet.apsIndex < 0 || ctx.packet.apsIndex > 2) std::abort();
            (void)GetPacketType(ctx.packet);
            if (got == 0) break;
            pos += got;
        }
    }
    return 0;
}

// Throughput of the image builder's inner loops, each beside a baseline measured in the same run:
// sector encoding, our EDC beside zlib's crc32, and the MPEG scan beside a plain read of the file.
#include "mpeg_source.h"
#include "sector_encoder.h"
#include "vcd_log.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t n) {
    std::mt19937 rng(1);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) b = static_cast<std::uint8_t>(rng());
    return v;
}

void BM_EncodeForm2(benchmark::State& state) {
    auto payload = RandomBytes(kForm2DataSize);
    std::vector<std::uint8_t> raw(kRawSectorSize);
    std::uint32_t lsn = 0;
    for (auto _ : state) {
        MakeMode2Sector(raw.data(), payload.data(), lsn++, 1, 1, 0x62, 0x0F);
        benchmark::DoNotOptimize(raw.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kRawSectorSize);
}
BENCHMARK(BM_EncodeForm2);

void BM_EncodeForm1(benchmark::State& state) {
    auto payload = RandomBytes(kForm1DataSize);
    std::vector<std::uint8_t> raw(kRawSectorSize);
    std::uint32_t lsn = 0;
    for (auto _ : state) {
        MakeMode2Sector(raw.data(), payload.data(), lsn++, 0, 0, 0x08, 0);
        benchmark::DoNotOptimize(raw.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kRawSectorSize);
}
BENCHMARK(BM_EncodeForm1);

// The EDC covers 2332 bytes of a Form 2 sector; both CRCs run over the same buffer.
void BM_EdcOurs(benchmark::State& state) {
    auto data = RandomBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(EdcUpdate(0, data.data(), data.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_EdcOurs)->Arg(2332)->Arg(65536);

void BM_EdcZlibCrc32(benchmark::State& state) {
    auto data = RandomBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(0L, data.data(), static_cast<uInt>(data.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_EdcZlibCrc32)->Arg(2332)->Arg(65536);

std::string ScanFile() {
    const char* env = std::getenv("PELLAM_BENCH_MPEG");
    return env ? env : PELLAM_FIXTURES "/vcd_ntsc.mpg";
}

void BM_MpegScan(benchmark::State& state) {
    std::FILE* sink = std::fopen("/dev/null", "w");
    CVcdLog log(nullptr, 0, 3, false);
    log.SetConsoleStreams(sink, sink);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        CVcdMpegSource source(log, ScanFile().c_str());
        if (source.Scan(true, false, "bench") != 0) {
            state.SkipWithError("scan failed");
            break;
        }
        bytes += static_cast<std::int64_t>(source.GetInfo().packets) * 2324;
    }
    state.SetBytesProcessed(bytes);
    std::fclose(sink);
}
BENCHMARK(BM_MpegScan)->Unit(benchmark::kMillisecond);

// The floor for the scan: reading the same file from the page cache, through the same kind of
// buffered stream, in the scanner's 2324-byte pieces.
void BM_PlainRead(benchmark::State& state) {
    std::vector<char> piece(2324);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::FILE* f = std::fopen(ScanFile().c_str(), "rb");
        if (!f) {
            state.SkipWithError("cannot open");
            break;
        }
        std::vector<char> buffer(65536);
        std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
        std::size_t n;
        while ((n = std::fread(piece.data(), 1, piece.size(), f)) > 0) {
            benchmark::DoNotOptimize(piece.data());
            bytes += static_cast<std::int64_t>(n);
        }
        std::fclose(f);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

#!/usr/bin/env bash
# Prints the image builder's throughput figures on this machine, each as a ratio against a baseline
# measured in the same run, and the scanner's peak memory on a small and a large input.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v python3 >/dev/null || { echo "python3 is needed to print the figures" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time (package time) is needed" >&2; exit 1; }

if [ ! -f build-bench/build.ninja ]; then
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLAM_TESTS=OFF >/dev/null
fi
cmake --build build-bench -j2 --target vcdbuild_bench vcdscan >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fixture=tests/fixtures/vcd_ntsc.mpg
# A larger input made of the fixture repeated: the packs stay valid program-stream packs.
for _ in $(seq 1 400); do cat "$fixture"; done > "$work/large.mpg"

PELLAM_BENCH_MPEG="$work/large.mpg" build-bench/bench/vcdbuild_bench \
  --benchmark_format=json --benchmark_min_time=1 --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true > "$work/bench.json"

peak_kb() { /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1; }
small_kb=$(peak_kb build-bench/vcdbuild/vcdscan --quiet "$fixture")
large_kb=$(peak_kb build-bench/vcdbuild/vcdscan --quiet "$work/large.mpg")

python3 - "$work/bench.json" "$fixture" "$work/large.mpg" "$small_kb" "$large_kb" <<'PY'
import json, os, sys
data = json.load(open(sys.argv[1]))
rate = {}
for b in data["benchmarks"]:
    if b.get("aggregate_name") == "median":
        rate[b["run_name"]] = b["bytes_per_second"] / 1e6
def show(name, value, unit="MB/s"):
    print(f"{name:<44} {value:10.1f} {unit}")
print(f"machine: {data['context'].get('num_cpus')} cpus, "
      f"{data['context'].get('mhz_per_cpu')} MHz")
show("Form 2 sector encoding", rate["BM_EncodeForm2"])
show("Form 1 sector encoding (EDC + ECC)", rate["BM_EncodeForm1"])
for size in ("2332", "65536"):
    ours, zlib = rate[f"BM_EdcOurs/{size}"], rate[f"BM_EdcZlibCrc32/{size}"]
    show(f"EDC over {size} bytes", ours)
    show(f"zlib crc32 over {size} bytes", zlib)
    print(f"{'  ratio EDC / crc32 (target >= 0.70)':<44} {ours / zlib:10.2f}")
scan, read = rate["BM_MpegScan"], rate["BM_PlainRead"]
size_mb = os.path.getsize(sys.argv[3]) / 1e6
show(f"MPEG scan ({size_mb:.0f} MB, page cache)", scan)
show("plain read of the same file", read)
print(f"{'  ratio scan / read (target >= 0.25)':<44} {scan / read:10.2f}")
small, large = int(sys.argv[4]), int(sys.argv[5])
print(f"{'scanner peak RSS, ' + str(os.path.getsize(sys.argv[2]) // 1000) + ' kB file':<44} "
      f"{small / 1024:10.1f} MiB")
print(f"{'scanner peak RSS, ' + f'{size_mb:.0f}' + ' MB file':<44} {large / 1024:10.1f} MiB")
print(f"{'  ratio large / small (target ~1)':<44} {large / small:10.2f}")
PY

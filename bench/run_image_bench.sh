#!/usr/bin/env bash
# Builds a BIN/CUE image of about 600 MB of VCD-compliant MPEG-1 input with vcdbuild and prints,
# from the same run: the build's wall time beside an I/O floor (reading the inputs once and
# writing a file of the image's size with dd), the build's peak memory for a small and for the
# whole input, and how often the build read its input.
# Usage: bench/run_image_bench.sh [WORK-FOLDER]   (needs about 1.5 GB free there)
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in ffmpeg python3 /usr/bin/time dd; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
if [ ! -f build-bench/build.ninja ]; then
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLAM_TESTS=OFF >/dev/null
fi
cmake --build build-bench -j2 --target vcdbuild_cli >/dev/null
vcdbuild="$PWD/build-bench/vcdbuild/vcdbuild"

work="${1:-$(mktemp -d)}"
mkdir -p "$work"
trap '[ -z "${1:-}" ] && rm -rf "$work"' EXIT

# Ten tracks of one six-minute clip (~63 MB each), so the input is about 630 MB.
clip="$work/clip.mpg"
if [ ! -s "$clip" ]; then
  echo "encoding a six-minute VideoCD clip with ffmpeg..." >&2
  ffmpeg -v error -y -f lavfi -i "testsrc=size=352x240:rate=30000/1001" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100" -t 360 -ac 2 \
    -target ntsc-vcd -g 15 -threads 2 "$clip"
fi
inputs=()
for i in $(seq -w 1 10); do
  [ -e "$work/track$i.mpg" ] || cp "$clip" "$work/track$i.mpg"
  inputs+=("$work/track$i.mpg")
done

write_xml() { # out.xml file...
  local out=$1; shift
  {
    echo '<?xml version="1.0"?>'
    echo '<!DOCTYPE videocd PUBLIC "-//Orvanta//DTD VideoCD//EN" "http://pellam.org/xml/videocd/1.0/videocd.dtd">'
    echo '<videocd xmlns="http://pellam.org/xml/videocd/1.0" class="vcd" version="2.0">'
    echo '<info/><pvd><volume-id>BENCH</volume-id></pvd><sequence-items>'
    for f in "$@"; do echo "<sequence-item src=\"$f\"/>"; done
    echo '</sequence-items></videocd>'
  } > "$out"
}
write_xml "$work/all.xml" "${inputs[@]}"
write_xml "$work/one.xml" "${inputs[0]}"

python3 - "$vcdbuild" "$work" "${inputs[@]}" <<'PY'
import os, subprocess, sys, time
vcdbuild, work, inputs = sys.argv[1], sys.argv[2], sys.argv[3:]
in_bytes = sum(os.path.getsize(f) for f in inputs)

def drop_caches():
    """Starts a measurement with cold caches where the system lets us (root)."""
    try:
        os.sync()
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except OSError:
        return False

def run(cmd, durable):
    """Runs cmd; returns wall seconds (with the image flushed to disk when durable), peak RSS
    in KiB and the bytes the process read."""
    start = time.monotonic()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Wait without reaping, so the exited process's I/O counters can still be read.
    os.waitid(os.P_PID, p.pid, os.WEXITED | os.WNOWAIT)
    rchar = 0
    with open(f"/proc/{p.pid}/io") as io:
        for line in io:
            if line.startswith("rchar:"):
                rchar = int(line.split()[1])
    _, status, usage = os.wait4(p.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{cmd[0]} failed")
    if durable:
        subprocess.run(["sync", cmd[cmd.index("-b") + 1]], check=True)
    return time.monotonic() - start, usage.ru_maxrss, rchar

def floor(image_bytes, durable):
    """Reading the inputs once and writing a file of the image's size with dd."""
    start = time.monotonic()
    for f in inputs:
        with open(f, "rb") as fh:
            while fh.read(1 << 20):
                pass
    dd = ["dd", "if=/dev/zero", f"of={work}/floor.img", "bs=1M", f"count={image_bytes >> 20}"]
    subprocess.run(dd + (["conv=fsync"] if durable else []), check=True,
                   stderr=subprocess.DEVNULL)
    return time.monotonic() - start

def remove(*names):
    for n in names:
        try: os.remove(f"{work}/{n}")
        except FileNotFoundError: pass

build = lambda xml, out: [vcdbuild, "-x", f"{work}/{xml}", "-c", f"{work}/{out}.cue",
                          "-b", f"{work}/{out}.bin"]
run(build("one.xml", "one"), False)
_, rss_small, _ = run(build("one.xml", "one"), False)
remove("one.bin")

rows = {}
for durable in (False, True):
    results = []
    for _ in range(3):
        remove("all.bin", "floor.img")
        cold = drop_caches() if durable else False
        wall, rss, rchar = run(build("all.xml", "all"), durable)
        image_bytes = os.path.getsize(f"{work}/all.bin")
        remove("floor.img")
        if durable: drop_caches()
        results.append((wall, floor(image_bytes, durable), rss, rchar))
    rows[durable] = (sorted(results)[1], cold)    # the median run
remove("all.bin", "floor.img")

(wall, floor_s, rss, rchar), _ = rows[False]
print(f"input: {len(inputs)} files, {in_bytes / 1e6:.0f} MB; image {image_bytes / 1e6:.0f} MB")
print("inputs in the page cache, image left in the page cache:")
print(f"  {'build wall time':<42} {wall:8.2f} s")
print(f"  {'I/O floor (read inputs + dd image)':<42} {floor_s:8.2f} s")
print(f"  {'ratio build / floor (target <= 1.3)':<42} {wall / floor_s:8.2f}")
(dwall, dfloor, _, _), cold = rows[True]
print(("inputs read cold" if cold else "inputs in the page cache") +
      ", image written to disk (sync / dd conv=fsync):")
print(f"  {'build wall time':<42} {dwall:8.2f} s")
print(f"  {'I/O floor (read inputs + dd image)':<42} {dfloor:8.2f} s")
print(f"  {'ratio build / floor (target <= 1.3)':<42} {dwall / dfloor:8.2f}")
print(f"{'peak RSS, one input file':<44} {rss_small / 1024:8.1f} MiB")
print(f"{'peak RSS, all input files':<44} {rss / 1024:8.1f} MiB  (target <= 64)")
print(f"{'  ratio all / one (target ~1)':<44} {rss / rss_small:8.2f}")
print(f"{'bytes read / input size (target <= 2)':<44} {rchar / in_bytes:8.2f}")
PY

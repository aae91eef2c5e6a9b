#!/usr/bin/env bash
# How long the Start Burning window stops answering while a VideoCD image is built: a 10 ms
# timer on the window's thread records its longest lateness during the build of four copies of
# a 60-second VideoCD clip (made here with ffmpeg), with the scripted CD engine.
# Usage: bench/run_ui_stall_bench.sh [BUILD-DIR]   (default build-uistall, a Release build with tests)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-uistall}"
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 1; }
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLAM_TESTS=ON >/dev/null
fi
cmake --build "$build" -j2 --target burner_qt_start_burning_dlg_test >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
clip="$work/clip.mpg"
ffmpeg -v error -y -f lavfi -i "testsrc=size=352x288:rate=25" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100" -t 60 -ac 2 \
  -target pal-vcd -threads 2 "$clip"
PELLAM_UI_STALL_CLIP="$clip" QT_QPA_PLATFORM=offscreen TMPDIR="$work" \
  "$build/tests/burner_qt_start_burning_dlg_test" --gtest_filter='*UiStallDuringALargeBuild*' |
  grep -E '^UI stall|FAILED|SKIPPED' || true

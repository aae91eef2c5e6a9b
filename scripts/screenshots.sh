#!/bin/bash
# Pictures of the burner's windows in each disc mode, taken under a virtual X server:
#   scripts/screenshots.sh OUTPUT_DIR [BUILD_DIR]
# Vandrel's --screenshot mode drops a valid and a refused fixture on the list, then saves
# <mode>_102.png (main window), _menu, _144 (scanning), _153 (loading), _156 (invalid file)
# and _100 (About).
set -euo pipefail
out=${1:?usage: $0 OUTPUT_DIR [BUILD_DIR]}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build}
vandrel=$build/bin/Vandrel
fixtures=$root/tests/fixtures
[ -x "$vandrel" ] || { echo "no $vandrel: build the Vandrel target first" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)

shoot() { # mode letter, files...
    local mode=$1
    shift
    xvfb-run -a -s "-screen 0 1280x1024x24" "$vandrel" "#$mode" --screenshot "$out" "$@"
}
shoot V "$fixtures/vcd_pal.mpg" "$fixtures/svcd_pal.mpg"
shoot S "$fixtures/svcd_ntsc.mpg" "$fixtures/not_mpeg.bin"
shoot D "$fixtures/dvd_pal_mpa.mpg" "$fixtures/dvd_ntsc_ac3.mpg" "$fixtures/zeros.mpg"
ls "$out"/*.png

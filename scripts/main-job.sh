#!/usr/bin/env bash
# The main job: burns a folder of ready MPEG files as one disc, one track (VCD, SVCD) or one
# chapter (DVD) per file in name order. Without a writer the Image Recorder records the disc into
# ~/Pellam/discs/. Without a folder it makes a VideoCD and a DVD of the sample files.
# Usage: scripts/main-job.sh [FOLDER [vcd|svcd|dvd]]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
burn="$here/build/bin/pellam-burn"

folder="${1:-}"
mode="${2:-vcd}"
if [ -n "$folder" ]; then
  files=()
  while IFS= read -r -d '' f; do files+=("$(realpath "$f")"); done \
    < <(find "$folder" -maxdepth 1 -type f \( -iname '*.mpg' -o -iname '*.mpeg' \) -print0 | sort -z)
  [ ${#files[@]} -gt 0 ] || { echo "no MPEG files (*.mpg, *.mpeg) in $folder" >&2; exit 1; }
  "$burn" --mode "$mode" --label "$(basename "$(realpath "$folder")")" "${files[@]}"
else
  fx="$here/tests/fixtures"
  echo "== VideoCD of two sample clips"
  "$burn" --mode vcd --label "Pellam VCD" "$fx/vcd_ntsc.mpg" "$fx/vcd_film.mpg"
  echo "== DVD-Video of two sample clips"
  "$burn" --mode dvd --pal --label "Pellam DVD" "$fx/dvd_pal_mpa.mpg" "$fx/dvd_pal_mpa.mpg"
fi
echo
echo "Recorded discs (when no writer was used):"
ls -l "$HOME/Pellam/discs/" 2>/dev/null || true

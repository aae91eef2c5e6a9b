#!/usr/bin/env bash
# The main job: builds a VideoCD 2.0 image (BIN/CUE) from a folder of ready MPEG-1 files, one
# track per file in name order. Without a folder it uses the sample files of tests/fixtures.
# Usage: scripts/main-job.sh [FOLDER [OUTPUT-FOLDER]]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"

folder="${1:-}"
out="${2:-$HOME/Pellam/demo}"
mkdir -p "$out"
files=()
if [ -n "$folder" ]; then
  while IFS= read -r -d '' f; do files+=("$(realpath "$f")"); done \
    < <(find "$folder" -maxdepth 1 -type f \( -iname '*.mpg' -o -iname '*.mpeg' \) -print0 | sort -z)
else
  files=("$here/tests/fixtures/vcd_ntsc.mpg" "$here/tests/fixtures/vcd_film.mpg")
fi
[ ${#files[@]} -gt 0 ] || { echo "no MPEG files (*.mpg, *.mpeg) in $folder" >&2; exit 1; }

# XML-escape a text for an attribute value.
esc() { printf '%s' "$1" | sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' -e "s/'/\&apos;/g"; }

xml="$out/videocd.xml"
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<!DOCTYPE videocd PUBLIC "-//Orvanta//DTD VideoCD//EN" "http://pellam.org/xml/videocd/1.0/videocd.dtd">'
  echo '<videocd xmlns="http://pellam.org/xml/videocd/1.0" class="vcd" version="2.0">'
  echo '  <info><album-id>PELLAM</album-id><volume-count>1</volume-count><volume-number>1</volume-number></info>'
  echo '  <pvd><volume-id>PELLAM_DEMO</volume-id><application-id>PELLAM</application-id></pvd>'
  echo '  <sequence-items>'
  n=0
  for f in "${files[@]}"; do
    printf '    <sequence-item src="%s" id="sequence-%02d"><default-entry id="entry-%03d"/></sequence-item>\n' \
      "$(esc "$f")" "$n" "$n"
    n=$((n + 1))
  done
  echo '  </sequence-items>'
  echo '</videocd>'
} > "$xml"

"$here/build/vcdbuild/vcdbuild" -x "$xml" -c "$out/videocd.cue" -b "$out/videocd.bin" -p
echo
echo "VideoCD 2.0 image of ${#files[@]} track(s):"
echo "  $out/videocd.cue"
echo "  $out/videocd.bin"

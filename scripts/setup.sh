#!/usr/bin/env bash
# Installs what Pellam needs on Debian 12 (only what is missing) and builds it into build/.
# Usage: scripts/setup.sh [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build ccache pkg-config
  libxml2-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
  clang libclang-rt-14-dev
  ffmpeg mplayer cdrdao genisoimage libcdio-utils bchunk libxml2-utils python3 time
  mjpegtools dvdauthor dvd+rw-tools lsdvd udftools qt6-svg-dev xvfb xauth
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLAM_WERROR=ON "$@"
fi
cmake --build build -j2

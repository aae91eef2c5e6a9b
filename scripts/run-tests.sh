#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exit status is non-zero when any fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure -j2 --timeout 300

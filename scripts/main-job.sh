#!/usr/bin/env bash
# Demonstration until the image builder is complete: scans the sample MPEG files and prints
# their facts.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build/vcdbuild/vcdscan tests/fixtures/*.mpg

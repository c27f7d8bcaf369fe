#!/usr/bin/env bash
# Builds Quillet (installing what is missing) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
unset DISPLAY WAYLAND_DISPLAY
ctest --test-dir build --output-on-failure -j2 --timeout 600

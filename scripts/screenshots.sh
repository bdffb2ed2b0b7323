#!/usr/bin/env bash
# Builds the screenshot helper (in build/ unless BUILD_DIR is set), runs it
# under a virtual X server and leaves PNG files in OUTDIR (default
# screenshots/): the main window after a packing job with "Show Bitmap"
# checked, the options dialog, the key dialog (ASCII masked and hex) and the
# disclaimer.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${1:-screenshots}
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target pixeltuck_screenshots -j"${JOBS:-2}"
mkdir -p "$out"
out=$(cd "$out" && pwd)
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/gui/pixeltuck_screenshots" "$out"
ls -l "$out"/*.png

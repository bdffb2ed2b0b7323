#!/usr/bin/env bash
# Builds the screenshot helper (in build/ unless BUILD_DIR is set), runs it
# under a virtual X server with a window manager (openbox, installed here
# when missing and allowed) and leaves PNG files in OUTDIR (default
# screenshots/), once with the installed fonts (OUTDIR/liberation) and once
# with DejaVu alone (OUTDIR/dejavu): the main window after a packing job with
# "Show Bitmap" checked, the options dialog, the key dialog (ASCII masked,
# hex, a refused key), the disclaimer, the about box and message boxes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${1:-screenshots}
if ! command -v openbox >/dev/null && [[ $(id -u) -eq 0 ]]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends openbox >/dev/null ||
    echo "openbox not installed: screenshots without window frames" >&2
fi
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target pixeltuck_screenshots -j"${JOBS:-2}"
tool=$PWD/$build/tests/gui/pixeltuck_screenshots
dejavu=$PWD/tests/gui/fonts-dejavu-only.conf
mkdir -p "$out"
out=$(cd "$out" && pwd)
run() {  # OUTDIR [FONTCONFIG_FILE]
  mkdir -p "$1"
  env QT_QPA_PLATFORM=xcb ${2:+FONTCONFIG_FILE=$2} xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash -c 'if command -v openbox >/dev/null; then openbox & sleep 1; fi; "$0" "$1"' "$tool" "$1"
}
run "$out/liberation"
run "$out/dejavu" "$dejavu"
ls -l "$out"/*/*.png

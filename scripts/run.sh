#!/usr/bin/env bash
# Installs what is missing, builds pixelTuck (Release: the window program and
# the console program) and starts the window, on FILE when one is given
# (switches such as -T or -K:... may come first).
set -euo pipefail
here="$PWD"
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target pixeltuck pixeltuck-cli
args=()
for a in "$@"; do
  # File names are relative to where the script was started.
  if [[ "$a" != -* && "$a" != /* ]]; then a="$here/$a"; fi
  args+=("$a")
done
# Without a display the toolkit would abort; say so and name the ways on.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<MSG
pixelTuck: no display found (DISPLAY and WAYLAND_DISPLAY are not set), so the
window cannot open. Two ways on:
  xvfb-run scripts/run.sh [FILE]               the window on a virtual display
  build/app/cli/pixeltuck-cli [switches] FILE  the console program (--help)
MSG
  exit 1
fi
exec build/app/gui/pixeltuck "${args[@]}"

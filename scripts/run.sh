#!/usr/bin/env bash
# Installs what is missing, builds pixelTuck (Release) and starts the window,
# on FILE when one is given (switches such as -T or -K:... may come first).
set -euo pipefail
here="$PWD"
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target pixeltuck
args=()
for a in "$@"; do
  # File names are relative to where the script was started.
  if [[ "$a" != -* && "$a" != /* ]]; then a="$here/$a"; fi
  args+=("$a")
done
exec build/app/gui/pixeltuck "${args[@]}"

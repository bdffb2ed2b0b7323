#!/usr/bin/env bash
# Installs what is missing, builds pixelTuck (Release) and starts the window,
# on FILE when one is given.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target pixeltuck
exec build/app/gui/pixeltuck "$@"

#!/usr/bin/env bash
# Renders the committed PNG sizes of the program icon from pixeltuck.svg
# (needs rsvg-convert from librsvg2-bin; only run after changing the SVG).
set -euo pipefail
cd "$(dirname "$0")"
for n in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$n" -h "$n" pixeltuck.svg -o "pixeltuck-$n.png"
done

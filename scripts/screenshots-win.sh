#!/usr/bin/env bash
# Pictures of the Windows window program: builds pixeltuck.exe and the
# end-to-end driver in build-win (as scripts/windows-test.sh does), runs them
# under wine64 on a virtual X server and leaves one PNG per window in OUTDIR
# (default build-win/screenshots): the disclaimer, the key dialog in ASCII
# and in hex mode, the main window after a packing job with "Show Bitmap"
# checked, the options dialog, the about box, the replace question and the
# box of OK and Abort. The driver opens each window and names its place on
# the screen (NAME.rect); this script takes the picture (ImageMagick's
# import, else xwd and convert) and hands it back as NAME.png.
#
# Packages: scripts/install-deps.sh --windows. Usage: screenshots-win.sh [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${1:-build-win/screenshots}
shots=(disclaimer key-ascii key-hex main options about replace ok-abort)

scripts/install-deps.sh --windows

source scripts/wine-session.sh
wine_env screenshots-win.sh "$root/build-win/wine"

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DPT_WERROR=ON -DPT_BUILD_GUI=ON -DPT_BUILD_BENCH=OFF >/dev/null
cmake --build build-win --target pixeltuck e2e_driver -j"${JOBS:-2}"

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/*.png "$out"/*.rect

wine_display 1280x1024x24
# Debian's wine looks for its own fonts outside the folder fonts-wine fills, so
# title-bar buttons would show Marlett's letters ("0 1 r"): the font goes into
# the wine folder's Fonts, which wine reads when its server starts.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp -u /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
wine_server
# No window manager runs: wine's windows are left unmanaged and wine draws
# their title bars and frames itself, so the pictures show them and a
# window's rectangle is exactly what it paints.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

winpath() { local p=${1//\//\\}; echo "Z:$p"; }
"$wine" build-win/tests/win/e2e_driver.exe \
  --program "$(winpath "$root/build-win/app/win/pixeltuck.exe")" \
  --work "$(winpath "$root/build-win/screenshots-work")" --screenshots "$(winpath "$out")" \
  >"$out/driver.log" 2>&1 &
driver=$!

# capture X Y W H FILE: that part of the screen as a PNG.
capture() {
  if command -v import >/dev/null; then
    import -window root -crop "$3x$4+$1+$2" +repage "$5"
  else
    xwd -root -silent | convert xwd:- -crop "$3x$4+$1+$2" +repage "$5"
  fi
}

for name in "${shots[@]}"; do
  waited=0
  until [ -s "$out/$name.rect" ]; do
    kill -0 "$driver" 2>/dev/null || { cat "$out/driver.log" >&2; exit 1; }
    sleep 0.2
    waited=$((waited + 1))
    ((waited < 600)) || { echo "screenshots-win.sh: no $name within 120 s" >&2; exit 1; }
  done
  read -r x y w h <"$out/$name.rect"
  capture "$x" "$y" "$w" "$h" "$out/$name.part.png"
  mv "$out/$name.part.png" "$out/$name.png"
  rm -f "$out/$name.rect"
done
wait "$driver" || { cat "$out/driver.log" >&2; exit 1; }
ls -l "$out"/*.png

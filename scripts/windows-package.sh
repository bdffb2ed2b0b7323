#!/usr/bin/env bash
# The Windows release: cross-builds pixeltuck.exe and pixeltuck-cli.exe
# (Release, mingw-w64, in build-winpkg) and makes in OUTDIR (default
# build-winpkg/out):
#   pixeltuck-<version>-win64-setup.exe  the installer (NSIS,
#       packaging/windows/pixeltuck.nsi): both programs under Program Files,
#       a Start menu entry, an uninstaller listed in Add/Remove Programs
#   pixeltuck-<version>-win64.zip        the portable copy: both programs,
#       README.txt and LICENSE.txt in one folder
# The version is project()'s in CMakeLists.txt.
#
# With --install-check it then tries both under wine64, in a fresh wine
# folder of its own, on a virtual display (Xvfb): the setup is installed
# silently, the installed window program packs a file from its command line
# (the settings' "Exit after Conversion" closes it) and keeps its settings
# under %APPDATA%, the installed console program unpacks it, the silent
# uninstall must leave nothing (program folder, Start menu entry, uninstall
# key, settings file and folder); then the zip is unpacked and the same job
# runs from it, its settings kept beside the program. About half a minute
# with the build done, most of it wine making its fresh folder; about three
# minutes from a clean tree on two cores.
#
# Packages: scripts/install-deps.sh --windows.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

install_check=0
outdir=""
for arg in "$@"; do
  case "$arg" in
    --install-check) install_check=1 ;;
    -*) echo "windows-package.sh: unknown option $arg (usage: [--install-check] [OUTDIR])" >&2; exit 2 ;;
    *) outdir=$arg ;;
  esac
done
build="$root/build-winpkg"
outdir=$(realpath -m "${outdir:-$build/out}")

scripts/install-deps.sh --windows
jobs=$(nproc 2>/dev/null || echo 2)
version=$(sed -n 's/^project(pixelTuck VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "windows-package.sh: no version in CMakeLists.txt" >&2; exit 1; }
name="pixeltuck-$version-win64"

echo "== Windows release build ($build)"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# The installer's folder is where the programs live, not a folder of their
# own: an installed copy keeps its settings under %APPDATA% even when it may
# write beside itself (run elevated, or under wine).
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DPT_WERROR=ON -DPT_BUILD_GUI=ON -DPT_BUILD_TESTS=OFF -DPT_BUILD_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX="C:/Program Files/pixelTuck" \
  -DCMAKE_INSTALL_BINDIR=. "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs" --target pixeltuck pixeltuck-cli

echo "== $name-setup.exe and $name.zip in $outdir"
stage="$build/stage/$name"
rm -rf "$build/stage"
mkdir -p "$stage" "$outdir"
for exe in app/win/pixeltuck.exe app/cli/pixeltuck-cli.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$build/$exe"
done
# Text files with Windows line ends, for Notepad and friends.
sed 's/$/\r/' README.md >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"

rm -f "$outdir/$name.zip" "$outdir/$name-setup.exe"
(cd "$build/stage" && zip -q -X -r "$outdir/$name.zip" "$name")
# The icon the build packs for pixeltuck.exe.
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$build/app/win/pixeltuck.ico" \
  -DOUTFILE="$outdir/$name-setup.exe" packaging/windows/pixeltuck.nsi
ls -l "$outdir/$name-setup.exe" "$outdir/$name.zip"

[ "$install_check" -eq 1 ] || exit 0

# ------------------------------------------------------------------ the check

echo "== Install check under wine64"
work="$build/check"
fail() { echo "windows-package.sh: $*" >&2; exit 1; }
source scripts/wine-session.sh
# A fresh wine folder, and no menu entries made on this machine.
wine_env windows-package.sh "$work/wine" "winemenubuilder.exe=d"
rm -rf "$work"
mkdir -p "$work/files" "$work/portable"
wine_display 1280x800x24
wine_server
"$wine" wineboot -i >/dev/null 2>&1 || true

# win <command...>: a Windows program, in the folder of the data files.
win() { (cd "$work/files" && "$wine" "$@"); }
# The Linux path of a folder Windows names by an environment variable.
unix_path() { "$wine" winepath -u "$(win cmd /c echo "%$1%" | tr -d '\r')" 2>/dev/null; }

c_drive="$WINEPREFIX/drive_c"
instdir="$c_drive/Program Files/pixelTuck"
appdata=$(unix_path APPDATA)
startmenu=$(unix_path ProgramData)/Microsoft/Windows/"Start Menu"/Programs
shortcut="$startmenu/pixelTuck.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\pixelTuck'
# Whether the list of uninstall keys holds ours; that list is read for sure,
# so that a wine failing to start does not pass for a missing key.
uninstall_listed() {
  local keys
  keys=$(win reg query "${key%\\*}" 2>/dev/null | tr -d '\r') || fail "reg query ${key%\\*} failed"
  grep -qiE '\\pixelTuck$' <<<"$keys"
}
[ -d "$appdata" ] && [ -d "$startmenu" ] || fail "wine has no APPDATA or Start menu folder"
hex=00112233445566778899AABBCCDDEEFF0011223344556677
head -c 200000 /dev/urandom >"$work/data.orig"

# A job as a user would run it: the window program packs data.bin with
# Twofish and the key from its command line and closes itself ("Exit after
# Conversion" in the preset, disclaimer accepted, carrier naming 0), then
# the console program of the same copy unpacks the carrier. $1: the folder
# of the programs, as Windows names it.
pack_and_unpack() {
  local dir=$1
  cp "$work/data.orig" "$work/files/data.bin"
  rm -f "$work/files/data.bmp"
  local status=0
  (cd "$work/files" && timeout 120 "$wine" "$dir\\pixeltuck.exe" -T "-K:$hex" data.bin) \
    >/dev/null 2>&1 || status=$?
  [ "$status" -ne 124 ] || fail "$dir\\pixeltuck.exe did not close itself after the job"
  [ "$status" -eq 0 ] || fail "$dir\\pixeltuck.exe ended with status $status"
  [ -s "$work/files/data.bmp" ] || fail "$dir\\pixeltuck.exe did not pack data.bin"
  rm "$work/files/data.bin"
  win "$dir\\pixeltuck-cli.exe" -q "-K:$hex" data.bmp || fail "$dir\\pixeltuck-cli.exe did not unpack"
  cmp -s "$work/data.orig" "$work/files/data.bin" || fail "data.bin did not come back whole"
}
preset='0 0 -1 0 1 0 1 0 1 zip 0'
saved='0 0 -1 0 1 0 1 0 1 zip 1'  # closing the window writes them back so

echo "-- silent install ($((SECONDS - started)) s)"
win "$outdir/$name-setup.exe" /S || fail "the setup failed"
for f in pixeltuck.exe pixeltuck-cli.exe README.txt LICENSE.txt uninstall.exe; do
  [ -f "$instdir/$f" ] || fail "not installed: $f"
done
[ -f "$shortcut" ] || fail "no Start menu entry"
uninstall_listed || fail "no uninstall key"
win reg query "$key" /v UninstallString >/dev/null 2>&1 || fail "no UninstallString in $key"
win "C:\\Program Files\\pixelTuck\\pixeltuck-cli.exe" --version | tr -d '\r' |
  grep -qx "pixeltuck-cli (pixelTuck) $version" || fail "installed pixeltuck-cli.exe --version"

echo "-- a job with the installed programs ($((SECONDS - started)) s)"
mkdir -p "$appdata/pixeltuck"
printf '%s' "$preset" >"$appdata/pixeltuck/pixeltuck.cfg"
pack_and_unpack "C:\\Program Files\\pixelTuck"
[ "$(cat "$appdata/pixeltuck/pixeltuck.cfg")" = "$saved" ] ||
  fail "the installed window program did not save its settings under %APPDATA%"
[ ! -e "$instdir/pixeltuck.cfg" ] || fail "the installed window program wrote beside itself"

echo "-- silent uninstall ($((SECONDS - started)) s)"
win "C:\\Program Files\\pixelTuck\\uninstall.exe" /S || fail "the uninstaller failed"
# It goes on from a copy in %TEMP%, while the one called has ended.
for _ in $(seq 120); do
  [ -e "$instdir" ] || [ -e "$appdata/pixeltuck" ] || break
  sleep 0.5
done
for left in "$instdir" "$shortcut" "$appdata/pixeltuck"; do
  [ ! -e "$left" ] || fail "left after the uninstall: $left"
done
! uninstall_listed || fail "left after the uninstall: $key"

echo "-- the portable zip ($((SECONDS - started)) s)"
(cd "$work/portable" && unzip -q "$outdir/$name.zip")
portable="$work/portable/$name"
for f in pixeltuck.exe pixeltuck-cli.exe README.txt LICENSE.txt; do
  [ -f "$portable/$f" ] || fail "not in the zip: $f"
done
printf '%s' "$preset" >"$portable/pixeltuck.cfg"
pack_and_unpack "$("$wine" winepath -w "$portable" 2>/dev/null | tr -d '\r')"
[ "$(cat "$portable/pixeltuck.cfg")" = "$saved" ] ||
  fail "the portable window program did not save its settings beside itself"
[ ! -e "$appdata/pixeltuck" ] || fail "the portable window program wrote under %APPDATA%"

echo "windows-package.sh: installer and zip checked ($((SECONDS - started)) s)"

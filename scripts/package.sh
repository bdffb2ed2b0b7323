#!/usr/bin/env bash
# Builds the two Debian packages (Release, installed under /usr) in build-pkg:
# pixeltuck-cli (the console program) and pixeltuck (the window program), and
# checks them: desktop-file-validate, appstreamcli validate and lintian (no
# errors, no warnings). With --install-check it also installs the console
# package alone, then the window package, tries both programs as installed
# (with a system-wide preset in /etc/pixeltuck.cfg), and removes both again,
# checking that nothing is left behind (needs root or sudo; changes this
# machine's /usr and, for the while, /etc/pixeltuck.cfg).
#
# The Maintainer field names whoever builds the packages: DEBFULLNAME and
# DEBEMAIL, as for Debian's own tools, else git's user.name and user.email.
set -euo pipefail
cd "$(dirname "$0")/.."
install_check=0
for opt in "$@"; do
  case "$opt" in
    --install-check) install_check=1 ;;
    *) echo "package.sh: unknown option $opt (known: --install-check)" >&2; exit 2 ;;
  esac
done

name=${DEBFULLNAME:-$(git config user.name 2>/dev/null || true)}
mail=${DEBEMAIL:-$(git config user.email 2>/dev/null || true)}
if [ -z "$name" ] || [ -z "$mail" ]; then
  echo "package.sh: set DEBFULLNAME and DEBEMAIL (the packager's name and mail" \
       "address, for the Maintainer field)" >&2
  exit 2
fi

scripts/install-deps.sh --package
jobs=$(nproc 2>/dev/null || echo 2)
# Debian's hardening flags (fortified functions, full RELRO, immediate binding).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPT_BUILD_TESTS=OFF -DPT_BUILD_BENCH=OFF -DPT_WERROR=ON \
  -DPT_PACKAGE_MAINTAINER="$name <$mail>" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-pkg -j"$jobs"
rm -f build-pkg/pixeltuck*.deb
(cd build-pkg && cpack -G DEB >/dev/null)
cli_deb=$(ls build-pkg/pixeltuck-cli_*.deb)
gui_deb=$(ls build-pkg/pixeltuck_*.deb)
for deb in "$cli_deb" "$gui_deb"; do
  echo "== $deb"
  dpkg-deb --field "$deb"
done

fail() { echo "package.sh: $*" >&2; exit 1; }
# A server gets the console program without the windowing toolkit.
! dpkg-deb --field "$cli_deb" Depends | grep -qi qt || fail "$cli_deb depends on Qt"
# No made-up addresses, in the control fields or in any installed file (the
# bracket keeps this script itself out of a search for such addresses).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for deb in "$cli_deb" "$gui_deb"; do
  mkdir "$work/x" && dpkg-deb -x "$deb" "$work/x" && dpkg-deb -e "$deb" "$work/x/DEBIAN"
  find "$work/x" -name '*.gz' -exec gunzip {} +
  ! grep -rIqi 'exampl[e]\.\(org\|com\|net\)' "$work/x" || fail "$deb holds a placeholder address"
  ! grep -aqi 'exampl[e]\.\(org\|com\|net\)' "$work"/x/usr/bin/* || fail "$deb holds a placeholder address"
  rm -rf "$work/x"
done

echo "== desktop-file-validate, appstreamcli validate"
desktop-file-validate packaging/pixeltuck.desktop
appstreamcli validate --no-net --pedantic build-pkg/packaging/local.pixeltuck.pixeltuck.metainfo.xml
echo "== lintian"
lintian --fail-on error,warning --info "$cli_deb" "$gui_deb"

[ "$install_check" -eq 1 ] || exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
system_cfg=/etc/pixeltuck.cfg
[ ! -e "$system_cfg" ] || fail "$system_cfg exists already; the check would change it"
trap '$SUDO rm -f "$system_cfg"; rm -rf "$work"' EXIT
for deb in "$cli_deb" "$gui_deb"; do
  dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' | grep -v '/$' >> "$work/files"
done
version=$(sed -n 's/^project(pixelTuck VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

echo "== dpkg -i $cli_deb (alone)"
$SUDO dpkg -i "$cli_deb"
pixeltuck-cli --version | grep -qx "pixeltuck-cli (pixelTuck) $version"
man -w pixeltuck-cli >/dev/null

# A round trip as a user of the installed console program: the settings go
# to the user's folder, never to /usr/bin.
mkdir -p "$work/home" "$work/files-dir"
head -c 100000 /dev/urandom > "$work/files-dir/data.bin"
cp "$work/files-dir/data.bin" "$work/data.orig"
echo "00112233445566778899AABBCCDDEEFF" > "$work/key"
HOME="$work/home" pixeltuck-cli -q -T --key-file "$work/key" "$work/files-dir/data.bin"
rm "$work/files-dir/data.bin"
HOME="$work/home" pixeltuck-cli -q --key-file "$work/key" "$work/files-dir/data.bmp"
cmp "$work/data.orig" "$work/files-dir/data.bin"
rm "$work/files-dir/data.bmp"
# The system-wide preset: start-up cipher None, so packing needs no key.
printf '0 1 -1 0 0 0 1 0 1 zip 1' | $SUDO tee "$system_cfg" >/dev/null
HOME="$work/home" pixeltuck-cli -q "$work/files-dir/data.bin" </dev/null ||
  fail "pixeltuck-cli did not take the cipher None from $system_cfg"
rm "$work/files-dir/data.bmp"

echo "== dpkg -i $gui_deb"
$SUDO dpkg -i "$gui_deb"
while read -r f; do [ -e "$f" ] || fail "missing after install: $f"; done < "$work/files"
man -w pixeltuck >/dev/null
# --help and --version answer without a display.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM pixeltuck --version |
  grep -qx "pixeltuck (pixelTuck) $version" || fail "pixeltuck --version"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM pixeltuck --help | grep -q '^Usage: pixeltuck ' ||
  fail "pixeltuck --help"
# The menu entry's command starts the window (still running when stopped,
# without a display of its own).
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/pixeltuck.desktop)
set +e
HOME="$work/home" QT_QPA_PLATFORM=offscreen timeout 5 ${exec_line% %f}
rc=$?
set -e
[ "$rc" -eq 124 ] || fail "the window program ended early (status $rc)"
# A command-line job with "Exit after Conversion": the window packs the file
# with the preset's cipher None (no key asked), closes itself and saves the
# settings into the user's folder (the carrier naming rule 0 is written back
# as 1), never into /usr/bin or /etc.
cfg="$work/home/.config/pixeltuck/pixeltuck.cfg"
mkdir -p "$(dirname "$cfg")"
printf '0 0 -1 0 1 0 1 0 1 zip 0' > "$cfg"
HOME="$work/home" QT_QPA_PLATFORM=offscreen timeout 60 pixeltuck "$work/files-dir/data.bin"
[ -s "$work/files-dir/data.bmp" ] || fail "the window program did not pack"
[ "$(cat "$cfg")" = "0 0 -1 0 1 0 1 0 1 zip 1" ] || fail "settings not saved in $cfg"
[ "$(cat "$system_cfg")" = "0 1 -1 0 0 0 1 0 1 zip 1" ] || fail "$system_cfg was written"
[ ! -e /usr/bin/pixeltuck.cfg ] || fail "/usr/bin/pixeltuck.cfg was written"

echo "== dpkg -r"
$SUDO dpkg -r pixeltuck pixeltuck-cli
while read -r f; do [ ! -e "$f" ] || fail "left after removal: $f"; done < "$work/files"
for d in /usr/share/doc/pixeltuck /usr/share/doc/pixeltuck-cli; do
  [ ! -e "$d" ] || fail "left after removal: $d"
done
for pkg in pixeltuck pixeltuck-cli; do
  ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q installed || fail "$pkg still installed"
done
echo "packages checked: $cli_deb $gui_deb"

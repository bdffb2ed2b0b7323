#!/usr/bin/env bash
# Builds the Debian package (Release, installed under /usr) in build-pkg and
# checks it: desktop-file-validate, appstreamcli validate and lintian (no
# errors). With --install-check it also installs the package with dpkg -i,
# tries both programs as installed, and removes it again, checking that
# nothing is left behind (needs root or sudo; changes this machine's /usr).
set -euo pipefail
cd "$(dirname "$0")/.."
install_check=0
for opt in "$@"; do
  case "$opt" in
    --install-check) install_check=1 ;;
    *) echo "package.sh: unknown option $opt (known: --install-check)" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh --package
jobs=$(nproc 2>/dev/null || echo 2)
# Debian's hardening flags (fortified functions, full RELRO, immediate binding).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPT_BUILD_TESTS=OFF -DPT_BUILD_BENCH=OFF -DPT_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-pkg -j"$jobs"
rm -f build-pkg/pixeltuck_*.deb
(cd build-pkg && cpack -G DEB >/dev/null)
deb=$(ls build-pkg/pixeltuck_*.deb)
echo "== $deb"
dpkg-deb --field "$deb"

echo "== desktop-file-validate, appstreamcli validate"
desktop-file-validate packaging/pixeltuck.desktop
appstreamcli validate --no-net --pedantic build-pkg/packaging/org.example.pixeltuck.metainfo.xml
echo "== lintian"
lintian --fail-on error --info "$deb"

[ "$install_check" -eq 1 ] || exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "== dpkg -i"
$SUDO dpkg -i "$deb"
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' | grep -v '/$' > "$work/files"
while read -r f; do [ -e "$f" ] || { echo "missing after install: $f" >&2; exit 1; }; done < "$work/files"
version=$(sed -n 's/^project(pixelTuck VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
pixeltuck-cli --version | grep -qx "pixeltuck-cli (pixelTuck) $version"
man -w pixeltuck pixeltuck-cli >/dev/null

# A round trip as a user of the installed programs: the settings go to the
# user's folder, never to /usr/bin.
mkdir -p "$work/home" "$work/files-dir"
head -c 100000 /dev/urandom > "$work/files-dir/data.bin"
cp "$work/files-dir/data.bin" "$work/data.orig"
echo "00112233445566778899AABBCCDDEEFF" > "$work/key"
HOME="$work/home" pixeltuck-cli -q -T --key-file "$work/key" "$work/files-dir/data.bin"
rm "$work/files-dir/data.bin"
HOME="$work/home" pixeltuck-cli -q --key-file "$work/key" "$work/files-dir/data.bmp"
cmp "$work/data.orig" "$work/files-dir/data.bin"
# The menu entry's command starts the window (still running when stopped,
# without a display of its own).
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/pixeltuck.desktop)
set +e
HOME="$work/home" QT_QPA_PLATFORM=offscreen timeout 5 ${exec_line% %f}
rc=$?
set -e
[ "$rc" -eq 124 ] || { echo "the window program ended early (status $rc)" >&2; exit 1; }
# A command-line job with "Exit after Conversion": the window packs the file,
# closes itself and saves the settings into the user's folder (the carrier
# naming rule 0 is written back as 1), never into /usr/bin.
cfg="$work/home/.config/pixeltuck/pixeltuck.cfg"
mkdir -p "$(dirname "$cfg")"
printf '0 0 -1 0 1 0 1 0 1 zip 0' > "$cfg"
rm "$work/files-dir/data.bmp"
HOME="$work/home" QT_QPA_PLATFORM=offscreen timeout 60 pixeltuck -N "$work/files-dir/data.bin"
[ -s "$work/files-dir/data.bmp" ] || { echo "the window program did not pack" >&2; exit 1; }
[ "$(cat "$cfg")" = "0 0 -1 0 1 0 1 0 1 zip 1" ] || { echo "settings not saved in $cfg" >&2; exit 1; }
[ ! -e /usr/bin/pixeltuck.cfg ] || { echo "/usr/bin/pixeltuck.cfg was written" >&2; exit 1; }

echo "== dpkg -r"
$SUDO dpkg -r pixeltuck
while read -r f; do [ ! -e "$f" ] || { echo "left after removal: $f" >&2; exit 1; }; done < "$work/files"
echo "package checked: $deb"

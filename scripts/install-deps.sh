#!/usr/bin/env bash
# Installs the Debian packages pixelTuck needs to build, test and run.
# Does nothing when they are all present; uses sudo when not run as root.
# With --fuzz also clang and its libFuzzer runtime; with --package the checkers
# of scripts/package.sh (desktop-file-validate, appstreamcli, lintian); with
# --windows the mingw-w64 cross compiler, zlib for it, wine64, python3, a
# virtual X server, ImageMagick and wine's own fonts (scripts/windows-test.sh,
# scripts/screenshots-win.sh), NSIS and zip (scripts/windows-package.sh).
# Options combine.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev zlib1g-dev
  libgtest-dev           # unit tests
  nettle-dev             # test-only reference ciphers (never linked by the program)
  libssl-dev libgcrypt20-dev  # benchmark-only references (OpenSSL AES, libgcrypt ciphers; never linked by the program)
  xvfb xauth x11-apps    # headless window runs and screenshots
  fonts-liberation       # metric-compatible Arial and Courier New for the windows
)
for opt in "$@"; do
  case "$opt" in
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;  # libFuzzer and the sanitizer runtimes
    --package) packages+=(desktop-file-utils appstream lintian dpkg-dev file) ;;
    --windows)
      # Cross compiler with posix threads (std::thread), zlib built for it, the
      # GoogleTest sources (built by the cross compiler) and wine64 to run the suites;
      # python3 packs the window program's icon, Xvfb shows its windows for the
      # end-to-end run, ImageMagick takes their pictures.
      packages+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev
                 googletest wine64 python3 xvfb imagemagick
                 nsis zip unzip  # the Windows installer and the portable zip
                 fonts-wine) ;;  # Marlett, the glyphs of title-bar buttons and arrows
    *) echo "install-deps.sh: unknown option $opt (known: --fuzz --package --windows)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

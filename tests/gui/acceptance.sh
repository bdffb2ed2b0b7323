#!/usr/bin/env bash
# End-to-end run of the window program driven only by its command line.
# The configuration file lives beside the executable, so the binary is
# copied into a fresh folder together with its settings.
# Usage: acceptance.sh /path/to/pixeltuck
set -euo pipefail
exe=${1:?path to pixeltuck}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/pixeltuck"
cd "$work"

key=00112233445566778899AABBCCDDEEFF
fail() { echo "FAIL: $*" >&2; exit 1; }

# --help and --version print and exit, also without a display, and write no
# settings.
for opt in --help --version; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 ./pixeltuck -T "$opt" x.dat) ||
    fail "pixeltuck $opt exited with $?"
  case "$opt" in
    --help) [[ "$out" == "Usage: pixeltuck "* ]] || fail "pixeltuck --help printed: $out" ;;
    --version) [[ "$out" =~ ^"pixeltuck (pixelTuck) "[0-9]+\.[0-9]+\.[0-9]+$ ]] ||
                 fail "pixeltuck --version printed: $out" ;;
  esac
done
[[ ! -e pixeltuck.cfg ]] || fail "--help or --version wrote the settings"

# exitAfterConversion=1, disclaimerAccepted=1, targetNameRule 0 (saved as 1).
printf '0 1 -1 0 1 0 1 0 1 zip,gz 0' > pixeltuck.cfg
head -c 250000 /dev/urandom > source.dat
printf 'some text that compresses well %.0s' {1..200} >> source.dat
cp source.dat original.dat

timeout 60 ./pixeltuck -T -K:$key source.dat || fail "packing run exited with $?"
[[ -f source.bmp ]] || fail "no carrier written"
[[ "$(cat pixeltuck.cfg)" == '0 1 -1 0 1 0 1 0 1 zip,gz 1' ]] ||
  fail "settings not rewritten: $(cat pixeltuck.cfg)"
head -c 2 source.bmp | grep -q BM || fail "carrier is no BMP file"
if cmp -s <(tail -c 1000 source.dat) <(tail -c 1000 source.bmp); then
  fail "payload stored in clear"
fi

rm source.dat
printf '0 1 -1 0 1 0 1 0 1 zip,gz 0' > pixeltuck.cfg
timeout 60 ./pixeltuck -k:$key source.bmp || fail "unpacking run exited with $?"
cmp source.dat original.dat || fail "restored file differs"
[[ "$(cat pixeltuck.cfg)" == '0 1 -1 0 1 0 1 0 1 zip,gz 1' ]] ||
  fail "settings not rewritten after unpacking"

# SIGTERM while a job has files begun (the gzip temp file, a partial carrier):
# the program ends and removes them.
rm -f source.bmp
head -c 60000000 /dev/urandom > big.dat
printf '0 3 9 0 1 0 1 0 1 zip,gz 0' > pixeltuck.cfg  # always compress, level 9
./pixeltuck -N big.dat &
pid=$!
for _ in $(seq 200); do
  compgen -G 'big.dat.pixeltuck*' >/dev/null || compgen -G '.pixeltuck-*' >/dev/null && break
  sleep 0.05
done
if kill -TERM "$pid" 2>/dev/null; then
  wait "$pid" 2>/dev/null || true
  left=$(ls -A | grep -v -x -e pixeltuck -e pixeltuck.cfg -e big.dat -e source.dat \
    -e original.dat || true)
  [[ -z "$left" ]] || fail "SIGTERM during a job left: $left"
fi
# A -K: key leaves the process list once read, while the window stays open.
printf '0 1 -1 0 1 0 1 0 1 zip,gz 0' > pixeltuck.cfg
./pixeltuck -K:$key &
pid=$!
for _ in $(seq 100); do
  tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q "$key" || break
  sleep 0.1
done
listed=$(tr '\0' ' ' <"/proc/$pid/cmdline")
kill -TERM "$pid"
wait "$pid" 2>/dev/null || true
[[ "$listed" == *"-K:"* && "$listed" != *"$key"* ]] ||
  fail "the key is still in the process list: $listed"

echo "acceptance: packed and unpacked $(stat -c %s original.dat) bytes"

#!/usr/bin/env bash
# The Windows build, tested here: cross-builds the libraries, pixeltuck-cli.exe
# and every non-window test suite for 64-bit Windows (mingw-w64, build-win),
# runs the suites under wine64, then a console round trip between the Windows
# and the Linux console programs: carriers packed by one are unpacked by the
# other, for every cipher with compression on and off, and the restored files
# must equal the originals byte for byte (a name with "é" included); carriers
# of an ASCII-named file must be the same bytes from both programs; and the
# Windows program expands wildcards itself. On a virtual display (Xvfb) then:
# the window program's dialogs, shown and worked as a person would
# (tests/win/win_dialogs_test.cpp); the window program pixeltuck.exe (built
# too), which must start and close; last, pixeltuck.exe driven through its
# windows by a second Windows program
# (tests/win/e2e_driver.cpp), its carriers compared with those of the Linux
# console program.
#
# Packages: scripts/install-deps.sh --windows. The Linux console program is
# built in build (as scripts/test.sh does). Wine itself now and then dies while
# starting a process: one persistent, warmed wineserver serves the whole run
# and every test is allowed one retry.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)
started=$SECONDS

scripts/install-deps.sh --windows

source scripts/wine-session.sh
wine_env windows-test.sh "$root/build-win/wine"
# A virtual display for the window program, there before wine's first process
# so that every process of the persistent wineserver sees it.
wine_display 1280x1024x24
wine_server
"$wine" wineboot -i >/dev/null 2>&1 || true
"$wine" cmd /c exit 0 >/dev/null 2>&1 || true  # warm: the first start is slow

echo "== Windows build (build-win)"
# The window program is built whatever an earlier configure of build-win chose:
# without it the window program's checks below would have nothing to run.
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DPT_WERROR=ON -DPT_BUILD_BENCH=OFF -DPT_BUILD_GUI=ON >/dev/null
cmake --build build-win -j"$jobs"
[ -f build-win/app/win/pixeltuck.exe ] || { echo "windows-test.sh: no build-win/app/win/pixeltuck.exe" >&2; exit 1; }

echo "== Windows suites under wine64"
ctest --test-dir build-win -j"$jobs" --output-on-failure --repeat until-pass:2 --timeout 300

echo "== Console round trip: Windows <-> Linux"
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPT_WERROR=ON >/dev/null
fi
cmake --build build -j"$jobs" --target pixeltuck-cli

rt="$root/build-win/round-trip"
rm -rf "$rt"
mkdir -p "$rt/win" "$rt/linux" "$rt/data"
cp build-win/app/cli/pixeltuck-cli.exe "$rt/win/"
cp build/app/cli/pixeltuck-cli "$rt/linux/"

# Sample data: text (gzip shrinks it) and noise (it does not), 300 kB.
head -c 150000 /dev/urandom >"$rt/data/noise"
for i in $(seq 1 3000); do echo "line $i of the round-trip sample text"; done | head -c 150000 >"$rt/data/text"
cat "$rt/data/text" "$rt/data/noise" >"$rt/data/sample"

key=-K:00112233445566778899aabbccddeeff0011223344556677
passed=0
failed=0

# run <win|linux> <folder> <args...>: the program of that side, in that folder.
run() {
  local side=$1 dir=$2
  shift 2
  if [ "$side" = win ]; then
    (cd "$dir" && "$wine" "$rt/win/pixeltuck-cli.exe" -q "$@")
  else
    (cd "$dir" && "$rt/linux/pixeltuck-cli" -q "$@")
  fi
}

# check <what> <command...>: counts the command's outcome.
check() {
  local what=$1
  shift
  if "$@" >/dev/null; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}

# Startup cipher TwoFish, compression never (0) or always (3), rest defaults.
settings() {
  echo "2 $1 -1 0 0 0 1 0 1 zip 1" >"$rt/win/pixeltuck.cfg"
  cp "$rt/win/pixeltuck.cfg" "$rt/linux/"
}

for mode in 0 3; do
  settings "$mode"
  for cipher in N B T R; do
    keyed=()
    [ "$cipher" = N ] || keyed=("$key")
    for way in win:linux linux:win; do
      packer=${way%%:*} unpacker=${way##*:}
      case_dir="$rt/$cipher-$mode-$packer-to-$unpacker"
      mkdir -p "$case_dir/pack" "$case_dir/unpack"
      for name in "café.txt" "report.doc"; do
        what="$name packed by $packer, unpacked by $unpacker (-$cipher, compression mode $mode)"
        bmp="${name%.*}.bmp"
        cp "$rt/data/sample" "$case_dir/pack/$name"
        run "$packer" "$case_dir/pack" "-$cipher" "${keyed[@]}" "$name" >/dev/null &&
          cp "$case_dir/pack/$bmp" "$case_dir/unpack/" &&
          run "$unpacker" "$case_dir/unpack" "${keyed[@]}" "$bmp" >/dev/null || true
        check "$what" cmp "$rt/data/sample" "$case_dir/unpack/$name"
      done
    done
    # Both programs make the same carrier of the same file.
    check "report.bmp the same from both programs (-$cipher, compression mode $mode)" \
      cmp "$rt/$cipher-$mode-win-to-linux/pack/report.bmp" "$rt/$cipher-$mode-linux-to-win/pack/report.bmp"
  done
done

# The command prompt hands "*.txt" to the program as typed: every match is a
# job of its own, and a pattern that matches nothing ends with status 2.
wild="$rt/wildcards"
mkdir -p "$wild"
cp "$rt/data/text" "$wild/one.txt"
cp "$rt/data/noise" "$wild/two.txt"
run win "$wild" -N "*.txt" >/dev/null || true
rm "$wild/one.txt" "$wild/two.txt"
run win "$wild" "*.bmp" >/dev/null || true
check "*.txt packed and *.bmp unpacked every match (one.txt)" cmp "$rt/data/text" "$wild/one.txt"
check "*.txt packed and *.bmp unpacked every match (two.txt)" cmp "$rt/data/noise" "$wild/two.txt"
status=0
run win "$wild" -N "*.zip" 2>/dev/null || status=$?
check "a pattern without a match ends with status 2 (got $status)" test "$status" -eq 2

echo "Round-trip: $passed passed, $failed failed"

# No window manager runs: wine's windows are left unmanaged (else wine waits
# two seconds for a window manager whenever a dialog closes).
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

echo "== Windows dialogs (win_dialogs_test.exe under wine, Xvfb)"
dialogs=failed
for attempt in 1 2; do
  if timeout 600 "$wine" build-win/tests/win/win_dialogs_test.exe; then
    dialogs=passed
    break
  fi
done
echo "Dialogs: $dialogs"

echo "== Window program: starts, shows its window, closes"
# pixeltuck.exe on a virtual display, with the disclaimer accepted in its
# settings: the window is asked to close (as the close box does) and the
# program must end with status 0, having written its settings (the rule 0
# that loading turns into 1 comes back as 1).
smoke="$root/build-win/smoke"
rm -rf "$smoke"
mkdir -p "$smoke"
cp build-win/app/win/pixeltuck.exe "$smoke/"
echo "2 1 -1 0 0 0 1 0 1 zip 0" >"$smoke/pixeltuck.cfg"
smoke_ok=0
(
  cd "$smoke"
  "$wine" pixeltuck.exe &
  program=$!
  # Asked again until it has ended: the first request may come before its
  # window is there.
  for _ in $(seq 1 60); do
    sleep 1
    kill -0 "$program" 2>/dev/null || break
    "$wine" taskkill /im pixeltuck.exe >/dev/null 2>&1 || true
  done
  if kill -0 "$program" 2>/dev/null; then
    kill "$program"
    exit 1
  fi
  wait "$program"
) && [ "$(cat "$smoke/pixeltuck.cfg")" = "2 1 -1 0 0 0 1 0 1 zip 1" ] && smoke_ok=1
[ "$smoke_ok" -eq 1 ] && echo "pixeltuck.exe: started and closed" || { echo "FAILED: pixeltuck.exe start and close"; failed=$((failed + 1)); }

echo "== Window program end to end (pixeltuck.exe under wine, Xvfb)"
e2e_passed=0
e2e_failed=0
# winpath PATH: the Windows form of an absolute Linux path (wine's drive Z:).
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
e2e="$root/build-win/e2e"
rm -rf "$e2e"
mkdir -p "$e2e/ref/cli" "$e2e/work"
driver=build-win/tests/win/e2e_driver.exe
# Reference carriers of the Linux console program, by the driver's plan: the
# sample, the settings and per line the tag, the cipher switch and the key.
"$wine" "$driver" --reference-plan "$(winpath "$e2e/ref")" | tr -d '\r' >"$e2e/ref/plan"
cp build/app/cli/pixeltuck-cli "$e2e/ref/pixeltuck.cfg" "$e2e/ref/cli/"
while read -r tag switch key; do
  keyed=()
  [ "$key" = - ] || keyed=("$key")
  mkdir -p "$e2e/ref/$tag"
  cp "$e2e/ref/sample.dat" "$e2e/ref/$tag/"
  (cd "$e2e/ref/$tag" && ../cli/pixeltuck-cli -q "$switch" "${keyed[@]}" sample.dat >/dev/null)
done <"$e2e/ref/plan"
# (The file-open dialog makes wine complain about the volume label of Z:.)
"$wine" "$driver" --program "$(winpath "$root/build-win/app/win/pixeltuck.exe")" \
  --work "$(winpath "$e2e/work")" --reference "$(winpath "$e2e/ref")" 2>&1 |
  sed -u -e 's/\r$//' -e '/^wine: Read access denied for device/d' | tee "$e2e/driver.log" || true
e2e_passed=$(grep -c '^\[       OK \]' "$e2e/driver.log" || true)
e2e_failed=$(grep -c '^\[  FAILED  \]' "$e2e/driver.log" || true)
grep -q '^Window program end to end:' "$e2e/driver.log" || e2e_failed=$((e2e_failed + 1))
echo "Window program: $e2e_passed passed, $e2e_failed failed"

echo "windows-test.sh: $((SECONDS - started)) s"
[ "$failed" -eq 0 ] && [ "$dialogs" = passed ] && [ "$e2e_failed" -eq 0 ]

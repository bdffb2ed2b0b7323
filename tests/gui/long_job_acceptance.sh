#!/usr/bin/env bash
# The window program through long command-line jobs under a real X server
# with a window manager (openbox), as a user watches them:
#  1. packs a SIZE_MB file with "Exit after Conversion" and "Copy LOG View",
#     taking a screenshot every few seconds (the window must be drawn, show
#     the log lines of the current step and a moving progress bar: look at
#     them), and checks that the window manager never calls the window
#     "Not Responding" and that the log is still on the clipboard after exit;
#  2. unpacks the carrier the same way and compares the restored file;
#  3. packs again and closes the window through the window manager halfway:
#     the job stops, the window closes, no file it had begun is left;
#  4. packs again and ends the program with SIGTERM halfway: likewise;
#  5. packs again and presses Escape halfway: the job stops, nothing it had
#     begun is left, and the window stays open (closed by the script then).
# Installs openbox, wmctrl, xdotool, xclip and imagemagick when missing (as
# root). Work files go to a fresh folder in /tmp and are removed at the end.
# Usage: long_job_acceptance.sh PIXELTUCK OUTDIR [SIZE_MB]   (default 1000)
set -euo pipefail
exe=$(realpath "${1:?path to pixeltuck}")
out=${2:?folder for the screenshots}
size_mb=${3:-1000}
mkdir -p "$out"
out=$(realpath "$out")

tools=(openbox wmctrl xdotool xclip import Xvfb)
packages=(openbox wmctrl xdotool xclip imagemagick xvfb)
for i in "${!tools[@]}"; do
  if ! command -v "${tools[$i]}" >/dev/null; then
    [[ $(id -u) -eq 0 ]] || { echo "missing ${tools[$i]} (${packages[$i]})" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${packages[$i]}" >/dev/null
  fi
done

work=$(mktemp -d /tmp/pixeltuck-long.XXXXXX)
display=:$((100 + RANDOM % 800))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1
openbox >/dev/null 2>&1 &
sleep 1

fail() { echo "FAIL: $*" >&2; exit 1; }
key=00112233445566778899AABBCCDDEEFF
cp "$exe" "$work/pixeltuck"
cd "$work"
# TwoFish, compression if sensible, exitAfterConversion, copyLog,
# disclaimer accepted, carrier named by replacing the last extension.
config='2 1 -1 0 1 1 1 0 1 zip,gz 1'
echo "making a $size_mb MB source file"
head -c $((size_mb * 1000000)) /dev/urandom > big.dat

# Fails when the window manager marks the window as not responding.
responding() {
  local win
  win=$(xdotool search --name '^pixelTuck' 2>/dev/null | head -1 || true)
  if [[ -n "$win" ]] && xprop -id "$win" _NET_WM_VISIBLE_NAME WM_NAME 2>/dev/null |
    grep -qi 'not responding'; then
    fail "$1: the window manager shows the window as not responding"
  fi
}

# Runs pixeltuck ARGS... in the background, a screenshot every 3 s into
# OUTDIR/NAME-NN.png, and watches the title the window manager shows.
watch_job() {
  local name=$1
  shift
  printf '%s' "$config" > pixeltuck.cfg
  ./pixeltuck "$@" &
  local pid=$! n=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 3
    kill -0 "$pid" 2>/dev/null || break
    n=$((n + 1))
    import -window root "$(printf '%s/%s-%02d.png' "$out" "$name" "$n")" 2>/dev/null || true
    responding "$name"
  done
  wait "$pid" || fail "$name: pixeltuck exited with $?"
  echo "$name: $n screenshots"
}

start=$(date +%s)
watch_job pack -T -K:$key big.dat
[[ -f big.bmp ]] || fail "pack: no carrier"
echo "pack: $(($(date +%s) - start)) s"
xclip -o -selection clipboard 2>/dev/null | head -1 | grep -q '^Try to encode file:' ||
  fail "pack: the log is not on the clipboard after the program ended"

mv big.dat big.orig
start=$(date +%s)
watch_job unpack -K:$key big.bmp
echo "unpack: $(($(date +%s) - start)) s"
cmp big.dat big.orig || fail "unpack: restored file differs"
rm big.dat

# Files in the work folder that a job began.
leftovers() { ls -A | grep -v -x -e pixeltuck -e pixeltuck.cfg -e big.orig || true; }

# Halfway through a job: closed by the window manager, by SIGTERM, or
# stopped with Escape (the window then stays open).
interrupt() {  # NAME, then how: close | term | escape
  local how=$2
  rm -f big.bmp
  printf '%s' "$config" > pixeltuck.cfg
  ./pixeltuck -T -K:$key big.orig &
  local pid=$!
  sleep 4
  kill -0 "$pid" 2>/dev/null || fail "$1: the job ended before it could be interrupted"
  [[ -n "$(leftovers)" ]] || fail "$1: the job has begun no file yet"
  import -window root "$out/$1-before.png" 2>/dev/null || true
  local waited=0
  if [[ $how == close ]]; then
    wmctrl -c pixelTuck
  elif [[ $how == escape ]]; then
    local win
    win=$(xdotool search --onlyvisible --name '^pixelTuck' | head -1)
    xdotool windowactivate --sync "$win" key Escape
    # Stopped: what it had begun is gone while the program still runs.
    while [[ -n "$(leftovers)" ]]; do
      kill -0 "$pid" 2>/dev/null || fail "$1: the program ended; the window should stay open"
      sleep 0.5
      waited=$((waited + 1))
      ((waited < 60)) || fail "$1: the job still runs 30 s after Escape"
    done
    sleep 2
    kill -0 "$pid" 2>/dev/null || fail "$1: the window closed after Escape"
    [[ -z "$(leftovers)" ]] || fail "$1: the job went on after Escape"
    import -window root "$out/$1-after.png" 2>/dev/null || true
    wmctrl -c pixelTuck
  else
    kill -TERM "$pid"
  fi
  while kill -0 "$pid" 2>/dev/null; do
    responding "$1"
    sleep 0.5
    waited=$((waited + 1))
    ((waited < 60)) || fail "$1: still running 30 s after the request"
  done
  wait "$pid" 2>/dev/null || true
  local left
  left=$(leftovers)
  [[ -z "$left" ]] || fail "$1: left behind: $left"
  echo "$1: stopped after $((waited / 2)) s, nothing left behind"
}
interrupt close-during-job close
interrupt sigterm-during-job term
interrupt escape-during-job escape
echo "long job acceptance passed; screenshots in $out"

#!/usr/bin/env bash
# Drives the real window on a virtual X server with mouse clicks at the skin's own pixels:
# start-up scan of the simulated speakers, choice of TARN-S1 and its newest application file,
# UPLOAD, the report, Help, a drag of the window, Exit. Takes a screenshot after each step and
# checks what the simulator heard. Needs a build (tools/setup.sh) and the packages xvfb,
# xdotool and imagemagick.
# Usage: tools/xvfb-walkthrough.sh [build-dir] [screenshot-dir]   (KEEP_SCRATCH=1 keeps the
# scratch folder with the simulator's log for a look after a failure)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/wait-for.sh
source "$here/tools/wait-for.sh"
bin=$(cd "${1:-$here/build}/bin" && pwd)
shots=$(mkdir -p "${2:-$PWD/walkthrough}" && cd "${2:-$PWD/walkthrough}" && pwd)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/flashdesk-walkthrough.XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  [ -n "${KEEP_SCRATCH:-}" ] && echo "scratch kept: $scratch" || rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "walkthrough: $*" >&2
  exit 1
}
heard_at_least() {  # N WHAT: the simulator heard at least N frames of WHAT
  [ "$(grep -c "heard $2" "$scratch/sim.log")" -ge "$1" ]
}
shot() {
  import -window root "$shots/$1.png"
  echo "  screenshot $shots/$1.png"
}
click() {  # x y in the window's client pixels
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.5
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$scratch/display" \
  2>"$scratch/xvfb.log" &
pids+=($!)
wait_for 10 test -s "$scratch/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$scratch/display")"

mkdir -p "$scratch/config"
"$bin/flashdesk-sim" make-firmware "$scratch/syx" >/dev/null
export XDG_CONFIG_HOME="$scratch/config"
export FLASHDESK_PORT_TEMPLATE="$scratch/COM%i"
"$bin/flashdesk-sim" --demo --link "$scratch/COM3" --verbose >"$scratch/sim.log" &
pids+=($!)
wait_for 10 test -e "$scratch/COM3" || fail "the simulator did not start"

(cd "$scratch" && exec "$bin/flashdesk") &
app=$!
pids+=($app)
window=$(timeout 20 xdotool search --sync --name '^FlashDesk$' | head -n 1) ||
  fail "the window did not appear"
echo "window $window on $DISPLAY"
sleep 0.5
shot 1-start

# The scan is over when it has saved the working port.
wait_for 60 grep -q 'ComPort=3' "$scratch/config/TARN-System.conf" 2>/dev/null ||
  fail "the scan did not find the simulated speakers"
sleep 1
shot 2-scanned

click 557 151 # TARN-S1, the second model entry
click 557 299 # its second file, TarnS1V1.23
shot 3-chosen

click 715 428 # UPLOAD (653..777, 410..446)
wait_for 20 heard_at_least 10 'data block' || fail "no upload started"
shot 4-uploading
# 2048 payload bytes go in 32 blocks; the report follows the tail reads after the last one.
wait_for 60 heard_at_least 32 'data block' || fail "the upload did not finish"
sleep 4
shot 5-report

click 730 20 # Help (700..759, 9..31): page 0 replaces the report
shot 6-help

# The caption-less window is dragged by a free spot of its surface.
origin() { xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9]*,[0-9]*\).*/\1/p'; }
before=$(origin)
xdotool mousemove --window "$window" 300 60 mousedown 1
sleep 0.2
xdotool mousemove_relative --sync 40 30
sleep 0.2
xdotool mouseup 1
sleep 0.5
after=$(origin)
[ "$before" != "$after" ] || fail "dragging did not move the window ($before)"
echo "  dragged from $before to $after"
shot 7-dragged

click 740 500 # Exit (726..782, 490..514)
wait_for 30 bash -c "! kill -0 $app 2>/dev/null" || fail "Exit did not end the window"
wait "$app" || fail "the window ended with an error"
grep -q 'heard mode command .*: F0 [0-9A-F]\{2\} 64 03' "$scratch/sim.log" ||
  fail "the speakers were not sent back to Application mode"
echo "walkthrough passed: scan, upload of 32 blocks, report, Exit with mode 3"

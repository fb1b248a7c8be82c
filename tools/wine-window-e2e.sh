#!/usr/bin/env bash
# The Windows window flashdesk.exe under Wine, in a Wine virtual desktop on a virtual X server,
# driven only by mouse clicks and keys against the Linux simulator on Wine's COM3: the scan,
# a model and a file ticked, UPLOAD, the report, Help's pages, Exit; then an exit the checks
# refuse. Checks what the simulator heard (every byte of the image, 100 ms between blocks,
# Application mode at the end), the registry value, and the pixels of each step. First it
# compares the Win32 window's pictures of three states with the Qt window's
# (flashdesk-compare-windows). Every screenshot stays in the Windows build folder.
# Usage: tools/wine-window-e2e.sh [windows-build-dir] [linux-build-dir]
# (Windows build: tools/build-windows.sh --tests; Linux build: tools/setup.sh. KEEP_SCRATCH=1
# keeps the simulator's logs.)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/wait-for.sh
source "$here/tools/wait-for.sh"
# shellcheck source=tools/wine-com3.sh
source "$here/tools/wine-com3.sh"
windows=$(cd "${1:-$here/build-windows}" && pwd)
bin=$(cd "${2:-$here/build}/bin" && pwd)
window=$windows/bin/flashdesk.exe
shots=$windows/window-shots
export WINEPREFIX=${WINEPREFIX:-$windows/wineprefix}
export WINEDEBUG=-all
unset FLASHDESK_PORT_TEMPLATE FLASHDESK_PORT FLASHDESK_TRACE

scratch=$(mktemp -d "${TMPDIR:-/tmp}/flashdesk-wine-window.XXXXXX")
rm -rf "$shots"
mkdir -p "$shots"
simulator=
xvfb=
stop_simulator() {
  if [ -n "$simulator" ]; then
    kill "$simulator" 2>/dev/null || true
    wait "$simulator" 2>/dev/null || true
  fi
  simulator=
}
cleanup() {
  stop_simulator
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  [ -n "${KEEP_SCRATCH:-}" ] && echo "scratch kept: $scratch" || rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "wine-window-e2e: $*" >&2
  exit 1
}
started=$SECONDS

# Wine draws "Arial" with Liberation Sans, whose recorded average character width differs
# from Arial's; GDI scales fonts by that average, so the prefix gets a twin with Arial's.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -u >/dev/null 2>&1
  timeout 60 wineserver -w >/dev/null 2>&1 || true
fi
python3 "$here/tools/make-arial-twin.py" "$WINEPREFIX/drive_c/windows/Fonts"
wineserver -k >/dev/null 2>&1 || true
timeout 60 wineserver -w >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 || true

echo "== the Win32 window's pictures against the Qt window's"
for state in scanned help uploaded; do
  (cd "$scratch" && timeout 120 wine "$windows/bin/flashdesk-make-win32-screenshot.exe" \
    "$state" "$shots/win32-$state.bmp") >"$scratch/snapshot.log" 2>&1 ||
    fail "no Win32 picture of $state: $(cat "$scratch/snapshot.log")"
  if ! "$bin/flashdesk-compare-windows" "$state" "$shots/win32-$state.bmp" \
    "$shots/qt-$state.png" >"$shots/compare-$state.txt" 2>"$scratch/compare.log"; then
    cat "$shots/compare-$state.txt" "$scratch/compare.log" >&2
    fail "the windows draw $state differently"
  fi
  echo "  $state: $(tail -n 2 "$shots/compare-$state.txt" | tr '\n' ' ')"
done

Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$scratch/display" \
  2>"$scratch/xvfb.log" &
xvfb=$!
wait_for 10 test -s "$scratch/display" || fail "Xvfb did not start"
DISPLAY=":$(cat "$scratch/display")"
export DISPLAY

link_com3
cd "$scratch"
"$bin/flashdesk-sim" make-firmware syx >/dev/null

window_running() { pgrep -f 'flashdesk\.exe' >/dev/null; }
shot() {
  import -window root "$shots/$1.png"
  echo "  screenshot $shots/$1.png"
}
# The window's top-left corner on the desktop: the only thing drawn on it.
origin=
find_window() {
  import -window root "$scratch/find.png"
  origin=$(convert "$scratch/find.png" -fuzz 2% -trim -format '%X %Y' info: 2>/dev/null | tr -d '+')
  [ "$(convert "$scratch/find.png" -fuzz 2% -trim -format '%wx%h' info: 2>/dev/null)" = 800x529 ]
}
# pixel X Y: "R,G,B" of the window's client pixel, from a fresh screenshot.
pixel() {
  local x y
  read -r x y <<<"$origin"
  import -window root "$scratch/now.png"
  convert "$scratch/now.png" -format "%[fx:int(255*p{$((x + $1)),$((y + $2))}.r)],%[fx:int(255*p{$((x + $1)),$((y + $2))}.g)],%[fx:int(255*p{$((x + $1)),$((y + $2))}.b)]" info:
}
pixel_is() { [ "$(pixel "$1" "$2")" = "$3" ]; }
# Dark pixels (text) in a band of the window's client area: X Y WIDTH HEIGHT.
text_pixels() {
  local x y
  read -r x y <<<"$origin"
  import -window root "$scratch/now.png"
  convert "$scratch/now.png" -crop "${3}x${4}+$((x + $1))+$((y + $2))" +repage -colorspace gray \
    -threshold 60% -negate -format '%[fx:int(mean*w*h+0.5)]' info:
}
click() {  # X Y in the window's client pixels
  local x y
  read -r x y <<<"$origin"
  xdotool mousemove "$((x + $1))" "$((y + $2))" click 1
  sleep 0.5
  xdotool mousemove 0 0
}
heard_at_least() { [ "$(grep -c "heard $2" "$3" || true)" -ge "$1" ]; }  # N WHAT LOG
start_window() {
  wine explorer /desktop=FlashDesk,1024x768 "$window" >"$scratch/wine.log" 2>&1 &
  wait_for 30 find_window || fail "the window did not appear"
}

echo "== five speakers: scan, choose, upload, report, Help, Exit"
wine reg delete 'HKCU\SOFTWARE\TARN-System' /f >/dev/null 2>&1 || true
start_simulator bus.log --demo --save-uploads "$scratch"
start_window
shot 1-searching
# The scan is over when the models are listed: the second one's empty check box.
wait_for 90 pixel_is 557 151 200,200,200 || fail "the scan did not list the speakers"
shot 2-scanned
wine reg query 'HKCU\SOFTWARE\TARN-System' /v ComPort >registry.out 2>&1 ||
  fail "no registry value: $(cat registry.out)"
grep -qE 'ComPort +REG_SZ +3' registry.out || fail "the registry holds $(cat registry.out)"

click 557 151 # TARN-S1, the second model
click 557 299 # its second file, TarnS1V1.23
pixel_is 557 299 246,157,105 || fail "the second file is not ticked"
shot 3-chosen
click 715 428 # UPLOAD
wait_for 30 heard_at_least 10 'data block' bus.log || fail "no upload started"
shot 4-uploading
wait_for 60 heard_at_least 32 'data block' bus.log || fail "the upload did not finish"
# The report box replaces the help box: its frame, shorter than the help box's.
wait_for 20 pixel_is 35 96 200,200,200 || fail "no report box"
wait_for 20 eval '! pixel_is 35 385 200,200,200' || fail "the help box still stands"
[ "$(text_pixels 55 116 200 15)" -gt 50 ] || fail "the report box holds no lines"
shot 5-report
gap=$(awk '/heard data block/ { if (n++) { d = $1 - last; if (min == "" || d < min) min = d } last = $1 }
  END { print min }' bus.log)
[ "$gap" -ge 100 ] || fail "blocks only $gap ms apart"
echo "  32 blocks, at least $gap ms apart"

click 730 20 # Help: page 0, with its last line
pixel_is 35 385 200,200,200 || fail "Help showed no help box"
[ "$(text_pixels 300 356 170 15)" -gt 20 ] || fail "Help did not show page 0"
shot 6-help-page-0
click 730 20 # page 1, without that line
[ "$(text_pixels 300 356 170 15)" -eq 0 ] || fail "Help did not turn to page 1"
[ "$(text_pixels 55 256 300 15)" -gt 20 ] || fail "page 1 lacks its lines"
shot 7-help-page-1
click 730 20 # no box
pixel_is 35 96 200,200,200 && fail "Help did not close the box"
shot 8-no-help

click 740 500 # Exit
wait_for 30 eval '! window_running' || fail "Exit did not end the window"
grep 'heard mode command' bus.log | tail -n 1 | grep -qE ': F0 [0-9A-F]{2} 64 03' ||
  fail "the speakers were not sent back to Application mode"
stop_simulator
# Every speaker of the model holds the file's bytes after its 7-byte header.
tail -c +8 syx/TarnS1V1.23.syx >sent.bin
for serial in 1234567 1234568; do
  cmp -s sent.bin "$serial.bin" || fail "speaker $serial holds other bytes than the file's"
done
echo "  both TARN-S1 speakers hold the image byte for byte; Application mode at the end"

echo "== a speaker without a boot loader: the exit is refused"
start_simulator refuse.log --speaker 5001:4 --entry 4:1.00 --entry 0:1.00
start_window
wait_for 90 pixel_is 557 151 200,200,200 || fail "the scan did not list the speaker"
click 740 500 # Exit
sleep 3
shot 9-exit-refused
window_running || fail "the window ended although a boot loader is missing"
[ "$(text_pixels 196 450 443 15)" -gt 150 ] || fail "no closing status line under the message"
xdotool key Return # OK
sleep 1
window_running || fail "the window ended after the message"
# Back to "Status: ", the closing words gone.
[ "$(text_pixels 250 450 389 15)" -eq 0 ] || fail "the status line was not reset"
# Escape runs the same checks: they identify the speaker again and refuse again.
asked=$(grep -c 'heard identification request' refuse.log || true)
xdotool key Escape
wait_for 20 heard_at_least "$((asked + 5))" 'identification request' refuse.log ||
  fail "Escape did not run the exit checks"
sleep 1
window_running || fail "Escape ended the window although a boot loader is missing"
xdotool key Return
if grep 'heard mode command' refuse.log | grep -qE ': F0 [0-9A-F]{2} 64 03'; then
  fail "the speakers were sent to Application mode although the exit was refused"
fi
shot 10-still-open
pkill -f 'flashdesk\.exe' || true
stop_simulator

echo "wine-window-e2e passed in $((SECONDS - started)) s; screenshots in $shots"

#!/usr/bin/env bash
# The Win32 window under Wine: process start to its first painted frame against Wine's own
# start-up of an empty program (both with the Wine server already running), the idle working
# set against a bare pop-up window's, and the size of the programs. Targets: within 100 ms of
# the empty program, under 10 MB above the bare window (an empty program alone takes more than
# 10 MB under Wine), each program under 3 MB. Needs a display: run it under Xvfb.
# Usage: bench/wine-window.sh [windows-build-dir]   (tools/build-windows.sh --tests builds it)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
windows=$(cd "${1:-$here/build-windows}" && pwd)
export WINEPREFIX=${WINEPREFIX:-$windows/wineprefix}
export WINEDEBUG=-all
runs=15
wineserver -p >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
missed=0

# median_ms COMMAND...: the median wall time of runs starts, in milliseconds.
median_ms() {
  local samples=() start
  "$@" >/dev/null 2>&1 || true  # once to warm the caches
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    samples+=($((($(date +%s%N) - start) / 1000000)))
  done
  printf '%s\n' "${samples[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}
report() {  # WHAT VALUE UNIT TARGET
  local verdict=ok
  awk -v v="$2" -v t="$4" 'BEGIN { exit !(v < t) }' || verdict=MISSED
  [ "$verdict" = ok ] || missed=1
  printf '%-58s %8s %s  (target < %s %s) %s\n' "$1" "$2" "$3" "$4" "$3" "$verdict"
}

empty=$(median_ms wine "$windows/bin/bench_empty_program.exe")
window=$(median_ms wine "$windows/bin/bench_win32_window.exe" --first-frame)
echo "$runs starts each: empty program $empty ms, window to its first frame $window ms"
report "first frame after Wine's start-up of an empty program" "$((window - empty))" ms 100
megabytes() { wine "$@" --working-set 2>/dev/null | tr -d '\r' | awk '{ print $3 }'; }
bare=$(megabytes "$windows/bin/bench_empty_program.exe")
ours=$(megabytes "$windows/bin/bench_win32_window.exe")
echo "working set after a second: bare pop-up $bare MB, the idle window $ours MB"
report "working set of the idle window above a bare pop-up's" \
  "$(awk -v a="$ours" -v b="$bare" 'BEGIN { printf "%.2f", a - b }')" MB 10
for program in flashdesk.exe flashdesk-cli.exe; do
  bytes=$(stat -c %s "$windows/bin/$program")
  report "size of $program" "$(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 1e6 }')" MB 3
done
exit $missed

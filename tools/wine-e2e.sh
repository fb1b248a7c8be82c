#!/usr/bin/env bash
# The Windows flashdesk-cli.exe under Wine against the Linux simulator, whose pseudo-terminal
# is Wine's COM3: scan, upload and exit --yes, then an upload during which the port vanishes.
# Checks the listing, the report, the exit codes, what the simulator heard (every block, block
# pauses of at least 100 ms, mode 3 at the end) and the port saved in the registry.
# Usage: tools/wine-e2e.sh [windows-build-dir] [linux-build-dir]
# (Windows build: tools/build-windows.sh; Linux build: tools/setup.sh. KEEP_SCRATCH=1 keeps
# the outputs and the simulator's logs.)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/wait-for.sh
source "$here/tools/wait-for.sh"
# shellcheck source=tools/wine-com3.sh
source "$here/tools/wine-com3.sh"
windows=$(cd "${1:-$here/build-windows}" && pwd)
bin=$(cd "${2:-$here/build}/bin" && pwd)
cli=$windows/bin/flashdesk-cli.exe
export WINEPREFIX=${WINEPREFIX:-$windows/wineprefix}
export WINEDEBUG=-all
# Wine hands the Linux environment to the program: only COM3 is to lead to the simulator.
unset FLASHDESK_PORT_TEMPLATE FLASHDESK_TRACE

scratch=$(mktemp -d "${TMPDIR:-/tmp}/flashdesk-wine.XXXXXX")
cleanup() {
  stop_simulator
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${KEEP_SCRATCH:-}" ] && echo "scratch kept: $scratch" || rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "wine-e2e: $*" >&2
  exit 1
}
# expect NAME PATTERN: the output of run NAME holds the extended regular expression.
expect() {
  grep -qE "$2" "$1.out" || {
    cat "$1.out" "$1.err" >&2
    fail "$1: no match for '$2'"
  }
}
# run NAME EXPECTED-STATUS ARGUMENTS...: flashdesk-cli.exe under Wine, bounded in time.
run() {
  local name=$1 expected=$2 status=0 started=$SECONDS
  shift 2
  timeout 180 wine "$cli" "$@" >"$name.out" 2>"$name.err" || status=$?
  echo "  $name: exit $status in $((SECONDS - started)) s"
  [ "$status" -eq "$expected" ] || {
    cat "$name.out" "$name.err" >&2
    fail "$name ended with $status, not $expected"
  }
}

started=$SECONDS
# One server for every run, started here so that no program's output stays open in it.
wineserver -p >/dev/null 2>&1 || true  # fails when one is running already
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -u >/dev/null 2>&1
  echo "  Wine prefix made in $((SECONDS - started)) s"
fi
wine reg delete 'HKCU\SOFTWARE\TARN-System' /f >/dev/null 2>&1 || true
link_com3
cd "$scratch"
"$bin/flashdesk-sim" make-firmware syx >/dev/null

echo "== five speakers: scan, upload, exit"
start_simulator bus.log --demo
run scan 0 scan
expect scan '^Port: 3 \(\\\\\.\\COM3\)'
expect scan '^Speakers: 5'
for speaker in '1234567  TARN-S1' '1234568  TARN-S1' '2345678  TARN-LOW-1' '3456789  TARN-S3' \
  '4567890  TARN-S2'; do
  expect scan "^ +$speaker +boot "
done
wine reg query 'HKCU\SOFTWARE\TARN-System' /v ComPort >registry.out 2>&1 ||
  fail "no registry value: $(cat registry.out)"
expect registry 'ComPort +REG_SZ +3'

run upload 0 upload 'syx\TarnS1V1.23.syx'
expect upload '^Status: Upload Complete'
expect upload '^ 2 Speaker\(s\) Passed:'
grep -q 'Progress: 100 %' upload.err || fail "upload: no progress lines"
blocks=$(grep -c 'heard data block' bus.log || true)
[ "$blocks" -eq 32 ] || fail "the simulator heard $blocks data blocks, not 32"
# The pause after each block is 100 ms; the log holds when each block's end arrived.
gap=$(awk '/heard data block/ { if (n++) { d = $1 - last; if (min == "" || d < min) min = d } last = $1 }
  END { print min }' bus.log)
[ "$gap" -ge 100 ] || fail "blocks only $gap ms apart"
echo "  32 blocks, at least $gap ms apart"

run exit 0 exit --yes
expect exit 'port closed'
grep 'heard mode command' bus.log | tail -n 1 | grep -qE ': F0 [0-9A-F]{2} 64 03' ||
  fail "the last mode command was not Application mode"
stop_simulator

echo "== the port vanishes mid-upload"
start_simulator vanish.log --speaker 5001:4 --vanish-after 10
run vanish 1 upload 'syx\TarnS1V1.23.syx'
expect vanish '^Status: One Or More Errors May Have Occoured'
expect vanish "1 Speaker\(s\) Didn't Respond With Upload Complete"
expect vanish 'Serial: 5001'
stop_simulator

echo "== Ctrl-C stops an upload before its next block"
start_simulator interrupt.log --speaker 7001:4
wine "$cli" upload 'syx\TarnS1V1.23.syx' >interrupt.out 2>interrupt.err &
upload=$!
wait_for 60 grep -q 'Progress: 1[0-9] %' interrupt.err || fail "the upload did not start"
kill -INT "$upload"
if ! wait_for 30 eval '! kill -0 "$upload" 2>/dev/null'; then
  kill -KILL "$upload"
  fail "Ctrl-C did not end the upload"
fi
status=0
wait "$upload" || status=$?
[ "$status" -eq 1 ] || fail "the interrupted upload ended with $status, not 1"
expect interrupt '^Status: One Or More Errors May Have Occoured'
expect interrupt 'Serial: 7001'
blocks=$(grep -c 'heard data block' interrupt.log || true)
[ "$blocks" -lt 32 ] || fail "all 32 blocks were sent after Ctrl-C"
echo "  stopped after $blocks of 32 blocks"
stop_simulator

echo "wine-e2e passed in $((SECONDS - started)) s"

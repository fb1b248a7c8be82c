# Sourced by the scripts that put the simulator behind Wine's COM3. They set bin (the Linux
# build's programs), scratch (where the link lives; they work in it) and define fail.
# shellcheck shell=bash
simulator=
# start_simulator LOG ARGUMENTS...: a bus linked at $scratch/COM3, every frame it hears in LOG.
start_simulator() {
  local log=$1
  shift
  rm -f COM3
  "$bin/flashdesk-sim" --link "$scratch/COM3" --verbose "$@" >"$log" &
  simulator=$!
  wait_for 10 test -e COM3 || fail "the simulator did not start"
}
stop_simulator() {
  if [ -n "$simulator" ]; then
    kill "$simulator" 2>/dev/null || true
    wait "$simulator" 2>/dev/null || true
  fi
  simulator=
}
# Makes $scratch/COM3 the prefix's only COM port: Wine's services map com1 to /dev/ttyS0 by
# themselves.
link_com3() {
  rm -f "$WINEPREFIX"/dosdevices/com*
  ln -s "$scratch/COM3" "$WINEPREFIX/dosdevices/com3"
}

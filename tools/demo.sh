#!/usr/bin/env bash
# Sets FlashDesk up and runs its main job against the built-in simulator: a few simulated
# speakers on a pseudo-terminal, our own sample firmware, settings and upload history in a
# scratch folder, so the user's own history never holds a simulated upload. With a
# display the window opens; without one the same job runs headless through flashdesk-cli.
# The simulator starts and stops with the window (or the headless run); nothing is left behind.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build"
bin="$here/build/bin"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/flashdesk-demo.XXXXXX")
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$scratch/config" "$scratch/state"
"$bin/flashdesk-sim" make-firmware "$scratch/syx"
export XDG_CONFIG_HOME="$scratch/config" XDG_STATE_HOME="$scratch/state"
export FLASHDESK_PORT_TEMPLATE="$scratch/COM%i"
"$bin/flashdesk-sim" --demo --link "$scratch/COM3" &
sim_pid=$!
for _ in $(seq 100); do
  [ -e "$scratch/COM3" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -e "$scratch/COM3" ]; then
  echo "demo: the simulator did not start" >&2
  exit 1
fi

cd "$scratch"
run_headless() {
  local image
  image=$(ls syx/TarnS1V*.syx | tail -n 1)
  "$bin/flashdesk-cli" flash --yes "$image"
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "FlashDesk: simulated speakers on $scratch/COM3; sample firmware in $scratch/syx"
  echo "TARN-S2 is selected and its first file ticked: press UPLOAD, or pick another model and"
  echo "file first. Exit returns the speakers to Application mode."
  if ! "$bin/flashdesk"; then
    echo "The window could not run on this display: running the same job headless."
    run_headless
  fi
else
  echo "No display found: running the same job headless with flashdesk-cli."
  run_headless
fi

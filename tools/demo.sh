#!/usr/bin/env bash
# Sets FlashDesk up and runs its main job against the built-in simulator: a few simulated
# speakers on a pseudo-terminal, our own sample firmware, settings in a scratch folder. With a
# display the window opens; without one the same job runs headless through flashdesk-cli.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build"
bin="$here/build/bin"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/flashdesk-demo.XXXXXX")
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

mkdir -p "$scratch/config"
"$bin/flashdesk-sim" make-firmware "$scratch/syx"
export XDG_CONFIG_HOME="$scratch/config"
export FLASHDESK_PORT_TEMPLATE="$scratch/COM%i"
"$bin/flashdesk-sim" --demo --link "$scratch/COM3" &
sim_pid=$!
for _ in $(seq 50); do [ -e "$scratch/COM3" ] && break; sleep 0.1; done

cd "$scratch"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "FlashDesk: simulated speakers on $scratch/COM3; sample firmware in $scratch/syx"
  "$bin/flashdesk"
else
  echo "No display found: running the same job headless with flashdesk-cli."
  image=$(ls syx/TarnS1V*.syx | head -n 1)
  "$bin/flashdesk-cli" scan
  "$bin/flashdesk-cli" upload "$image"
  "$bin/flashdesk-cli" exit --yes
fi

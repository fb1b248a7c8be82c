#!/usr/bin/env bash
# Installs what FlashDesk needs on Debian 12 and builds it into build/.
# Usage: tools/setup.sh [build-dir] [extra cmake options...]
# (FLASHDESK_MORE_PACKAGES names further Debian packages to install, such as Wine for CI.)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

packages=(build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64 nsis fonts-liberation2 fontconfig
  xvfb xauth xdotool imagemagick libcli11-dev nlohmann-json3-dev nettle-dev
  clang libclang-rt-14-dev llvm-14
  help2man lintian desktop-file-utils appstream dpkg-dev file man-db ${FLASHDESK_MORE_PACKAGES:-})

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=${1:-"$here/build"}
shift || true
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"

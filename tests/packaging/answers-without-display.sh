#!/usr/bin/env bash
# Each program answers --help and --version on a terminal without any display, as help2man
# and users on a text console need.
# Usage: answers-without-display.sh VERSION PROGRAM...
set -uo pipefail
version=$1
shift
status=0
for program in "$@"; do
  name=$(basename "$program")
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help 2>&1)
  result=$?
  if [ $result -ne 0 ] || ! grep -q "^Usage: .*$name" <<<"$help"; then
    echo "FAIL: $name --help exits $result with:"$'\n'"$help"
    status=1
  fi
  answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version 2>&1)
  result=$?
  if [ $result -ne 0 ] || [ "$answer" != "$name $version" ]; then
    echo "FAIL: $name --version exits $result with '$answer', not '$name $version'"
    status=1
  fi
done
exit $status

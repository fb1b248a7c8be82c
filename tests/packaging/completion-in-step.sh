#!/usr/bin/env bash
# The bash completion of flashdesk-cli offers exactly the options its --help lists, and only
# commands that --help names.
# Usage: completion-in-step.sh FLASHDESK_CLI COMPLETION_FILE
set -uo pipefail
help=$("$1" --help) || {
  echo "FAIL: $1 --help failed"
  exit 1
}
# shellcheck source=/dev/null
source "$2"
completed() {  # words offered for the command line given
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  _flashdesk_cli
  printf '%s\n' "${COMPREPLY[@]}"
}
status=0
listed=$(grep -oE -- '(^|[ ,])--[a-z][a-z-]*' <<<"$help" | tr -d ' ,' | sort -u)
offered=$(completed flashdesk-cli - | sort -u)
if [ "$listed" != "$offered" ]; then
  echo "FAIL: --help lists"$'\n'"$listed"$'\n'"but the completion offers"$'\n'"$offered"
  status=1
fi
for command in $(completed flashdesk-cli ''); do
  if ! grep -qw -- "$command" <<<"$help"; then
    echo "FAIL: the completion offers the command '$command' that --help does not name"
    status=1
  fi
done
exit $status

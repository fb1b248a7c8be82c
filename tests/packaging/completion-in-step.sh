#!/usr/bin/env bash
# The bash completion of flashdesk-cli offers exactly the options and commands its --help
# lists, .syx files and folders after each command that takes a FILE, and device paths after
# --port.
# Usage: completion-in-step.sh FLASHDESK_CLI COMPLETION_FILE
set -uo pipefail
program=$1
help=$("$program" --help) || {
  echo "FAIL: $program --help failed"
  exit 1
}
# shellcheck source=/dev/null
source "$2"
completed() {  # words offered for the command line given, the program's path first
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$#
  _flashdesk_cli
  printf '%s\n' "${COMPREPLY[@]}"
}
status=0
expect_same() {  # what, listed, offered
  if [ "$2" != "$3" ]; then
    echo "FAIL: --help lists the $1"$'\n'"$2"$'\n'"but the completion offers"$'\n'"$3"
    status=1
  fi
}
expect_same options "$(grep -oE -- '(^|[ ,])--[a-z][a-z-]*' <<<"$help" | tr -d ' ,' | sort -u)" \
  "$(completed - | sort -u)"
# Commands: the words that start the indented lines between "Commands" and "Options".
commands=$(sed -n '/^Commands/,/^Options/s/^  \([a-z][a-z]*\)\( FILE\)\{0,1\}  .*/\1\2/p' <<<"$help")
expect_same commands "$(cut -d' ' -f1 <<<"$commands" | sort)" "$(completed '' | sort)"

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/syx"
touch "$folder/syx/TarnS1V1.23.syx" "$folder/syx/notes.txt"
cd "$folder" || exit 1
while read -r command; do
  for line in "$command" "--json $command" "--port-template x%i $command"; do
    # shellcheck disable=SC2086 # the line splits into words
    offered=$(completed $line syx/ | tr '\n' ' ')
    if [ "$offered" != "syx/TarnS1V1.23.syx " ]; then
      echo "FAIL: after '$line' the completion offers '$offered', not the .syx file alone"
      status=1
    fi
  done
done < <(sed -n 's/ FILE$//p' <<<"$commands")
offered=$(completed --port "$folder/sy" | tr '\n' ' ')
[ "$offered" = "$folder/syx " ] || {
  echo "FAIL: after --port the completion offers '$offered', not the path"
  status=1
}
[ -z "$(completed --serial '')" ] || {
  echo "FAIL: after --serial the completion offers words"
  status=1
}
exit $status

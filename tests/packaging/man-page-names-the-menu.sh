#!/usr/bin/env bash
# flashdesk(1) describes every item of the window's right-click menu, by the words the menu
# shows, so a new or renamed item cannot go unmentioned.
# Usage: man-page-names-the-menu.sh FLASHDESK_1_GZ STRINGS_H
set -uo pipefail
# The page's text without font changes and with plain dashes.
page=$(zcat "$1" | sed 's/\\f[BIRP]//g; s/\\-/-/g') || {
  echo "FAIL: cannot read $1"
  exit 1
}
items=$(sed -n 's/^constexpr const char\* k[A-Za-z]*\(Item\|Menu\) = "\([^"]*\)".*/\2/p' "$2" |
  tr -d '&')
if [ "$(wc -l <<<"$items")" -lt 6 ]; then
  echo "FAIL: found only these menu items in $2:"$'\n'"$items"
  exit 1
fi
status=0
while read -r item; do
  if ! grep -qF -- "$item" <<<"$page"; then
    echo "FAIL: $1 does not mention the menu item '$item'"
    status=1
  fi
done <<<"$items"
exit $status

#!/usr/bin/env bash
# The Windows installer under Wine: a silent per-user install, then what it left (the three
# files as built, the Start-menu shortcut, the uninstall entry), the installed programs'
# --version, a silent uninstall through the entry's QuietUninstallString and that nothing of
# the install is left while the user's settings and upload history are.
# Usage: tools/windows-installer-check.sh [windows-build-dir]   (made by tools/build-windows.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/wait-for.sh
source "$here/tools/wait-for.sh"
windows=$(cd "${1:-$here/build-windows}" && pwd)
version=$(sed -n 's/^project(FlashDesk VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
name=flashdesk-$version-windows-x64
setup=$windows/$name-setup.exe
export WINEPREFIX=${WINEPREFIX:-$windows/wineprefix}
export WINEDEBUG=-all
# Wine would turn the shortcut into a menu entry of the Linux desktop.
export WINEDLLOVERRIDES=winemenubuilder.exe=d
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\FlashDesk'
settings_key='HKCU\SOFTWARE\TARN-System'

fail() {
  echo "windows-installer-check: $*" >&2
  exit 1
}
[ -f "$setup" ] || fail "no installer $setup (tools/build-windows.sh makes it)"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/flashdesk-setup.XXXXXX")
history=
made_history=
copies=()
cleanup() {
  wine reg delete "$settings_key" /v InstallerCheck /f >/dev/null 2>&1 || true
  # The history as it was, also after an uninstall that took it.
  if [ -n "$made_history" ]; then
    rm -f "$history"
  elif [ -f "$scratch/history.before" ]; then
    mkdir -p "${history%/*}" && cp "$scratch/history.before" "$history"
  fi
  wineserver -k >/dev/null 2>&1 || true
  # Windows deletes the uninstaller's copy of itself at the next start; Wine never starts anew.
  [ ${#copies[@]} -eq 0 ] || rm -rf "${copies[@]}"
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
cd "$scratch"

# wine_to_file NAME SECONDS PROGRAM ARGUMENTS...: Wine's output in NAME.out and NAME.err.
wine_to_file() {
  local name=$1 seconds=$2
  shift 2
  timeout "$seconds" wine "$@" >"$name.out" 2>"$name.err"
}
# unix_path WINDOWS-PATH: where Wine keeps it.
unix_path() {
  timeout 30 winepath -u "$1" >path.out 2>path.err || fail "winepath $1: $(cat path.err)"
  tr -d '\r' <path.out
}
# folder VARIABLE: the Windows path of a folder that cmd knows by that variable.
folder() {
  wine_to_file variable 60 cmd /c echo "%$1%" || fail "cmd: $(cat variable.err)"
  tr -d '\r\n' <variable.out
}
# value NAME: the data of a value in the uninstall entry's listing.
value() {
  sed -n "s/^ *$1 \{1,\}REG_[A-Z_]* \{1,\}//p" entry.out | tr -d '\r'
}

started=$SECONDS
# A new prefix's server restarts while the prefix is made: let it end, then one for every step.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -u >/dev/null 2>&1
  timeout 60 wineserver -w >/dev/null 2>&1 || true
  echo "  Wine prefix made in $((SECONDS - started)) s"
fi
wineserver -p >/dev/null 2>&1 || true # fails when one is running already

local_app_data=$(folder LOCALAPPDATA)
app_data=$(folder APPDATA)
temp_win=$(folder TEMP)
for known in "$local_app_data" "$app_data" "$temp_win"; do
  case $known in "" | %*) fail "cmd knows no LOCALAPPDATA, APPDATA or TEMP: '$known'" ;; esac
done
install_win="$local_app_data\\Programs\\FlashDesk"
install=$(unix_path "$install_win")
programs=$(unix_path "$app_data\\Microsoft\\Windows\\Start Menu\\Programs")
shortcut=$programs/FlashDesk.lnk
state=$(unix_path "$local_app_data\\FlashDesk")
history=$state/history.jsonl
temp=$(unix_path "$temp_win")

# What an earlier, failed run may have left.
rm -rf "$install" "$shortcut"
wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true

# The user's settings and history, which the uninstall must keep.
wine_to_file seed 60 reg add "$settings_key" /v InstallerCheck /t REG_SZ /d kept /f ||
  fail "reg add: $(cat seed.err)"
if [ ! -f "$history" ]; then
  mkdir -p "$state"
  echo '{"check":"a line of history"}' >"$history"
  made_history=1
fi
cp "$history" history.before

echo "== silent install"
wine_to_file install 120 "$setup" /S || fail "the installer ended with $?: $(cat install.err)"
for file in flashdesk.exe flashdesk-cli.exe; do
  cmp -s "$windows/bin/$file" "$install/$file" || fail "$install/$file missing or not as built"
done
cmp -s "$windows/package/$name/README.txt" "$install/README.txt" ||
  fail "$install/README.txt missing or not as built"
[ -f "$install/uninstall.exe" ] || fail "no uninstaller in $install"
echo "  $(find "$install" -type f | wc -l) files in $install_win"

[ -f "$shortcut" ] || fail "no Start-menu shortcut $shortcut"
# Target, icon file and icon index from the shell link's binary layout (MS-SHLLINK).
python3 - "$shortcut" >shortcut.out <<'PY' || fail "the shortcut is no shell link"
import struct, sys
data = open(sys.argv[1], "rb").read()
flags, = struct.unpack_from("<I", data, 20)
icon_index, = struct.unpack_from("<i", data, 56)
at = 76
if flags & 0x1:  # the target's item list
    at += 2 + struct.unpack_from("<H", data, at)[0]
target = ""
if flags & 0x2:  # where the target is: LinkInfo's local base path
    size, = struct.unpack_from("<I", data, at)
    base, = struct.unpack_from("<I", data, at + 16)
    target = data[at + base:data.index(b"\0", at + base)].decode("latin-1")
    at += size
strings = []
for bit in (0x4, 0x8, 0x10, 0x20, 0x40):  # name, relative path, folder, arguments, icon
    if not flags & bit:
        strings.append("")
        continue
    count, = struct.unpack_from("<H", data, at)
    width = 2 if flags & 0x80 else 1
    text = data[at + 2:at + 2 + count * width]
    strings.append(text.decode("utf-16-le" if width == 2 else "latin-1"))
    at += 2 + count * width
print(f"target={target}")
print(f"icon={strings[4]}")
print(f"index={icon_index}")
PY
exe_win="$install_win\\flashdesk.exe"
grep -qixF "target=$exe_win" shortcut.out || fail "the shortcut: $(cat shortcut.out)"
grep -qixF "icon=$exe_win" shortcut.out || fail "the shortcut's icon: $(cat shortcut.out)"
grep -qx 'index=0' shortcut.out || fail "the shortcut's icon index: $(cat shortcut.out)"
echo "  shortcut FlashDesk.lnk to $exe_win, its icon 0"

wine_to_file entry 60 reg query "$uninstall_key" || fail "no uninstall entry: $(cat entry.out)"
expect_value() {
  [ "$(value "$1")" = "$2" ] || fail "uninstall entry $1 is '$(value "$1")', not '$2'"
}
expect_value DisplayName FlashDesk
expect_value DisplayVersion "$version"
expect_value Publisher TARN-System
expect_value DisplayIcon "$exe_win,0"
expect_value InstallLocation "$install_win"
expect_value UninstallString "\"$install_win\\uninstall.exe\""
expect_value QuietUninstallString "\"$install_win\\uninstall.exe\" /S"
expect_value NoModify 0x1
expect_value NoRepair 0x1
estimate=$(($(value EstimatedSize)))
size=$(($(du -sb "$install" | cut -f1) / 1024))
if [ "$estimate" -lt $((size * 9 / 10)) ] || [ "$estimate" -gt $((size * 11 / 10)) ]; then
  fail "uninstall entry EstimatedSize is $estimate KiB, the install $size KiB"
fi
echo "  uninstall entry for $version, $estimate KiB"

wine_to_file window 60 "$install/flashdesk.exe" --version || fail "flashdesk.exe --version ended with $?"
grep -qx "flashdesk $version" window.out || fail "flashdesk.exe --version printed: $(cat window.out)"
wine_to_file cli 60 "$install/flashdesk-cli.exe" --version ||
  fail "flashdesk-cli.exe --version ended with $?"
tr -d '\r' <cli.out | grep -qx "flashdesk-cli $version" ||
  fail "flashdesk-cli.exe --version printed: $(cat cli.out)"
echo "  installed flashdesk.exe and flashdesk-cli.exe print version $version"

echo "== silent uninstall"
# What Windows runs: the entry's command. The uninstaller copies itself away and returns.
quiet=$(value QuietUninstallString)
uninstaller=${quiet#\"}
uninstaller=${uninstaller%%\"*}
ls -d "$temp"/~nsu*.tmp >copies.before 2>/dev/null || true
wine_to_file uninstall 60 "$(unix_path "$uninstaller")" "${quiet##*\" }" ||
  fail "the uninstaller ended with $?: $(cat uninstall.err)"
for copy in "$temp"/~nsu*.tmp; do
  if [ -e "$copy" ] && ! grep -qxF "$copy" copies.before; then copies+=("$copy"); fi
done
wait_for 60 test ! -e "$install" || fail "$install still there 60 s after the uninstall: $(ls -A "$install")"
[ ! -e "$shortcut" ] || fail "the uninstall left the shortcut $shortcut"
status=0
wine_to_file gone 60 reg query "$uninstall_key" || status=$?
[ "$status" -ne 0 ] || fail "the uninstall left the entry $uninstall_key"
wine_to_file kept 60 reg query "$settings_key" /v InstallerCheck ||
  fail "the uninstall removed the settings $settings_key"
cmp -s history.before "$history" || fail "the uninstall changed or removed the history $history"
echo "  folder, shortcut and entry gone; settings and history kept"

echo "windows-installer-check passed in $((SECONDS - started)) s"

#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it and runs what it installed:
# the programs from their installed paths, the man pages, the bash completion, the desktop
# entry and the AppStream metadata. As root (CI) the package is installed with apt and removed
# again afterwards; otherwise it is unpacked into a scratch root and apt only checks that its
# dependencies resolve.
# Usage: tools/package-check.sh [build-dir]   (after tools/setup.sh has installed the tools)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build-package"}
timings=()
step_started=$SECONDS

step() {  # name
  echo "== $1"
  step_started=$SECONDS
}
done_step() {  # label for the timing
  timings+=("$1: $((SECONDS - step_started)) s")
}
fail() {
  echo "package check: $*" >&2
  exit 1
}

command -v dpkg-buildflags >/dev/null || fail "dpkg-buildflags is missing: run tools/setup.sh first"

step "Release build with Debian's hardening flags"
# Debian's compiler and linker flags with every hardening feature, as lintian expects them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
"$here/tools/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
done_step "build"

step "cpack"
rm -f "$build"/flashdesk_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/flashdesk_*_amd64.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "cpack wrote no flashdesk_*_amd64.deb"
fi
deb=${debs[0]}
version=$(dpkg-deb --field "$deb" Version)
upstream=${version%-*}
echo "$(basename "$deb"): $(dpkg-deb --field "$deb" Depends)"
done_step "package"

step "lintian"
lintian --fail-on error --display-info "$deb" 2>&1 | tee "$build/lintian.log" ||
  fail "lintian found errors"
echo "lintian: $(grep -c '^E:' "$build/lintian.log") errors," \
  "$(grep -c '^W:' "$build/lintian.log") warnings"
done_step "lintian"

step "install"
# The files are checked unpacked, so the validators see this package alone.
unpacked=$(mktemp -d)
cleanup() {
  rm -rf "$unpacked"
  if [ "$(id -u)" -eq 0 ] && [ "$was_installed" -eq 0 ]; then
    apt-get purge -y -qq flashdesk >/dev/null
  fi
}
was_installed=$(dpkg-query -W -f='${Status}' flashdesk 2>/dev/null | grep -c "ok installed" || true)
trap cleanup EXIT
dpkg-deb -x "$deb" "$unpacked"
if [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
  installed=
else
  apt-get install --simulate "$deb" >/dev/null || fail "the dependencies do not resolve"
  installed=$unpacked
fi
done_step "install"

step "installed files"
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
for program in flashdesk flashdesk-cli flashdesk-sim; do
  answer=$("${no_display[@]}" "$installed/usr/bin/$program" --version)
  [ "$answer" = "$program $upstream" ] ||
    fail "$program --version says '$answer', not '$program $upstream'"
  help=$("${no_display[@]}" "$installed/usr/bin/$program" --help)
  grep -q "^Usage:" <<<"$help" || fail "$program --help shows no usage"
  page=$installed/usr/share/man/man1/$program.1.gz
  man -l "$page" 2>/dev/null | grep -q "^NAME" || fail "man -l $page shows no page"
done
man -l "$installed/usr/share/man/man1/flashdesk.1.gz" | grep -q dialout ||
  fail "flashdesk(1) does not say how to join the dialout group"

offered=$(bash -c 'source "$1" && complete -p flashdesk-cli >/dev/null &&
  COMP_WORDS=(flashdesk-cli up) COMP_CWORD=1 && _flashdesk_cli && echo "${COMPREPLY[*]}"' \
  _ "$installed/usr/share/bash-completion/completions/flashdesk-cli")
[ "$offered" = upload ] || fail "completing 'flashdesk-cli up' offers '$offered', not 'upload'"

# The desktop entry, the metadata and the icon the entry names, as the software centre sees them.
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate-tree --no-net --pedantic "$unpacked"
grep -q "<release version=\"$upstream\"" "$unpacked"/usr/share/metainfo/*.metainfo.xml ||
  fail "the AppStream metadata does not list release $upstream"
zcat "$unpacked/usr/share/doc/flashdesk/changelog.Debian.gz" | head -n 1 |
  grep -qF "flashdesk ($version)" || fail "changelog.Debian does not start with $version"
for size in 16 22 24 32 48 64 128 256; do
  [ -f "$unpacked/usr/share/icons/hicolor/${size}x${size}/apps/flashdesk.png" ] ||
    fail "no ${size}x${size} icon"
done
done_step "checks"

echo
echo "package check passed: $(basename "$deb")"
printf '  %s\n' "${timings[@]}"

#!/usr/bin/env bash
# Cross-builds flashdesk.exe (the window) and flashdesk-cli.exe for 64-bit Windows with
# mingw-w64: self-contained programs (C and C++ runtimes and winpthread linked in, no DLL to
# ship), packed with a short README into build-windows/flashdesk-<version>-windows-x64.zip and
# into the per-user installer build-windows/flashdesk-<version>-windows-x64-setup.exe (NSIS).
# Usage: tools/build-windows.sh [--tests]   (--tests also builds the core's and the CLI's
# tests, which tools/run-tests.sh runs under Wine)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build-windows
testing=OFF
targets=(flashdesk-cli flashdesk)
if [ "${1:-}" = --tests ]; then
  testing=ON
  targets=(all)
fi
command -v makensis >/dev/null || {
  echo "build-windows: makensis not found; install the Debian package nsis" >&2
  exit 1
}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix \
  -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix \
  -DCMAKE_EXE_LINKER_FLAGS="-static -s" -DFLASHDESK_CORE_ONLY=ON \
  -DBUILD_TESTING=$testing -DFLASHDESK_GTEST_FROM_SOURCE=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

programs=("$build/bin/flashdesk.exe" "$build/bin/flashdesk-cli.exe")
# Only DLLs that every Windows has may be imported.
for exe in "${programs[@]}"; do
  unexpected=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' |
    grep -viE '^(kernel32|msvcrt|advapi32|bcrypt|user32|gdi32|comdlg32|shell32|ole32)\.dll$' |
    tr '\n' ' ' || true)
  if [ -n "$unexpected" ]; then
    echo "build-windows: ${exe##*/} needs DLLs that Windows lacks: $unexpected" >&2
    exit 1
  fi
done

version=$(sed -n 's/^project(FlashDesk VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
name=flashdesk-$version-windows-x64
stage=$build/package/$name
rm -rf "$build/package" "$build/$name.zip" "$build/$name-setup.exe"
mkdir -p "$stage"
cp "${programs[@]}" "$stage/"
# Notepad of older Windows wants CR LF.
sed 's/$/\r/' >"$stage/README.txt" <<TEXT
FlashDesk $version for Windows (64-bit)

Uploads firmware to the TARN speakers on a serial bus. Two programs, each a single file
that needs nothing else: run them from the setup's Start-menu entry or from any folder.

flashdesk.exe is the window: it searches the ports for the speakers at start, lists the
firmware files that fit the chosen model and uploads the ticked one to every speaker.

flashdesk-cli.exe does the same from a Command Prompt: open one in the folder that holds
your syx folder and run

  flashdesk-cli scan                      lists the port found and every speaker
  flashdesk-cli upload syx\\TarnS1V1.23.syx  uploads the image to every speaker
  flashdesk-cli exit                      checks the speakers' software and returns
                                          them to Application mode (--yes answers Yes)

Every command first searches COM0 to COM10 for the speakers, the last working port
first. The port is remembered in the registry: HKEY_CURRENT_USER\\SOFTWARE\\TARN-System,
value ComPort (the same value earlier versions of the program used).

Ctrl-C during an upload stops it before the next block and reports which speakers did
not finish; a second Ctrl-C ends the program at once.

Set FLASHDESK_TRACE=1 to see why a port did not open (set FLASHDESK_TRACE=1 before the
command in the same Command Prompt). Exit status: 0 success, 1 failure (no speakers, a
failed upload, a refused exit), 2 a mistake on the command line.
flashdesk-cli --help lists every option.
TEXT
(cd "$build/package" && cmake -E tar cf "$build/$name.zip" --format=zip "$name")
echo "build-windows: $build/$name.zip"

# VIProductVersion wants four numbers.
file_version=$(echo "$version.0.0.0" | cut -d. -f1-4)
makensis -V2 -DVERSION="$version" -DFILEVERSION="$file_version" -DBIN="$build/bin" \
  -DREADME="$stage/README.txt" -DICON="$build/win32/flashdesk.ico" \
  -DOUT="$build/$name-setup.exe" "$here/packaging/windows/flashdesk.nsi"
echo "build-windows: $build/$name-setup.exe"

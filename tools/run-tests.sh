#!/usr/bin/env bash
# Sets up and runs every test: the normal build, the same tests under AddressSanitizer and
# UBSan, the threaded tests under ThreadSanitizer, each fuzz target for a minute with libFuzzer
# (tools/fuzz.sh), the Windows cross-build (the Qt-free core's
# and the CLI's tests, flashdesk-cli.exe under Wine, tools/wine-e2e.sh, the window flashdesk.exe
# driven by clicks and compared with the Qt window, tools/wine-window-e2e.sh, and the installer,
# tools/windows-installer-check.sh) and the Debian package (tools/package-check.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
summary=()
passed=0
failed=0

run_ctest() {  # dir label [ctest args...]
  local dir=$1 label=$2 junit result=0 total bad
  shift 2
  echo "== $label"
  junit=$(mktemp --suffix=.xml)
  ctest --test-dir "$dir" --output-on-failure --output-junit "$junit" -j "$jobs" "$@" || result=1
  # The counts from the report's <testsuite tests=".." failures=".." errors=".."> attributes.
  read -r total bad < <(python3 - "$junit" <<'PY' || true
import sys, xml.etree.ElementTree as ET
try:
    suite = ET.parse(sys.argv[1]).getroot()
    suite = suite if suite.tag == "testsuite" else suite.find("testsuite")
    count = lambda name: int(suite.get(name, 0))
    print(count("tests"), count("failures") + count("errors"))
except (ET.ParseError, OSError, AttributeError):
    pass
PY
)
  rm -f "$junit"
  if [ -z "${total:-}" ] || [ "$total" -eq 0 ]; then
    summary+=("$label: no tests ran")
    return 1
  fi
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if [ "$result" -eq 0 ] && [ "$bad" -eq 0 ]; then
    summary+=("$label: $((total - bad)) passed")
  else
    summary+=("$label: $bad of $total FAILED")
    return 1
  fi
}

status=0
FLASHDESK_MORE_PACKAGES="wine wine64" "$here/tools/setup.sh" "$here/build"
run_ctest "$here/build" "tests" || status=1

"$here/tools/setup.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug \
  -DFLASHDESK_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS=suppressions="$here/tools/lsan.supp":print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest "$here/build-asan" "tests under ASan+UBSan" || status=1

"$here/tools/setup.sh" "$here/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DFLASHDESK_SANITIZE=thread
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions="$here/tools/tsan.supp" \
  run_ctest "$here/build-tsan" "threaded tests under TSan" -L threaded || status=1

echo "== fuzzing: each target for 60 s"
fuzz_log=$(mktemp)
"$here/tools/fuzz.sh" 60 | tee "$fuzz_log" || status=1
# Its last line: "fuzzing: N targets, no findings" or "fuzzing: K of N targets with findings".
fuzz_summary=$(tail -1 "$fuzz_log")
rm -f "$fuzz_log"
fuzz_targets=$(echo "$fuzz_summary" | sed -n 's/^fuzzing: \([0-9]* of \)\{0,1\}\([0-9]*\) targets.*/\2/p')
fuzz_bad=$(echo "$fuzz_summary" | sed -n 's/^fuzzing: \([0-9]*\) of .*/\1/p')
if [ -z "$fuzz_targets" ]; then
  summary+=("fuzzing: FAILED before any target ran")
  failed=$((failed + 1))
else
  passed=$((passed + fuzz_targets - ${fuzz_bad:-0}))
  failed=$((failed + ${fuzz_bad:-0}))
  summary+=("$fuzz_summary")
fi

echo "== Windows: the cross-built tests, both programs and the installer under Wine"
export WINEPREFIX="$here/build-windows/wineprefix" WINEDEBUG=-all
# Every gtest program of the Windows build, each under Wine; counted like ctest's.
run_wine_tests() {
  local exe log code good bad result=0
  # A new prefix first, and its server gone: the server restarts while a prefix is made, which
  # a program connecting meanwhile sees as "wine client error". Then one server for all.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -u >/dev/null 2>&1
    timeout 60 wineserver -w >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || true # its output kept out of the tests'
  for exe in "$here"/build-windows/bin/*_tests.exe; do
    log=$(mktemp)
    code=0
    (cd "$(dirname "$exe")" && wine "$exe" --gtest_brief=1) >"$log" 2>&1 || code=$?
    # Wine's own connection lost before the program ran is no test result: run it once more.
    if grep -q '^wine client error' "$log" && ! grep -q '^\[==========\]' "$log"; then
      code=0
      (cd "$(dirname "$exe")" && wine "$exe" --gtest_brief=1) >"$log" 2>&1 || code=$?
    fi
    good=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log")
    bad=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below.*/\1/p' "$log")
    # A program that died or ended badly counts as one failure.
    [ "$code" -eq 0 ] || [ -n "$bad" ] || bad=1
    passed=$((passed + ${good:-0}))
    failed=$((failed + ${bad:-0}))
    if [ -n "$bad" ]; then
      echo "${exe##*/} under Wine:"
      cat "$log"
      result=1
    fi
    rm -f "$log"
  done
  wineserver -k >/dev/null 2>&1 || true
  return $result
}
if "$here/tools/build-windows.sh" --tests; then
  summary+=("Windows cross-build: passed")
  before=("$passed" "$failed")
  if run_wine_tests; then
    summary+=("tests under Wine: $((passed - before[0])) passed")
  else
    summary+=("tests under Wine: $((failed - before[1])) FAILED")
    status=1
  fi
  if "$here/tools/wine-e2e.sh" "$here/build-windows" "$here/build"; then
    summary+=("flashdesk-cli.exe under Wine end to end: passed")
  else
    summary+=("flashdesk-cli.exe under Wine end to end: FAILED")
    status=1
  fi
  if "$here/tools/wine-window-e2e.sh" "$here/build-windows" "$here/build"; then
    summary+=("flashdesk.exe under Wine by clicks: passed")
  else
    summary+=("flashdesk.exe under Wine by clicks: FAILED")
    status=1
  fi
  if "$here/tools/windows-installer-check.sh" "$here/build-windows"; then
    summary+=("Windows installer under Wine: passed")
  else
    summary+=("Windows installer under Wine: FAILED")
    status=1
  fi
else
  summary+=("Windows cross-build: FAILED")
  status=1
fi

echo "== Debian package"
if "$here/tools/package-check.sh"; then
  summary+=("Debian package: passed")
else
  summary+=("Debian package: FAILED")
  status=1
fi

echo
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
exit $status

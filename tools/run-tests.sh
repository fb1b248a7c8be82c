#!/usr/bin/env bash
# Sets up and runs every test: the normal build, the same tests under AddressSanitizer and
# UBSan, the threaded tests under ThreadSanitizer, a Windows cross-build of the Qt-free
# core and its tests, and the Debian package.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
summary=()
passed=0
failed=0

run_ctest() {  # dir label [ctest args...]
  local dir=$1 label=$2 log result=0
  shift 2
  echo "== $label"
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" 2>&1 | tee "$log" || result=1
  # "100% tests passed, 0 tests failed out of 42"
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [ -z "$line" ]; then
    summary+=("$label: no tests ran")
    return 1
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
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
"$here/tools/setup.sh" "$here/build"
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

echo "== Windows cross-build of the core"
if cmake -S "$here" -B "$here/build-mingw" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix \
  -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix -DFLASHDESK_CORE_ONLY=ON \
  -DFLASHDESK_GTEST_FROM_SOURCE=ON >/dev/null && cmake --build "$here/build-mingw" -j "$jobs"; then
  summary+=("Windows cross-build: passed")
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

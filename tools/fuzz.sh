#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (libFuzzer, AddressSanitizer, UBSan) into
# build-fuzz/ and runs each for a bounded time from its committed corpus, as many at once as
# there are cores. Fails on any finding: a crash, a leak, a UBSan report, an input that takes
# over 10 s or a run over 2 GB. Prints each target's executions.
# Usage: tools/fuzz.sh [seconds per target, default 60]
# A finding stays in build-fuzz/findings/TARGET/; replay it with build-fuzz/bin/TARGET_fuzzer
# FILE, and with the fix commit it as fuzz/corpus/TARGET/regress-WHAT, so that every test build
# replays it (ctest -L fuzz-corpus).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=$here/build-fuzz
jobs=$(nproc)
# Each target with the longest input worth trying: a few bursts beyond the 4096-byte ring, a
# long history line, a settings file, an image with its header and a few blocks, a command line.
targets=(message_layer:8192 history_line:4096 settings_file:4096 image_info:4096 sim_options:1024)

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DFLASHDESK_FUZZ=ON \
  -DFLASHDESK_CORE_ONLY=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzzers

run_target() {  # name max_len
  local name=$1 max_len=$2
  local work=$build/corpus/$name findings=$build/findings/$name
  rm -rf "$findings"
  mkdir -p "$work" "$findings"
  # New inputs go to the scratch corpus; the committed one is only read.
  "$build/bin/${name}_fuzzer" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "$here/fuzz/corpus/$name" >"$build/logs/$name.log" 2>&1
}

mkdir -p "$build/logs"
rm -f "$build"/logs/*.status
pids=()
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  (
    code=0
    run_target "${target%%:*}" "${target##*:}" || code=$?
    echo "$code" >"$build/logs/${target%%:*}.status"
  ) &
  pids+=($!)
done
wait "${pids[@]}" || true

bad=0
for target in "${targets[@]}"; do
  name=${target%%:*}
  log=$build/logs/$name.log
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  finding=$(find "$build/findings/$name" -type f | head -1)
  if [ "$(cat "$build/logs/$name.status" 2>/dev/null || echo 1)" -eq 0 ] && [ -z "$finding" ] &&
    ! grep -q 'runtime error:' "$log"; then
    echo "$name: ${executions:-?} executions, no findings"
  else
    bad=$((bad + 1))
    echo "$name: FINDING after ${executions:-?} executions: ${finding:-see $log}"
    grep -E -A12 '^==[0-9]+==ERROR|runtime error:|check failed|ALARM|out-of-memory' "$log" | head -40
  fi
done
if [ "$bad" -eq 0 ]; then
  echo "fuzzing: ${#targets[@]} targets, no findings"
else
  echo "fuzzing: $bad of ${#targets[@]} targets with findings"
  exit 1
fi

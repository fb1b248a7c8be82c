#!/usr/bin/env bash
# shellcheck disable=SC2016  # $1 and $2 in the substitutions are perl's
# Puts hand-made faults into a scratch copy of the tree, one at a time, and runs the whole test
# suite against each. A fault the suite lets pass is a hole in it: every one must turn it red.
# Usage: tools/fault-check.sh [pattern]   (only the faults whose description matches the
# extended regular expression)
# FAULT_CHECK_DIR keeps the scratch copy and its build there between runs; JOBS sets the
# parallelism (2).
set -euo pipefail

# One fault: the file, a perl substitution on the whole file, what it breaks.
FAULTS=()
fault() { FAULTS+=("$1" "$2" "$3"); }

fault engine/Pacing.h 's/kBlockPauseMs = 100;/kBlockPauseMs = 90;/' \
  'block pause 100 -> 90 ms'
fault engine/Pacing.h 's/kStartPauseMs = 1000;/kStartPauseMs = 900;/' \
  'pause after the upload start 1000 -> 900 ms'
fault engine/Pacing.h 's/kTailPauseMs = 500;/kTailPauseMs = 400;/' \
  'pause after the last block 500 -> 400 ms'
fault engine/NetworkScan.cpp 's/kPingWindowMs = 200;/kPingWindowMs = 150;/' \
  'ping window 200 -> 150 ms'
fault engine/NetworkScan.cpp 's/kIdentifyWindowMs = 300;/kIdentifyWindowMs = 250;/' \
  'identify window 300 -> 250 ms'
fault engine/NetworkScan.cpp 's/kIdentifyPasses = 5;/kIdentifyPasses = 4;/' \
  'identification passes 5 -> 4'
fault engine/NetworkScan.cpp 's/kBootSignalWindowMs = 2000;/kBootSignalWindowMs = 1500;/' \
  'boot-signal window 2000 -> 1500 ms'
fault engine/NetworkScan.cpp 's/kApplicationModePauseMs = 2000;/kApplicationModePauseMs = 1000;/' \
  'pause after the Application-mode command 2000 -> 1000 ms'
fault engine/NetworkScan.cpp 's/bool savedFirst = portNumber >= 0 .*;/bool savedFirst = false;/' \
  'scan order: the saved port is not tried first'
fault engine/SpeakerNetwork.h 's/kAttempts = 3;/kAttempts = 2;/' \
  'upload attempts 3 -> 2'
fault engine/ExitChecks.cpp 's/if \(CountMissingBoot\(\) > 0\)/if (CountMissingBoot() > 1)/' \
  'exit check: one speaker without a boot loader may be left'
fault protocol/Frame.cpp 's/\(x \+ k \+ 2\) & 0x7F/(x + k + 1) \& 0x7F/' \
  'frame checksum off by one'
fault protocol/Protocol.cpp 's/sum \+ bytes\[i\]/sum ^ bytes[i]/' \
  'data checksum as XOR instead of sum'
fault protocol/Protocol.h 's/kFileBytesPerBlock = 66;/kFileBytesPerBlock = 64;/' \
  'block size 66 -> 64 bytes'
fault protocol/MessageLayer.cpp 's/const bool closed = inFrame;/const bool closed = true;/' \
  'a terminator outside a frame closes one'
fault log/ErrorLog.cpp 's/Speaker\(s\) Passed:/Speaker(s) passed:/' \
  'report text: "Passed" lower case'
fault log/ReplyCode.h 's/code <= kReplyCountError;/code < kReplyCountError;/' \
  'transfer-error rule: COUNT ERROR is no error'
fault catalog/FirmwareCatalog.cpp 's/(  if \(withBootFiles\)\n.*\n)(  CollectMatches\(folder, patterns.testSoftware.*\n)/$2$1/' \
  'catalog grouping: test software before boot loaders'
fault catalog/FirmwareCatalog.h 's/kMaxEntries = 60;/kMaxEntries = 50;/' \
  'catalog limit 60 -> 50 entries'
fault window/UploadDialog.cpp 's/frontEnd.Post\(\[this, result\] \{ ShowUploadResult\(result\); \}\);/ShowUploadResult(result);/' \
  'the upload result applied on the upload thread, not posted'

here=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}
filter=${1:-}
export QT_QPA_PLATFORM=offscreen LC_ALL=C

scratch=${FAULT_CHECK_DIR:-$(mktemp -d /tmp/flashdesk-faults.XXXXXX)}
src=$scratch/src
build=$scratch/build
log=$scratch/log
pristine=$scratch/pristine
mkdir -p "$src"
# The cache then serves every scratch copy, wherever it lies.
export CCACHE_BASEDIR=$src CCACHE_NOHASHDIR=true

faulty=""
cleanup() {
  # A kept copy is left without the fault.
  if [ -n "$faulty" ]; then cp "$pristine" "$src/$faulty"; fi
  if [ -z "${FAULT_CHECK_DIR:-}" ]; then rm -rf "$scratch"; fi
}
trap cleanup EXIT

# The tracked and new files of the working tree, so that tests not yet committed count. Only
# files that differ are copied: a kept build then compiles just what changed, and a file is
# never given back an older time stamp than the object built from a fault.
(cd "$here" && git ls-files -co --exclude-standard | while read -r file; do
  if [ -f "$file" ]; then echo "$file"; fi
done | sort) >"$scratch/files"
(cd "$src" && find . -type f | sed 's|^\./||' | sort | comm -13 "$scratch/files" - |
  xargs -r -d '\n' rm -f)
while read -r file; do
  if ! cmp -s "$here/$file" "$src/$file"; then
    mkdir -p "$(dirname "$src/$file")"
    cp "$here/$file" "$src/$file"
  fi
done <"$scratch/files"

build_tree() { cmake --build "$build" -j "$jobs" >"$log" 2>&1; }
suite_passes() {
  ctest --test-dir "$build" -j "$jobs" --timeout 600 --stop-on-failure >>"$log" 2>&1
}

start=$SECONDS
echo "Scratch copy in $scratch; building and running the unchanged suite..."
# Each fault and its undoing rebuild the same files: ccache, where there is one, makes that cheap.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if ! cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  >"$log" 2>&1 || ! build_tree || ! suite_passes; then
  tail -n 30 "$log"
  echo "The unchanged tree does not build or its suite fails: no fault can be judged."
  exit 2
fi
echo "Unchanged suite green after $((SECONDS - start)) s."

# Puts one fault in, runs the suite against it and takes the fault out again; sets result.
judge() {
  local file=$1 substitution=$2 first
  if [ ! -f "$src/$file" ]; then
    result="NO SUCH FILE"
    return
  fi
  cp "$src/$file" "$pristine"
  faulty=$file
  perl -0pi -e "$substitution" "$src/$file"
  if cmp -s "$src/$file" "$pristine"; then
    result="DOES NOT APPLY"
  elif ! build_tree; then
    result="DOES NOT BUILD"
  elif suite_passes; then
    result="MISSED"
  else
    first=$(sed -n '/The following tests FAILED/{n;p;q}' "$log" | sed -E 's/^\s*[0-9]+ - //')
    result="caught${first:+ by $first}"
  fi
  # Restored with a fresh time stamp, so the next build compiles the file again.
  cp "$pristine" "$src/$file"
  faulty=""
}

results=()
bad=0
count=0
for ((i = 0; i < ${#FAULTS[@]}; i += 3)); do
  description=${FAULTS[i + 2]}
  if [ -n "$filter" ] && ! [[ $description =~ $filter ]]; then continue; fi
  count=$((count + 1))
  fault_start=$SECONDS
  judge "${FAULTS[i]}" "${FAULTS[i + 1]}"
  [[ $result == caught* ]] || bad=$((bad + 1))
  results+=("$(printf '%-58s %4ss  %s' "$description" $((SECONDS - fault_start)) "$result")")
  echo "${results[-1]}"
done

echo
echo "$count faults, $((count - bad)) caught, $bad not caught or not applied; $((SECONDS - start)) s"
printf '%s\n' "${results[@]}"
[ "$bad" -eq 0 ]

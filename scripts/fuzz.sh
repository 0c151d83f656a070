#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/Fuzz*.cpp) with clang in B/fuzz, with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for SECONDS
# on a working copy of its seed corpus (B/fuzz/corpus/<target>; the seeds in
# fuzz/corpus stay as they are). A crash, leak or sanitizer report leaves its
# input in B/fuzz/findings/<target>/ and fails the run; copy it into
# fuzz/corpus/<target>/ as a regression case once it is fixed.
# The decoders take inputs of up to 1 MiB, so that long streams and the
# growth of their output are reached; FuzzLargeImage makes images of up to
# 32 MiB out of small inputs; the rest stay at 16 KiB.
# Usage: fuzz.sh BUILD_DIR [SECONDS]
set -uo pipefail
B=${1:?build folder}
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
tree=$B/fuzz

if [ ! -f "$tree/build.ninja" ]; then
  cmake -S "$here" -B "$tree" -G Ninja \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKWO_FUZZ=ON -DKWO_SANITIZE=ON \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null || exit 1
fi
cmake --build "$tree" -j 2 --target kwo_fuzzers || exit 1

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
printf '%-14s %10s %8s %8s %8s %9s\n' target executions exec/s coverage features findings
for seeds in "$here"/fuzz/corpus/*/; do
  name=$(basename "$seeds")
  binary=$tree/fuzz/$name
  [ -x "$binary" ] || { echo "$name: no target built for fuzz/corpus/$name" >&2; status=1; continue; }
  work=$tree/corpus/$name findings=$tree/findings/$name log=$tree/$name.log
  mkdir -p "$work" "$findings"
  cp -n "$seeds"* "$work"/ 2>/dev/null
  # FuzzLargeImage's inputs are slow to run (megabytes each), so libFuzzer
  # would take minutes to let them grow past a few bytes: no length control.
  len_control=100
  case $name in
    FuzzDecode | FuzzPayload) max_len=1048576 ;;
    FuzzLargeImage) max_len=4096 len_control=0 ;;
    *) max_len=16384 ;;
  esac
  "$binary" -max_total_time="$seconds" -print_final_stats=1 -max_len=$max_len -len_control=$len_control \
    -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" "$work" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  found=$(find "$findings" -type f | wc -l)
  printf '%-14s %10s %8s %8s %8s %9s\n' "$name" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$found"
  if [ $rc -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    echo "  $name failed (exit $rc); log: $log" >&2
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -5 >&2
  fi
done
exit $status

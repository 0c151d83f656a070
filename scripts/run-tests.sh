#!/usr/bin/env bash
# Runs the native suite (sanitizers) and the Windows suite (Wine, in Xvfb).
# Prints each runner's summary; exits non-zero if any test failed.
set -uo pipefail
B=${1:?build folder}
here=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)
status=0

# run_suite NAME TREE [WRAPPER...]: one ctest run, its log kept beside the tree.
run_suite() {
  local name=$1 tree=$2
  shift 2
  local log=$B/$name-tests.log
  echo "== $name tests"
  if "$@" ctest --test-dir "$tree" -j "$jobs" --timeout 300 --output-on-failure >"$log" 2>&1; then
    sed -n '/tests passed/,$p' "$log"
  else
    status=1
    # The failing cases with their output, then the summary.
    awk '/\*\*\*Failed|\*\*\*Exception|\*\*\*Timeout|Not Run/{show=1} /^ *[0-9]+\/[0-9]+ Test/{if(!/Failed|Exception|Timeout|Not Run/)show=0} show' "$log" | head -200
    sed -n '/tests passed/,$p' "$log"
    echo "(full log: $log)"
  fi
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
run_suite native "$B/asan"

"$here/wine-prefix.sh"
run_suite windows "$B/win32" "$here/with-wine.sh"

exit $status

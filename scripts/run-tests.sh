#!/usr/bin/env bash
# Runs the native suite (sanitizers), then the Windows suite of every
# architecture that this host runs under Wine (in Xvfb). Whether it does is
# found out by starting a trivial program of that architecture;
# KWO_WINE_ARCHS (for example KWO_WINE_ARCHS=x86_64) limits the run to the
# architectures named. Prints each runner's summary and a closing one; exits
# non-zero if a suite failed or no Windows suite could run at all.
set -uo pipefail
B=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-arch.sh"
jobs=$(nproc)
status=0
summary=()

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
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  summary+=("$(printf '%-18s %s' "$name:" "${line:-no summary (see $log)}")")
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
run_suite native "$B/asan"

windows_ran=0
for arch in $(wine_wanted_archs); do
  if ! wine_can_run "$arch" "$B"; then
    echo "== windows-$arch tests: not run: this host cannot run $arch Windows programs ($wine_why)"
    summary+=("$(printf '%-18s %s' "windows-$arch:" "not run ($wine_why)")")
    continue
  fi
  windows_ran=$((windows_ran + 1))
  run_suite "windows-$arch" "$(wine_arch_tree "$B" "$arch")" "$here/with-wine.sh"
done

echo "== summary"
printf '%s\n' "${summary[@]}"
if [ "$windows_ran" -eq 0 ]; then
  echo "FAILED: no Windows suite could run on this host"
  status=1
fi
exit $status

#!/usr/bin/env bash
# `make demo`: runs the demo KwoWardenSetup.exe under Wine and tells what
# happened: the demo installer's report, the launcher's exit code, and whether
# the extraction folder was removed. Then renders the progress window at 57 %
# into BUILD/window.png. Runs the x86 (i686) launcher where this host runs it,
# otherwise the x64 one, and says which. Uses the user's X display when there
# is one, otherwise a private Xvfb.
# Usage: demo.sh BUILD-FOLDER
set -uo pipefail
B=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-arch.sh"

if [ -z "${KWO_DEMO_ARCH:-}" ]; then
  for arch in $(wine_wanted_archs); do
    if wine_can_run "$arch" "$B"; then
      KWO_DEMO_ARCH=$arch
      break
    fi
    echo "(this host cannot run the $arch launcher: $wine_why)"
  done
  [ -n "${KWO_DEMO_ARCH:-}" ] || { echo "demo: this host runs no Windows launcher under Wine" >&2; exit 1; }
  echo "(running the $KWO_DEMO_ARCH launcher)"
  export KWO_DEMO_ARCH
fi
wine_use "$KWO_DEMO_ARCH" "$B"
tree=$(wine_arch_tree "$B" "$KWO_DEMO_ARCH")
wine() { "$KWO_WINE" "$@"; }
winepath() { "$KWO_WINE" winepath "$@"; }

launcher=$tree/KwoWardenSetup.exe
shot=$tree/demo/KwoWindowShot.exe
png_tool=$tree/res/kwo-bmp2png
for f in "$launcher" "$shot" "$png_tool"; do
  [ -e "$f" ] || { echo "demo: $f is missing; run 'make' first" >&2; exit 1; }
done

run_demo() {
  local report=$B/demo-report.txt bmp=$B/window.bmp
  rm -f "$report" "$bmp"
  echo "== running $launcher"
  local start end rc
  start=$(date +%s.%N)
  KWO_DEMO_REPORT=$(winepath -w "$report" 2>/dev/null) wine "$launcher" >"$B/demo-stdout.txt"
  rc=$?
  end=$(date +%s.%N)
  echo "== the demo installer's report (its standard output)"
  if [ -s "$B/demo-stdout.txt" ]; then
    tr -d '\r' <"$B/demo-stdout.txt"
  else
    echo "(nothing: the installer did not run)"
  fi
  if [ -s "$report" ] && cmp -s "$report" "$B/demo-stdout.txt"; then
    echo "(the report file $report holds the same text)"
  elif [ -s "$report" ]; then
    echo "== the report file $report"
    tr -d '\r' <"$report"
  fi
  echo "== result"
  echo "launcher exit code: $rc"
  awk -v s="$start" -v e="$end" 'BEGIN { printf "run time: %.1f s (the installer shows its report for 3 s)\n", e - s }'
  local folder
  folder=$(sed -n 's/^Current folder: //p' "$report" 2>/dev/null | tr -d '\r')
  if [ -z "$folder" ]; then
    folder='C:\users\'"$(id -un)"'\Temp\KwoWarden.tmp'
  fi
  local unix_folder
  unix_folder=$(winepath -u "$folder" 2>/dev/null)
  if [ -n "$unix_folder" ] && [ ! -e "$unix_folder" ]; then
    echo "extraction folder $folder: removed"
  else
    echo "extraction folder $folder: STILL THERE"
    [ "$rc" -ne 0 ] || rc=1
  fi

  echo "== rendering the progress window"
  # A Wine virtual desktop draws the window's frame itself, whatever the
  # window manager, so the picture shows what Windows shows.
  wine explorer /desktop=KwoWardenShot,360x160 "$shot" "$(winepath -w "$bmp")"
  if [ -s "$bmp" ] && "$png_tool" "$bmp" "$B/window.png"; then
    rm -f "$bmp"
    echo "window picture: $B/window.png"
  else
    echo "window picture: FAILED"
    rc=1
  fi
  return "$rc"
}

if [ -n "${KWO_DEMO_INNER:-}" ]; then
  run_demo
  exit $?
fi
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "(using the X display $DISPLAY)"
  run_demo
  rc=$?
  wineserver -w
  exit $rc
fi
echo "(no X display: using Xvfb)"
KWO_DEMO_INNER=1 exec "$here/with-wine.sh" "$0" "$B"

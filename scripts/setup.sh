#!/usr/bin/env bash
# `make setup PAYLOAD=dir`: builds a launcher of each architecture that
# carries the files of dir (any absolute or relative path) and prints their
# paths, one a line, the x86 one last:
#   BUILD/win64/setup/<name of dir>/KwoWardenSetup.exe
#   BUILD/win32/setup/<name of dir>/KwoWardenSetup.exe
# Usage: setup.sh BUILD-FOLDER DIR
set -euo pipefail
B=$(cd "${1:?build folder}" && pwd)
payload=${2:-}
if [ -z "$payload" ]; then
  echo "usage: make setup PAYLOAD=dir   (a folder whose files the setup program carries;" >&2
  echo "       it should hold KwoWardenInstaller.exe, which the setup program starts)" >&2
  exit 2
fi
if [ ! -d "$payload" ]; then
  echo "setup: '$payload' is not a folder" >&2
  exit 2
fi
dir=$(cd "$payload" && pwd)
if [ ! -f "$dir/KwoWardenInstaller.exe" ]; then
  echo "setup: note: '$dir' holds no KwoWardenInstaller.exe; the setup program will report" >&2
  echo "       \"Unable to start installation program.\" after extracting" >&2
fi
name=$(basename "$dir")
[ "$name" != "/" ] || name=root
built=()
for tree in win64 win32; do
  cmake -S "$(dirname "$0")/.." -B "$B/$tree" -DKWO_SETUP_PAYLOAD="$dir" >/dev/null
  cmake --build "$B/$tree" --target KwoWardenSetup-custom -j "${JOBS:-2}" >&2
  out=$B/$tree/setup/$name/KwoWardenSetup.exe
  [ -f "$out" ] || { echo "setup: the $tree launcher was not built" >&2; exit 1; }
  built+=("$out")
done
printf '%s\n' "${built[@]}"

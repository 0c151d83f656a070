#!/usr/bin/env bash
# Release folder and tarball: the native and the Windows packer, both stubs
# and the README, checked to work together before they are packed.
# Usage: dist.sh BUILD_DIR   (after `make all`; writes BUILD_DIR/dist/)
set -euo pipefail
B=${1:?build folder}
here=$(cd "$(dirname "$0")/.." && pwd)

# cache_value TREE NAME: a value of a tree's CMake cache (its tools).
cache_value() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }

kwz=$B/host/kwz
kwz_exe=$B/win32/kwz.exe
# The stubs by architecture: the name each has in the release.
declare -A stubs=([win32]=KwoWardenSetup-stub.exe [win64]=KwoWardenSetup-stub-x64.exe)
for f in "$kwz" "$kwz_exe" "$B/win32/KwoWardenSetup-stub.exe" "$B/win64/KwoWardenSetup-stub.exe"; do
  [ -f "$f" ] || { echo "dist: $f is missing; run make first" >&2; exit 1; }
done

version=$("$kwz" --version | sed -n 's/^kwz //p')
name=kwo-warden-setup-$version
out=$B/dist/$name
rm -rf "$out" "$B/dist/$name.tar.gz"
mkdir -p "$out"

# The packers without their symbols and debug sections; the stubs as built,
# since they are what the tests ran.
"$(cache_value "$B/host" CMAKE_STRIP)" -o "$out/kwz" "$kwz"
"$(cache_value "$B/win32" CMAKE_STRIP)" -o "$out/kwz.exe" "$kwz_exe"
for tree in "${!stubs[@]}"; do
  cp "$B/$tree/KwoWardenSetup-stub.exe" "$out/${stubs[$tree]}"
done
sed "s/@VERSION@/$version/" "$here/docs/dist-README.txt" > "$out/README.txt"

# Smoke test of what ships: pack a folder into each stub and read it back.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/product"
printf 'installer\n' > "$work/product/KwoWardenInstaller.exe"
printf 'data\n' > "$work/product/data.txt"
for stub in "${stubs[@]}"; do
  "$out/kwz" stamp -q "$out/$stub" "$work/product" "$work/setup.exe"
  "$out/kwz" list -q "$work/setup.exe" | grep -q 'KwoWardenInstaller.exe' ||
    { echo "dist: the stamped $stub does not list its payload" >&2; exit 1; }
done

(cd "$out" && sha256sum kwz kwz.exe $(printf '%s\n' "${stubs[@]}" | sort) > SHA256SUMS)
# Reproducible archive: fixed order, owner and times.
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -C "$B/dist" -cf - "$name" |
  gzip -n -9 > "$B/dist/$name.tar.gz"

echo "release folder: $out"
ls -l "$out" | sed -n '2,$p'
echo "tarball: $B/dist/$name.tar.gz ($(stat -c %s "$B/dist/$name.tar.gz") bytes)"

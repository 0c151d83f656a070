#!/usr/bin/env bash
# Release folder and tarball: the native and the Windows packer, the stub and
# the README, checked to work together before they are packed.
# Usage: dist.sh BUILD_DIR   (after `make all`; writes BUILD_DIR/dist/)
set -euo pipefail
B=${1:?build folder}
here=$(cd "$(dirname "$0")/.." && pwd)

kwz=$B/host/kwz
kwz_exe=$B/win32/kwz.exe
stub=$B/win32/KwoWardenSetup-stub.exe
for f in "$kwz" "$kwz_exe" "$stub"; do
  [ -f "$f" ] || { echo "dist: $f is missing; run make first" >&2; exit 1; }
done

version=$("$kwz" --version | sed -n 's/^kwz //p')
name=kwo-warden-setup-$version
out=$B/dist/$name
rm -rf "$out" "$B/dist/$name.tar.gz"
mkdir -p "$out"

# The packers without their symbols and debug sections; the stub as built,
# since it is what the tests ran.
strip -o "$out/kwz" "$kwz"
i686-w64-mingw32-strip -o "$out/kwz.exe" "$kwz_exe"
cp "$stub" "$out/KwoWardenSetup-stub.exe"
sed "s/@VERSION@/$version/" "$here/docs/dist-README.txt" > "$out/README.txt"

# Smoke test of what ships: pack a folder into the stub and read it back.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/product"
printf 'installer\n' > "$work/product/KwoWardenInstaller.exe"
printf 'data\n' > "$work/product/data.txt"
"$out/kwz" stamp -q "$out/KwoWardenSetup-stub.exe" "$work/product" "$work/setup.exe"
"$out/kwz" list -q "$work/setup.exe" | grep -q 'KwoWardenInstaller.exe' ||
  { echo "dist: the stamped stub does not list its payload" >&2; exit 1; }

(cd "$out" && sha256sum kwz kwz.exe KwoWardenSetup-stub.exe > SHA256SUMS)
# Reproducible archive: fixed order, owner and times.
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -C "$B/dist" -cf - "$name" |
  gzip -n -9 > "$B/dist/$name.tar.gz"

echo "release folder: $out"
ls -l "$out" | sed -n '2,$p'
echo "tarball: $B/dist/$name.tar.gz ($(stat -c %s "$B/dist/$name.tar.gz") bytes)"

#!/usr/bin/env bash
# Release folder and tarball: what `cmake --install` puts into a prefix (the
# packer for Linux and Windows, both stubs, the CMake package, README,
# LICENSE and notices), checked to work together, with SHA256SUMS. The
# tarball is reproducible: the same commit gives the same bytes, whenever and
# wherever it is built. Every time in it is SOURCE_DATE_EPOCH, by default the
# time of the checked-out commit.
# Usage: dist.sh BUILD_DIR   (after `make all`; writes BUILD_DIR/dist/)
set -euo pipefail
B=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)

for f in "$B/host/kwz" "$B/win32/kwz.exe" "$B/win32/KwoWardenSetup-stub.exe" "$B/win64/KwoWardenSetup-stub.exe"; do
  [ -f "$f" ] || { echo "dist: $f is missing; run make first" >&2; exit 1; }
done
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$here" log -1 --format=%ct 2>/dev/null) ||
    { echo "dist: $here is not a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git -C "$here" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "dist: warning: the checkout has uncommitted changes; the release is not the commit's" >&2
fi

version=$("$B/host/kwz" --version | sed -n 's/^kwz //p')
name=kwo-warden-setup-$version
out=$B/dist/$name
rm -rf "$out" "$B/dist/$name.tar.gz"
mkdir -p "$B/dist"
# kwz stripped on the way; the Windows programs are linked stripped and
# without a time stamp.
cmake --install "$B/host" --prefix "$out" --strip >/dev/null

# Smoke test of what ships: pack a folder into each stub and check it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/product"
printf 'installer\n' > "$work/product/KwoWardenInstaller.exe"
printf 'data\n' > "$work/product/data.txt"
for stub in "$out"/share/kwo-warden-setup/*.exe; do
  "$out/bin/kwz" stamp -q "$stub" "$work/product" "$work/setup.exe"
  "$out/bin/kwz" verify -q "$work/setup.exe" "$work/product" >/dev/null ||
    { echo "dist: the program stamped from $stub does not carry the folder" >&2; exit 1; }
done

(cd "$out" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
# Reproducible archive: sorted entries, no owner, fixed modes and times.
tar --format=gnu --sort=name --owner=0 --group=0 --numeric-owner --mode='u=rwX,go=rX' \
  --mtime="@$SOURCE_DATE_EPOCH" -C "$B/dist" -cf - "$name" | gzip -n -9 > "$B/dist/$name.tar.gz"

echo "release folder: $out"
(cd "$out" && find . -type f -printf '%P\n' | LC_ALL=C sort)
echo "tarball: $B/dist/$name.tar.gz ($(stat -c %s "$B/dist/$name.tar.gz") bytes)"
echo "sha256: $(sha256sum "$B/dist/$name.tar.gz" | cut -d' ' -f1)  (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"

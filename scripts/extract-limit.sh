#!/usr/bin/env bash
# Measures whether a setup program of a given size really extracts under Wine:
# packs the demo installer and one data file of BYTES bytes (zeros, which
# compress to almost nothing, or random bytes, which do not compress) with
# kwz, stamps the payload into the stub of ARCH's tree, runs it under Wine and
# checks, through the demo installer's report, that the data file came out
# whole: its size and CRC-32. Prints the figures and the times, and the
# launcher's peak memory. Needs BYTES of disk twice over, and memory for the
# image, the payload and the program.
# Usage: extract-limit.sh BUILD_FOLDER ARCH zeros|random BYTES
set -uo pipefail
B=$(cd "${1:?build folder}" && pwd)
arch=${2:?architecture, such as x86_64}
kind=${3:?zeros or random}
bytes=${4:?size of the data file in bytes}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-arch.sh"
wine_can_run "$arch" "$B" || { echo "extract-limit: this host cannot run $arch programs ($wine_why)" >&2; exit 1; }
tree=$(wine_arch_tree "$B" "$arch")
kwz=$B/host/kwz
# One folder per measurement: a payload already packed is stamped again.
work=$B/extract-limit/$arch-$kind-$bytes
mkdir -p "$work"

# Runs a command and says how long it took.
step() {
  local start rc
  start=$(date +%s.%N)
  "$@"
  rc=$?
  echo "  ($(printf '%.1f' "$(echo "$(date +%s.%N) - $start" | bc)") s)"
  return $rc
}

if [ ! -s "$work/p.kwz" ]; then
  mkdir -p "$work/product"
  cp "$tree/demo/payload/KwoWardenInstaller.exe" "$work/product/"
  if [ "$kind" = zeros ]; then
    truncate -s "$bytes" "$work/product/data.bin"
  else
    head -c "$bytes" /dev/urandom >"$work/product/data.bin"
  fi
  crc=$(python3 -c '
import sys, zlib
crc = 0
with open(sys.argv[1], "rb") as f:
    while True:
        piece = f.read(1 << 26)
        if not piece:
            break
        crc = zlib.crc32(piece, crc)
print("%08X" % crc)' "$work/product/data.bin")
  echo "$crc" >"$work/crc"

  echo "== kwz pack (data.bin: $bytes bytes of $kind, CRC-32 $crc)"
  step "$kwz" pack -q "$work/product" "$work/p.kwz" || exit 1
  "$kwz" list "$work/p.kwz" | tail -1
  rm -rf "$work/product"
fi
echo "== kwz stamp into $tree/KwoWardenSetup-stub.exe"
step "$kwz" stamp -q "$tree/KwoWardenSetup-stub.exe" "$work/p.kwz" "$work/Setup.exe" || exit 1
crc=$(cat "$work/crc")
ls -l "$work/Setup.exe" | awk '{print "  setup program: " $5 " bytes"}'

echo "== the setup program under Wine"
report=$work/report.txt
rm -f "$report"
# The run as a script of its own: with-wine.sh starts it again under xvfb-run.
cat >"$work/run.sh" <<RUN
#!/usr/bin/env bash
KWO_DEMO_SECONDS=0 KWO_DEMO_REPORT=\$("$KWO_WINE" winepath -w "$report" 2>/dev/null) \\
  /usr/bin/time -f "  launcher: exit %x, %e s, peak resident memory %M KiB" timeout 3600 "$KWO_WINE" "$work/Setup.exe" >/dev/null
RUN
chmod +x "$work/run.sh"
"$here/with-wine.sh" "$work/run.sh"
if grep -q "data.bin" "$report" 2>/dev/null; then
  line=$(tr -d '\r' <"$report" | grep "data.bin")
  echo "  installer saw:$line"
  if echo "$line" | grep -q "$bytes bytes" && echo "$line" | grep -q "CRC-32 $crc"; then
    echo "RESULT: extracted whole"
    rm -rf "$work"
  else
    echo "RESULT: extracted, but not whole"
  fi
else
  echo "RESULT: not extracted (no installer report)"
fi

#!/usr/bin/env bash
# The launcher's extraction time, measured (a benchmark, not a test).
#
# For payloads of about 4, 64 and 256 MiB of product files (the demo
# installer, real Windows DLLs of the launcher's architecture, and data: half
# text, half incompressible bytes), packed once with each parse (the exact one
# and --smallest) and stamped into the payload-free stub, it measures in each
# Windows tree that this host runs under Wine:
#   - natively: kwz pack (encode), kwz decompress of the payload into one file
#     (decode) and kwz unpack of the setup program into a folder (decode and
#     the files' writes);
#   - under Wine, with bench/launcher's timer: the time from the launcher's
#     start to its progress window and to the installer's start, and the
#     launcher's peak working set and private bytes;
#   - under Wine, with bench/launcher's step timer: the launcher's own
#     extraction code in one process, step by step (payload copy, decode into
#     the growing image, the same decode into a buffer that is already there,
#     archive directory, file writes), to tell where the time goes.
# Every extraction is checked: kwz unpack's folder against the files packed,
# and the demo installer's report (names, sizes, CRC-32) against them too.
# Times are the best of KWO_BENCH_RUNS runs (default 3); peaks the largest.
# Prints two Markdown tables. The files stay in BUILD/extract-bench when
# KWO_BENCH_KEEP is set.
#
# Usage: bench/extract-time.sh BUILD-FOLDER [SIZE-MiB...]   (make host and
#        the Windows trees first; KWO_WINE_ARCHS limits the architectures)
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
B=$(cd "${1:?usage: extract-time.sh BUILD-FOLDER [SIZE-MiB...]}" && pwd)
shift
sizes=${*:-4 64 256}
runs=${KWO_BENCH_RUNS:-3}
kwz=$B/host/kwz
work=$B/extract-bench
. "$here/scripts/wine-arch.sh"

die() { echo "extract-time: $*" >&2; exit 1; }

# now: seconds since the epoch with nanoseconds.
now() { date +%s.%N; }
# elapsed START: seconds since START, three decimals.
elapsed() { awk -v s="$1" -v e="$(now)" 'BEGIN { printf "%.3f", e - s }'; }
# least NUMBERS...: the smallest.
least() { printf '%s\n' "$@" | sort -g | head -n 1; }

# The Windows DLLs of arch, as real products ship them, sorted.
arch_dlls() {
  local folder
  case $1 in
    i686) folder=/usr/lib/i386-linux-gnu/wine/i386-windows ;;
    x86_64) folder=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows ;;
  esac
  find "$folder" -maxdepth 1 -type f -name '*.dll' 2>/dev/null | LC_ALL=C sort
}

# make_product FOLDER MiB INSTALLER ARCH: the installer, DLLs up to three
# quarters of the size, then text and incompressible data, an eighth each.
make_product() {
  local dir=$1 size=$(($2 * 1048576)) installer=$3 arch=$4
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$installer" "$dir/KwoWardenInstaller.exe"
  # DLLs in name order, each that still fits into three quarters.
  local total budget=$((size * 3 / 4)) dll bytes count=0
  total=$(stat -c %s "$installer")
  while read -r dll; do
    bytes=$(stat -c %s "$dll")
    [ $((total + bytes)) -le "$budget" ] || continue
    ln "$dll" "$dir/" 2>/dev/null || cp "$dll" "$dir/"
    total=$((total + bytes))
    count=$((count + 1))
    [ $((budget - total)) -gt 65536 ] || break
  done < <(arch_dlls "$arch")
  [ "$count" -gt 0 ] || die "no $arch DLLs of Wine found"
  local eighth=$((size / 8))
  # Text: the packages' copyright files, over and over.
  local text=$work/copyrights.txt
  find /usr/share/doc -name copyright -type f 2>/dev/null | LC_ALL=C sort | xargs cat >"$text"
  [ -s "$text" ] || die "no copyright files in /usr/share/doc"
  while cat "$text"; do :; done 2>/dev/null | head -c "$eighth" >"$dir/manual.txt"
  rm -f "$text"
  # Media: bytes that do not compress, the same on every run.
  head -c "$eighth" /dev/zero | openssl enc -aes-128-ctr -nosalt -K 4b776f5761726465446174614b65790a \
    -iv 00000000000000000000000000000000 2>/dev/null >"$dir/media.bin"
  [ "$(stat -c %s "$dir/media.bin")" -eq "$eighth" ] || die "openssl made no data"
}

# The demo installer's report lines for the files of FOLDER.
expected_report() {
  perl -MCompress::Zlib -e '
    my $dir = shift;
    opendir(my $d, $dir) or die;
    for my $name (sort grep { -f "$dir/$_" } readdir $d) {
      open(my $f, "<:raw", "$dir/$name") or die;
      my ($crc, $size, $buffer) = (0, 0);
      while (my $n = read($f, $buffer, 1 << 20)) { $crc = crc32($buffer, $crc); $size += $n; }
      printf "  %s\t%d bytes\tCRC-32 %08X\n", $name, $size, $crc;
    }' "$1"
}

# measure ARCH TREE SIZE PARSE: one row of the table.
measure() {
  local arch=$1 tree=$2 size=$3 parse=$4
  local dir=$work/$arch-${size}M flag=
  [ "$parse" = smallest ] && flag=--smallest
  local payload=$work/$arch-${size}M-$parse.kwz setup=$work/$arch-${size}M-$parse.exe
  local start encode
  start=$(now)
  "$kwz" pack -q $flag "$dir" "$payload" || die "kwz pack $flag $dir failed"
  encode=$(elapsed "$start")
  "$kwz" stamp -q "$tree/KwoWardenSetup-stub.exe" "$payload" "$setup" || die "kwz stamp failed"

  local decode=() unpack=() i
  for ((i = 0; i < runs; i++)); do
    start=$(now)
    "$kwz" decompress "$payload" "$work/decoded" || die "kwz decompress $payload failed"
    decode+=("$(elapsed "$start")")
    rm -f "$work/decoded"
    rm -rf "$work/unpacked"
    start=$(now)
    "$kwz" unpack -q "$setup" "$work/unpacked" >/dev/null || die "kwz unpack $setup failed"
    unpack+=("$(elapsed "$start")")
  done
  diff -r "$dir" "$work/unpacked" >/dev/null || die "kwz unpack of $setup differs from $dir"
  rm -rf "$work/unpacked"

  local report=$work/report.txt windows=() installers=() ws=0 private=0 line
  for ((i = 0; i < runs; i++)); do
    rm -f "$report"
    line=$(KWO_DEMO_SECONDS=0 KWO_DEMO_REPORT="Z:${report//\//\\}" \
      "$KWO_WINE" "$tree/bench/launcher/kwo_launcher_timer.exe" "Z:${setup//\//\\}" 2>&1 | grep -a '^window_ms=')
    [ -n "$line" ] || die "the timer gave no figures for $setup"
    local w s p e
    w=$(sed -n 's/.*window_ms=\([-0-9]*\).*/\1/p' <<<"$line")
    s=$(sed -n 's/.*installer_ms=\([-0-9]*\).*/\1/p' <<<"$line")
    p=$(sed -n 's/.*peak_working_set_kib=\([0-9]*\).*/\1/p' <<<"$line")
    e=$(sed -n 's/.*peak_private_kib=\([0-9]*\).*/\1/p' <<<"$line")
    [ "$s" -gt 0 ] 2>/dev/null || die "the installer of $setup did not start: $line"
    windows+=("$w")
    installers+=("$s")
    [ "$p" -gt "$ws" ] && ws=$p
    [ "$e" -gt "$private" ] && private=$e
    # What the installer found must be what was packed.
    if ! diff <(tr -d '\r' <"$report" | sed -n '/^Files:/,$p' | tail -n +2) <(expected_report "$dir") >/dev/null; then
      die "the installer started by $setup did not find the packed files (report: $report)"
    fi
  done

  # The launcher's steps, in one process.
  local copy=() decoding=() flat=() load=() write=()
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/steps"
    mkdir -p "$work/steps"
    line=$("$KWO_WINE" "$tree/bench/launcher/kwo_extract_steps.exe" "Z:${payload//\//\\}" \
      "Z:${work//\//\\}\\steps" 2>&1 | grep -a '^copy_ms=')
    [ -n "$line" ] || die "the step timer gave no figures for $payload"
    copy+=("$(sed -n 's/.*copy_ms=\([0-9]*\).*/\1/p' <<<"$line")")
    decoding+=("$(sed -n 's/.*decode_ms=\([0-9]*\).*/\1/p' <<<"$line")")
    flat+=("$(sed -n 's/.*decode_flat_ms=\([0-9]*\).*/\1/p' <<<"$line")")
    load+=("$(sed -n 's/.*load_ms=\([0-9]*\).*/\1/p' <<<"$line")")
    write+=("$(sed -n 's/.*write_ms=\([0-9]*\).*/\1/p' <<<"$line")")
  done
  rm -rf "$work/steps"

  local files bytes best_unpack best_installer best_window
  files=$(find "$dir" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
  bytes=$(stat -c %s "$payload")
  best_unpack=$(least "${unpack[@]}")
  best_installer=$(least "${installers[@]}")
  best_window=$(least "${windows[@]}")
  awk -v arch="$arch" -v parse="$parse" -v files="$files" -v count="$(find "$dir" -type f | wc -l)" \
      -v bytes="$bytes" -v enc="$encode" \
      -v dec="$(least "${decode[@]}")" -v unp="$best_unpack" -v win="$best_window" -v inst="$best_installer" \
      -v ws="$ws" -v priv="$private" 'BEGIN {
    printf "| %s | %.1f (%d files) | %s | %.1f | %.1f | %.2f | %.2f | %.2f | %.2f | %.2f | %.1f | %.0f | %.0f |\n",
      arch, files / 1048576, count, parse, bytes / 1048576, enc, dec, unp, win / 1000, inst / 1000,
      (inst - win) / 1000, (inst / 1000) / unp, ws / 1024, priv / 1024 }'
  awk -v arch="$arch" -v parse="$parse" -v files="$files" -v copy="$(least "${copy[@]}")" \
      -v dec="$(least "${decoding[@]}")" -v flat="$(least "${flat[@]}")" -v load="$(least "${load[@]}")" \
      -v write="$(least "${write[@]}")" 'BEGIN {
    printf "| %s | %.1f | %s | %.2f | %.2f | %.2f | %.2f | %.2f |\n",
      arch, files / 1048576, parse, copy / 1000, dec / 1000, flat / 1000, load / 1000, write / 1000 }' >>"$steps"
}

# The rows of one architecture, inside Xvfb with a persistent wineserver.
if [ -n "${KWO_EXTRACT_INNER:-}" ]; then
  arch=$KWO_EXTRACT_INNER
  tree=$(wine_arch_tree "$B" "$arch")
  steps=$work/steps.md
  for size in $sizes; do
    make_product "$work/$arch-${size}M" "$size" "$tree/demo/payload/KwoWardenInstaller.exe" "$arch"
    for parse in exact smallest; do
      measure "$arch" "$tree" "$size" "$parse" || exit 1
    done
    [ -n "${KWO_BENCH_KEEP:-}" ] || rm -rf "$work/$arch-${size}M"*
  done
  exit 0
fi

[ -x "$kwz" ] || die "$kwz is missing (make host)"
command -v openssl >/dev/null || die "openssl is needed for the data files"
mkdir -p "$work"
rows=$work/rows.md
: >"$rows"
: >"$work/steps.md"
notes=()
for arch in $(wine_wanted_archs); do
  tree=$(wine_arch_tree "$B" "$arch")
  if ! wine_can_run "$arch" "$B" >&2; then
    notes+=("$arch: not measured, this host cannot run it under Wine ($wine_why)")
    continue
  fi
  for f in "$tree/KwoWardenSetup-stub.exe" "$tree/demo/payload/KwoWardenInstaller.exe"; do
    [ -f "$f" ] || die "$f is missing (make $(basename "$tree"))"
  done
  cmake --build "$tree" --target kwo_launcher_timer kwo_extract_steps >/dev/null || die "cannot build the timers in $tree"
  echo "measuring $arch: payloads of $sizes MiB, $runs runs each ..." >&2
  KWO_EXTRACT_INNER=$arch "$here/scripts/with-wine.sh" "$0" "$B" $sizes >>"$rows" || die "the $arch runs failed"
done
[ -s "$rows" ] || die "no Windows tree could be measured: ${notes[*]}"

echo "$(nproc) CPUs; load average at the end: $(cut -d ' ' -f 1-3 /proc/loadavg); best of $runs runs (wall-clock time)"

echo "| tree | product files MiB | parse | payload MiB | kwz pack s | kwz decompress s | kwz unpack s | Wine: window s | Wine: installer starts s | window to installer s | installer start / kwz unpack | peak working set MiB | peak private MiB |"
echo "|---|--:|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|"
cat "$rows"
echo
echo "The launcher's extraction step by step, under Wine (seconds):"
echo
echo "| tree | product files MiB | parse | payload copy | decode into the growing image | the same decode into a ready buffer | archive directory | file writes |"
echo "|---|--:|---|--:|--:|--:|--:|--:|"
cat "$work/steps.md"
for note in "${notes[@]}"; do
  echo "($note)"
done

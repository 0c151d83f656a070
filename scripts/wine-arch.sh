# Sourced by the scripts that run Windows programs. For each architecture of
# the Windows build it knows the build tree, the Wine prefix and the Wine
# loader, and it can tell whether this host runs that architecture at all.
#
#   KWO_ARCHS              every architecture the build makes: i686 x86_64
#   wine_arch_tree B ARCH  prints the tree of ARCH below build folder B
#   wine_use ARCH B        exports WINEPREFIX, WINEARCH and KWO_WINE (the
#                          loader to run programs of ARCH with) for ARCH
#   wine_can_run ARCH B    true when a trivial program of ARCH runs under Wine
#                          here; otherwise false with the reason in $wine_why
#   wine_wanted_archs      the architectures to run: $KWO_WINE_ARCHS when set
#                          (for example KWO_WINE_ARCHS=x86_64), else all
#
# Each architecture has a prefix of its own (a prefix made by 32-bit Wine
# cannot run 64-bit programs, and 64-bit Wine alone makes no 32-bit prefix).

KWO_ARCHS="i686 x86_64"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

wine_arch_tree() {
  case $2 in
    i686) echo "$1/win32" ;;
    x86_64) echo "$1/win64" ;;
    *) return 1 ;;
  esac
}

wine_use() {
  export WINEPREFIX=$2/wine-$1
  case $1 in
    # Debian's wine script starts the 32-bit loader when it is installed.
    i686) export WINEARCH=win32 KWO_WINE=wine ;;
    # The 64-bit loader itself: the script would try the 32-bit one first.
    x86_64) export WINEARCH=win64 KWO_WINE=/usr/lib/wine/wine64 ;;
    *) echo "unknown Windows architecture '$1' (known: $KWO_ARCHS)" >&2; return 1 ;;
  esac
}

wine_wanted_archs() {
  local arch
  for arch in ${KWO_WINE_ARCHS:-$KWO_ARCHS}; do
    case " $KWO_ARCHS " in
      *" $arch "*) echo "$arch" ;;
      *) echo "KWO_WINE_ARCHS: unknown architecture '$arch' (known: $KWO_ARCHS)" >&2 ;;
    esac
  done
}

# wine_prefix ARCH B: creates the prefix of ARCH once.
wine_prefix() {
  wine_use "$1" "$2" || return 1
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  echo "creating Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  local log=$WINEPREFIX.log
  "$KWO_WINE" wineboot -i >"$log" 2>&1 </dev/null
  WINEPREFIX=$WINEPREFIX wineserver -w 2>/dev/null
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine_why=$(grep -v '^$' "$log" | tail -n 1)
    rm -rf "$WINEPREFIX"
    return 1
  fi
}

wine_can_run() {
  local arch=$1 B=$2 tree probe out
  wine_why=
  tree=$(wine_arch_tree "$B" "$arch") || { wine_why="unknown architecture"; return 1; }
  probe=$tree/tests/kwo_wine_probe.exe
  if [ ! -f "$probe" ]; then
    wine_why="$probe is missing (build the tree first)"
    return 1
  fi
  if ! wine_prefix "$arch" "$B"; then
    wine_why="Wine could not make a prefix: ${wine_why:-no reason given}"
    return 1
  fi
  out=$(timeout 120 "$KWO_WINE" "$probe" 2>&1 </dev/null)
  local rc=$?
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1
  if [ $rc -ne 0 ] || ! grep -q "kwo wine probe ok" <<<"$out"; then
    wine_why="a trivial $arch program did not run (exit $rc): $(grep -v '^$' <<<"$out" | tail -n 1)"
    return 1
  fi
}

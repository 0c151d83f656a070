#!/usr/bin/env bash
# Creates the Wine prefix ($WINEPREFIX, under build/) once.
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "Wine prefix could not be created" >&2; exit 1; }
fi

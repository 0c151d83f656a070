#!/usr/bin/env bash
# Runs a command with a private X display (Xvfb) and a persistent wineserver,
# so that the many short Wine processes of a test run start quickly.
# Usage: with-wine.sh COMMAND...   (WINEPREFIX and KWO_WINE set, as wine_use
# of wine-arch.sh sets them)
set -uo pipefail
: "${WINEPREFIX:?}" "${KWO_WINE:?}"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ -z "${KWO_XVFB_INNER:-}" ]; then
  export KWO_XVFB_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$@"
fi

wineserver -k >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 </dev/null
# Start Wine's background processes (services, desktop) now, with no pipes of
# ours, so that no later caller waits for them to close its output.
"$KWO_WINE" wineboot >/dev/null 2>&1 </dev/null
"$@"
rc=$?
wineserver -k >/dev/null 2>&1 || true
wait 2>/dev/null
exit $rc

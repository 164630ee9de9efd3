#!/usr/bin/env bash
# Installs what is missing, cross-builds the Windows program
# (tools/build-windows.sh), starts the loopback servers the default build talks
# to (tools/servers.sh, state in build-win/servers), runs kelvaro-answerer.exe
# under Wine on this desktop's display, and stops the servers when it ends:
#   tools/run-windows.sh
# Without a display ($DISPLAY empty) the program runs on a virtual one of its
# own (Xvfb, ended by its pid afterwards); KELVARO_RUN_DISPLAY=virtual asks for
# that anyway.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WIN_BUILD_DIR:-$ROOT/build-win}
BUILD_TARGET=kelvaro-answerer bash "$ROOT/tools/build-windows.sh"

export KELVARO_SERVERS_DIR=${KELVARO_SERVERS_DIR:-$BUILD/servers}
xvfb_pid=
stop() {
  "$ROOT/tools/servers.sh" stop || true
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap stop EXIT
"$ROOT/tools/servers.sh" start

display=${DISPLAY:-}
if [[ -z $display || ${KELVARO_RUN_DISPLAY:-} == virtual ]]; then
  coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null; }
  xvfb_pid=$XVFB_PID
  read -r -t 30 number <&"${XVFB[0]}" || true
  [[ ${number:-} =~ ^[0-9]+$ ]] || { echo "Xvfb did not start" >&2; exit 1; }
  display=:$number
  echo "No display of your own: the program runs on the virtual display $display"
fi

export KELVARO_WINE_DIR=$BUILD/wine KELVARO_WINE_DISPLAY=$display
. "$ROOT/tools/wine-env.sh"
kelvaro_wine_prefix
status=0
"$KELVARO_WINE" "$BUILD/kelvaro-answerer.exe" || status=$?
# The prefix's programs end with the program's own wineserver.
"$KELVARO_WINESERVER" -w || true
exit $status

#!/usr/bin/env bash
# Installs what is missing, cross-builds the Windows suite (tools/build-windows.sh)
# and runs it under Wine with CTest:
#   tools/test-windows.sh [ctest options...]      e.g. -R ImageLoader
#
# Wine runs in a prefix inside the build folder (made once, with Chinese
# fonts), on a virtual X display of its own, and with one wineserver for the
# whole run, warmed before the first test: a cold one costs every test more
# than a second. KELVARO_WINE_WARM=0 leaves the warm-up out (to measure it).
# Xvfb and the wineserver are stopped when the run ends, however it ends.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WIN_BUILD_DIR:-$ROOT/build-win}
bash "$ROOT/tools/build-windows.sh"

export KELVARO_WINE_DIR=$BUILD/wine
. "$ROOT/tools/wine-env.sh"
kelvaro_wine_prefix

xvfb_pid=
stop() {
  # This prefix's server only, and whatever still runs in it.
  "$KELVARO_WINESERVER" -k 2>/dev/null || true
  "$KELVARO_WINESERVER" -w 2>/dev/null || true
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap stop EXIT

# Xvfb takes the first free display and writes its number on the pipe.
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null; }
xvfb_pid=$XVFB_PID
display=
read -r -t 30 display <&"${XVFB[0]}" || true
if [[ ! $display =~ ^[0-9]+$ ]]; then
  echo "Xvfb did not start" >&2
  exit 1
fi
export KELVARO_WINE_DISPLAY=:$display
export DISPLAY=:$display

start=$SECONDS
if [[ ${KELVARO_WINE_WARM:-1} != 0 ]]; then
  # A persistent server, then one program so that its services are up; a bare
  # `wineserver -p` leaves the first test waiting for them.
  "$KELVARO_WINESERVER" -p
  "$KELVARO_WINE" wineboot >/dev/null 2>&1
  echo "== wineserver warmed in $((SECONDS - start)) s"
fi

cd "$BUILD"
status=0
ctest --output-on-failure -j2 --timeout 300 "$@" || status=$?
echo "== Windows suite under Wine done in $((SECONDS - start)) s"
exit $status

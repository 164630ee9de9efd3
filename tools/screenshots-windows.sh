#!/usr/bin/env bash
# Pictures of the four windows as the Windows build shows them, under Wine on
# a virtual display of its own:
#   tools/screenshots-windows.sh [output dir]     (default: build-win/pictures)
# Each window is shown by tests/ui/win32/window_pictures with the skin and
# sample content and taken off the screen with ImageMagick's import.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WIN_BUILD_DIR:-$ROOT/build-win}
OUT=${1:-$BUILD/pictures}
BUILD_TARGET=window_pictures bash "$ROOT/tools/build-windows.sh"
mkdir -p "$OUT"

export KELVARO_WINE_DIR=$BUILD/wine
. "$ROOT/tools/wine-env.sh"
kelvaro_wine_prefix

xvfb_pid=
wm_pid=
stop() {
  "$KELVARO_WINESERVER" -k 2>/dev/null || true
  "$KELVARO_WINESERVER" -w 2>/dev/null || true
  if [[ -n $wm_pid ]]; then
    kill "$wm_pid" 2>/dev/null || true
    wait "$wm_pid" 2>/dev/null || true
  fi
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap stop EXIT
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null; }
xvfb_pid=$XVFB_PID
display=
read -r -t 30 display <&"${XVFB[0]}" || true
[[ $display =~ ^[0-9]+$ ]] || { echo "Xvfb did not start" >&2; exit 1; }
export KELVARO_WINE_DISPLAY=:$display DISPLAY=:$display
# A window manager draws the caption bars.
openbox --sm-disable 2>/dev/null &
wm_pid=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
"$KELVARO_WINESERVER" -p
"$KELVARO_WINE" wineboot >/dev/null 2>&1

# name of the picture, then what the driver shows (a close match: the keyword
# as pinyin initials).
for shot in main:main lookup-close:main:sd calculator:calculator about:about update:update; do
  window=${shot%%:*}
  IFS=: read -r -a args <<<"${shot#*:}"
  rect_file=$OUT/.rect
  "$KELVARO_WINE" "$BUILD/tests/ui/win32/window_pictures.exe" "${args[@]}" >"$rect_file" &
  pid=$!
  # The window writes its rectangle once it is shown; it draws right after.
  for _ in $(seq 50); do [[ -s $rect_file ]] && break; sleep 0.2; done
  sleep 2
  id=$(xdotool search --onlyvisible --class window_pictures 2>/dev/null | tail -1 || true)
  if [[ -n $id ]]; then
    import -frame -window "$id" "$OUT/windows-$window.png"
    echo "$OUT/windows-$window.png ($(cat "$rect_file"))"
  fi
  wait "$pid" || true
  rm -f "$rect_file"
done

#!/usr/bin/env bash
# Pictures of the real Windows program as a player drives it, under Wine on a
# virtual X display with a window manager (openbox), against the loopback
# servers (tools/screenshots-windows.sh shows the windows from a driver with
# sample content instead):
#   tools/screenshots-program-windows.sh [output dir]
# Default output: docs/ (windows-program-main.png with a pasted keyword's
# results, windows-program-calculator.png, windows-program-about.png,
# windows-program-update.png, and windows-message.png: the version check's
# prompt). Everything it starts it ends by pid.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WIN_BUILD_DIR:-$ROOT/build-win}
OUT=$(mkdir -p "${1:-$ROOT/docs}" && cd "${1:-$ROOT/docs}" && pwd)
BUILD_TARGET=kelvaro-answerer bash "$ROOT/tools/build-windows.sh"

work=$(mktemp -d)
export KELVARO_SERVERS_DIR=$work/servers
pids=()
wineserver_pid=
stop() {
  "$ROOT/tools/servers.sh" stop >/dev/null 2>&1 || true
  if [[ -n $wineserver_pid ]]; then
    "$KELVARO_WINESERVER" -k 2>/dev/null || true
    kill "$wineserver_pid" 2>/dev/null || true
    wait "$wineserver_pid" 2>/dev/null || true
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stop EXIT

coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null; }
pids+=("$XVFB_PID")
read -r -t 30 number <&"${XVFB[0]}" || true
[[ ${number:-} =~ ^[0-9]+$ ]] || { echo "Xvfb did not start" >&2; exit 1; }
export KELVARO_WINE_DIR=$BUILD/wine-shots KELVARO_WINE_DISPLAY=:$number
. "$ROOT/tools/wine-env.sh"
kelvaro_wine_prefix
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
# The prefix's server for the whole run, so that Wine's desktop and clipboard
# are on this display.
"$KELVARO_WINESERVER" -f -p &
wineserver_pid=$!
"$ROOT/tools/servers.sh" start >/dev/null

find_window() {  # name pattern -> newest visible window
  local id
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window named $1" >&2
  return 1
}
click() {  # window x y, in its client area
  local x y
  x=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left X: *//p')
  y=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left Y: *//p')
  xdotool mousemove --sync $((x + $2)) $((y + $3)) click 1
  sleep 0.5
}
opened_over() {  # main window -> the program's newest other visible window
  local id
  sleep 1
  for id in $(xdotool search --onlyvisible --classname kelvaro-answerer 2>/dev/null | tac); do
    [[ $id != "$1" ]] && [[ $(xwininfo -id "$id" | sed -n 's/.*Width: *//p') -gt 100 ]] && { echo "$id"; return 0; }
  done
  echo "no window over the main window" >&2
  return 1
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.5; }
shot() {  # window file: the window with its frame
  sleep 0.8
  import -silent -frame -window "$1" "$OUT/$2"
  echo "wrote $OUT/$2"
}

"$KELVARO_WINE" "$BUILD/kelvaro-answerer.exe" 2>/dev/null &
program=$!
pids+=("$program")
main=$(find_window KelvaroOstrin)
# A keyword, pasted as a player pastes it.
printf '长江' | xclip -selection clipboard -i -loops 3 &
pids+=($!)
click "$main" 130 25
key ctrl+v
shot "$main" windows-program-main.png
# The calculator and the about window have no caption: each is the window
# of the program that came up over the main window.
click "$main" 452 226  # 经验计算
shot "$(opened_over "$main")" windows-program-calculator.png
key Escape
click "$main" 300 266  # 关于软件
shot "$(opened_over "$main")" windows-program-about.png
key Escape
click "$main" 130 25
key Escape
wait "$program" || true

"$ROOT/tools/publish_version.sh" v2.0 >/dev/null
"$KELVARO_WINE" "$BUILD/kelvaro-answerer.exe" 2>/dev/null &
program=$!
pids+=("$program")
shot "$(find_window '^提示$')" windows-message.png
key Return
update=$(find_window '^自动更新$')
shot "$update" windows-program-update.png
key Escape
wait "$program" || true

#!/usr/bin/env bash
# Runs a command on an X display of its own: Xvfb on a free display number
# with openbox as its window manager. Both are ended by their pids when the
# command ends, whatever its outcome; the command's exit status is returned.
#   with_openbox.sh command [args...]
set -euo pipefail
work=$(mktemp -d)
xvfb=""
wm=""
stop() {
  [[ -n $wm ]] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap stop EXIT

# Xvfb picks the display number and writes it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  kill -0 "$xvfb" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
display=":$(tr -d '\n' <"$work/display")"
[[ $display != ":" ]] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=$display

openbox --sm-disable 2>"$work/openbox.log" &
wm=$!
# The window manager is running once it has claimed the root window.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  kill -0 "$wm" 2>/dev/null || { cat "$work/openbox.log" >&2; exit 1; }
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" || { echo "openbox did not start" >&2; exit 1; }

QT_QPA_PLATFORM=xcb "$@"

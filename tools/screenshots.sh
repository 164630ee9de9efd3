#!/usr/bin/env bash
# Pictures of the four windows with the skin, on a virtual X display:
#   tools/screenshots.sh [output dir] [--plain]
# Default output: docs/ (main-window.png, about-window.png,
# calculator-window.png, update-window.png, and the lookups
# lookup-highlight.png and lookup-close.png).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
OUT=${1:-$ROOT/docs}
shift || true
cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" --target kelvaro-window-screenshots
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  "$BUILD/tests/skin/kelvaro-window-screenshots" "$OUT" "$@"

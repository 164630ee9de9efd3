#!/usr/bin/env bash
# Takes docs/main-window.png and docs/about-window.png under Xvfb (X11, the
# platform the program runs on). Usage: take_screenshots.sh <build dir> [keyword]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:?build directory}
KEYWORD=${2:-首都}
cmake --build "$BUILD" --target kelvaro-screenshots
QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
  "$BUILD/tests/app/kelvaro-screenshots" "$KEYWORD" \
  "$ROOT/docs/main-window.png" "$ROOT/docs/about-window.png"

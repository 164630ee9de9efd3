#!/usr/bin/env bash
# Configures and builds the project in build/ (or $BUILD_DIR).
#   tools/build.sh [cmake options...]                 everything
#   BUILD_TARGET=kelvaro-answerer tools/build.sh      just the program
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja "$@" >/dev/null
cmake --build "$BUILD_DIR" ${BUILD_TARGET:+--target "$BUILD_TARGET"}

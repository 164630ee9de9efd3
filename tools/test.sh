#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs the whole suite.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup.sh"
BUILD_DIR=${BUILD_DIR:-$ROOT/build} "$ROOT/tools/build.sh" -DKELVARO_WERROR=ON "$@"
cd "${BUILD_DIR:-$ROOT/build}"
ctest --output-on-failure -j2 --timeout 600

#!/usr/bin/env bash
# Installs what is missing, builds and starts the program.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup.sh"
"$ROOT/tools/build.sh"
exec "${BUILD_DIR:-$ROOT/build}/app/kelvaro-answerer"

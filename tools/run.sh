#!/usr/bin/env bash
# Installs what is missing, builds, starts the loopback servers the default
# build talks to (tools/servers.sh), starts the program, and stops the servers
# when the program ends.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup.sh"
BUILD_TARGET=kelvaro-answerer "$ROOT/tools/build.sh"
"$ROOT/tools/servers.sh" start
trap '"$ROOT/tools/servers.sh" stop' EXIT
status=0
"${BUILD_DIR:-$ROOT/build}/app/kelvaro-answerer" || status=$?
exit $status

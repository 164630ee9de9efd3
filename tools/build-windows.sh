#!/usr/bin/env bash
# Cross-builds the Windows program (build-win/kelvaro-answerer.exe), its
# libraries, tests and benchmark in build-win/ (or $WIN_BUILD_DIR) with
# mingw-w64, warnings as errors, and packs the program in
# build-win/kelvaro-answerer-<version>-win64.zip and the installer
# build-win/kelvaro-answerer-<version>-win64.exe:
#   tools/build-windows.sh [cmake options...]
#   BUILD_TARGET=skin_loader_test tools/build-windows.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WIN_BUILD_DIR:-$ROOT/build-win}
bash "$ROOT/tools/setup-windows.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DKELVARO_WERROR=ON "$@" >/dev/null
cmake --build "$BUILD" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
# A whole build also makes the players' zip and installer: the .exe and its
# read-me.
if [[ -z ${BUILD_TARGET:-} && -f $BUILD/CPackConfig.cmake ]]; then
  # strip stamps the program with the time unless SOURCE_DATE_EPOCH names
  # one: the last commit's, so the zip's and the installer's programs are the
  # same bytes, and the same again when the commit is packed again.
  epoch=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || date +%s)}
  (cd "$BUILD" && SOURCE_DATE_EPOCH=$epoch cpack -G "ZIP;NSIS64" >/dev/null)
  echo "Packages: $(cd "$BUILD" && ls kelvaro-answerer-*-win64.zip kelvaro-answerer-*-win64.exe | tr '\n' ' ')"
fi

#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs the whole suite there; any report fails the run.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${ASAN_BUILD_DIR:-$ROOT/build-asan}
"$ROOT/tools/setup.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVARO_SANITIZE=ON \
  -DKELVARO_WERROR=ON -DKELVARO_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tools/lsan.supp:print_suppressions=0}
cd "$BUILD"
ctest --output-on-failure -j2 --timeout 900

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   tools/fuzz.sh            each target for 60 s
#   FUZZ_SECONDS=600 tools/fuzz.sh fuzz_text   one target for ten minutes
# Findings (crash-*, leak-*, timeout-* files) are left in build-fuzz/findings/.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-60}
"$ROOT/tools/setup.sh"
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVARO_FUZZ=ON -DKELVARO_BUILD_GUI=OFF -DKELVARO_BUILD_TESTS=OFF -DKELVARO_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$BUILD"
targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(cd "$BUILD/tests/fuzz" && ls fuzz_* | grep -v '\.' | sort)
fi
mkdir -p "$BUILD/findings"
status=0
for t in "${targets[@]}"; do
  corpus="$BUILD/corpus/$t"
  mkdir -p "$corpus"
  seeds="$ROOT/tests/fuzz/corpus/$t"
  echo "== $t for ${SECONDS_EACH}s"
  if ! "$BUILD/tests/fuzz/$t" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$BUILD/findings/$t-" "$corpus" ${seeds:+$( [[ -d $seeds ]] && echo "$seeds")} \
       2>"$BUILD/findings/$t.log"; then
    echo "!! $t found a problem; see $BUILD/findings/$t.log"
    tail -40 "$BUILD/findings/$t.log"
    status=1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$BUILD/findings/$t.log" || true
done
exit $status

#!/usr/bin/env bash
# The lookup benchmark built for Linux and for Windows, run here natively and
# under Wine, in turns; prints each case's median time of one lookup in both
# and their ratio (Wine / native; the best median of the rounds counts).
#   tools/bench-windows.sh [rounds] [benchmark options...]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
WIN_BUILD=${WIN_BUILD_DIR:-$ROOT/build-win}
ROUNDS=${1:-2}
shift || true

BUILD_DIR=$BUILD BUILD_TARGET=lookup_bench bash "$ROOT/tools/build.sh" >/dev/null
BUILD_TARGET=lookup_bench bash "$ROOT/tools/build-windows.sh" >/dev/null

export KELVARO_WINE_DIR=$WIN_BUILD/wine
. "$ROOT/tools/wine-env.sh"
kelvaro_wine_prefix
trap '"$KELVARO_WINESERVER" -k 2>/dev/null || true; "$KELVARO_WINESERVER" -w 2>/dev/null || true' EXIT
"$KELVARO_WINESERVER" -p
"$KELVARO_WINE" wineboot >/dev/null 2>&1

OUT=$(mktemp -d)
for ((r = 1; r <= ROUNDS; r++)); do
  "$BUILD/bench/lookup_bench" "$@" >"$OUT/native.$r"
  "$KELVARO_WINE" "$WIN_BUILD/bench/lookup_bench.exe" "$@" | tr -d '\r' >"$OUT/wine.$r"
done
awk '
  FNR == 1 { side = FILENAME ~ /native/ ? "native" : "wine"; next }
  { key = $1; if (!(key in order)) { order[key] = ++n; names[n] = key }
    if (!((side, key) in best) || $4 < best[side, key]) best[side, key] = $4 }
  END {
    printf "%-32s %14s %14s %8s\n", "case", "native_us", "wine_us", "ratio"
    for (i = 1; i <= n; i++) {
      k = names[i]
      printf "%-32s %14.3f %14.3f %8.2f\n", k, best["native", k], best["wine", k], best["wine", k] / best["native", k]
    }
  }' "$OUT"/native.* "$OUT"/wine.*
rm -rf "$OUT"

#!/usr/bin/env bash
# Downloads a large file from a local nginx with DownloadFile (download_bench)
# and, in the same run, with the curl command-line tool, and compares the
# throughput and the peak memory. The files live in a temporary folder under
# /tmp and are removed at the end; nginx is stopped by its pid.
#
#   bench/update/download_bench.sh [build dir] [size in MiB, default 200] [rounds, default 3]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build}
SIZE_MIB=${2:-200}
ROUNDS=${3:-3}
BENCH=$BUILD/bench/update/download_bench
[[ -x $BENCH ]] || { echo "build the target download_bench first ($BENCH)" >&2; exit 1; }

WORK=$(mktemp -d /tmp/kv-download-bench.XXXXXX)
SERVER=""
finish() {
  if [[ -n $SERVER ]]; then kill "$SERVER" 2>/dev/null || true; wait "$SERVER" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap finish EXIT
mkdir "$WORK/www" "$WORK/out"

PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
head -c $((SIZE_MIB << 20)) /dev/urandom >"$WORK/www/big.bin"
head -c $((20 << 20)) /dev/urandom >"$WORK/www/small.bin"
# The server ends by itself after ten minutes should this script be killed.
timeout -s TERM 600 "$ROOT/tools/serve_http.sh" "$WORK/www" "$PORT" "$WORK" &
SERVER=$!
for _ in $(seq 100); do
  curl -fsS -o /dev/null "http://127.0.0.1:$PORT/small.bin" 2>/dev/null && break
  sleep 0.05
done

URL=http://127.0.0.1:$PORT/big.bin
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
best_ours=0
best_curl=0
for round in $(seq "$ROUNDS"); do
  line=$("$BENCH" "$URL" "$WORK/out/ours.bin")
  cmp -s "$WORK/www/big.bin" "$WORK/out/ours.bin" || { echo "DownloadFile: file differs" >&2; exit 1; }
  rm -f "$WORK/out/ours.bin"
  ours=$(field mib_per_s <<<"$line")
  rss_ours=$(field peak_rss_kib <<<"$line")

  curl_line=$(/usr/bin/time -f 'peak_rss_kib=%M' curl -sS -o "$WORK/out/curl.bin" -w 'bytes_per_s=%{speed_download}\n' "$URL" 2>&1)
  cmp -s "$WORK/www/big.bin" "$WORK/out/curl.bin" || { echo "curl: file differs" >&2; exit 1; }
  rm -f "$WORK/out/curl.bin"
  theirs=$(awk -v b="$(field bytes_per_s <<<"$curl_line")" 'BEGIN { printf "%.1f", b / 1048576 }')
  rss_curl=$(field peak_rss_kib <<<"$curl_line")

  printf 'round %d: DownloadFile %8.1f MiB/s (peak RSS %6d KiB)   curl %8.1f MiB/s (peak RSS %6d KiB)\n' \
    "$round" "$ours" "$rss_ours" "$theirs" "$rss_curl"
  best_ours=$(awk -v a="$best_ours" -v b="$ours" 'BEGIN { print (b > a) ? b : a }')
  best_curl=$(awk -v a="$best_curl" -v b="$theirs" 'BEGIN { print (b > a) ? b : a }')
done

small=$("$BENCH" "http://127.0.0.1:$PORT/small.bin" "$WORK/out/small.bin")
big=$("$BENCH" "$URL" "$WORK/out/ours.bin")
rm -f "$WORK/out/"*
echo "peak RSS of DownloadFile: 20 MiB file $(field peak_rss_kib <<<"$small") KiB, ${SIZE_MIB} MiB file $(field peak_rss_kib <<<"$big") KiB"
awk -v a="$best_ours" -v b="$best_curl" 'BEGIN { printf "best of %d: DownloadFile %.1f MiB/s, curl %.1f MiB/s, ratio %.2f (goal >= 0.90)\n", '"$ROUNDS"', a, b, a / b }'

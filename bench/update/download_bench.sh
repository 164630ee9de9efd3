#!/usr/bin/env bash
# Downloads a large file from a local nginx with DownloadFile (download_bench)
# and, in the same run, with the curl command-line tool, and compares the
# throughput and the peak memory. Then the archive step (DownloadArchive) on
# the same file, unchecked and checked against its signature (a key made for
# the run), to show what the check adds to the download. The files live in a
# temporary folder under /tmp and are removed at the end; nginx is stopped by
# its pid.
#
#   bench/update/download_bench.sh [build dir] [size in MiB, default 200] [rounds, default 3]
#
# OUT_DIR=<folder> puts the two downloads there instead of the temporary
# folder (for example /dev/shm, to keep the disk's write-back out of the
# comparison). The two tools take turns going first.
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
  rm -rf "$WORK" "${OUT:-}"
}
trap finish EXIT
mkdir "$WORK/www" "$WORK/out"
OUT=$(mktemp -d "${OUT_DIR:-$WORK/out}/kv-out.XXXXXX")

PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
head -c $((SIZE_MIB << 20)) /dev/urandom >"$WORK/www/big.bin"
head -c $((20 << 20)) /dev/urandom >"$WORK/www/small.bin"
"$ROOT/tools/make_release_key.sh" "$WORK/key" >/dev/null
"$ROOT/tools/sign_release.sh" "$WORK/www/big.bin" "$WORK/key/release-key.pem" >/dev/null
# The server ends by itself after ten minutes should this script be killed.
timeout -s TERM 600 "$ROOT/tools/serve_http.sh" "$WORK/www" "$PORT" "$WORK" &
SERVER=$!
for _ in $(seq 100); do
  curl -fsS -o /dev/null "http://127.0.0.1:$PORT/small.bin" 2>/dev/null && break
  sleep 0.05
done

URL=http://127.0.0.1:$PORT/big.bin
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
all_ours=()
all_curl=()
run_ours() {
  local line
  line=$("$BENCH" "$URL" "$OUT/ours.bin")
  cmp -s "$WORK/www/big.bin" "$OUT/ours.bin" || { echo "DownloadFile: file differs" >&2; exit 1; }
  rm -f "$OUT/ours.bin"
  ours=$(field mib_per_s <<<"$line")
  rss_ours=$(field peak_rss_kib <<<"$line")
}
run_curl() {
  local line
  line=$(/usr/bin/time -f 'peak_rss_kib=%M' curl -sS -o "$OUT/curl.bin" -w 'bytes_per_s=%{speed_download}\n' "$URL" 2>&1)
  cmp -s "$WORK/www/big.bin" "$OUT/curl.bin" || { echo "curl: file differs" >&2; exit 1; }
  rm -f "$OUT/curl.bin"
  theirs=$(awk -v b="$(field bytes_per_s <<<"$line")" 'BEGIN { printf "%.1f", b / 1048576 }')
  rss_curl=$(field peak_rss_kib <<<"$line")
}
for round in $(seq "$ROUNDS"); do
  if ((round % 2)); then run_ours; run_curl; else run_curl; run_ours; fi
  printf 'round %d: DownloadFile %8.1f MiB/s (peak RSS %6d KiB)   curl %8.1f MiB/s (peak RSS %6d KiB)\n' \
    "$round" "$ours" "$rss_ours" "$theirs" "$rss_curl"
  all_ours+=("$ours")
  all_curl+=("$theirs")
done

small=$("$BENCH" "http://127.0.0.1:$PORT/small.bin" "$OUT/small.bin")
big=$("$BENCH" "$URL" "$OUT/ours.bin")
rm -f "$OUT/"*
echo "peak RSS of DownloadFile: 20 MiB file $(field peak_rss_kib <<<"$small") KiB, ${SIZE_MIB} MiB file $(field peak_rss_kib <<<"$big") KiB"
# Best and median of the rounds: the machine's other load moves single rounds a lot.
best() { printf '%s\n' "$@" | sort -g | tail -1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for kind in best median; do
  a=$($kind "${all_ours[@]}")
  b=$($kind "${all_curl[@]}")
  awk -v k="$kind" -v n="$ROUNDS" -v a="$a" -v b="$b" \
    'BEGIN { printf "%s of %d: DownloadFile %.1f MiB/s, curl %.1f MiB/s, ratio %.2f (goal >= 0.90)\n", k, n, a, b, a / b }'
done

echo "== the archive step on the same file: unchecked, and checked against big.bin.sig while it arrives"
all_plain=()
all_checked=()
all_tail=()
run_archive() {  # run_archive unchecked|checked
  local line
  if [[ $1 == checked ]]; then
    line=$("$BENCH" --checked "$WORK/key/release-key.pub.b64" "$URL" "$OUT/archive.bin")
  else
    line=$("$BENCH" --archive "$URL" "$OUT/archive.bin")
  fi
  cmp -s "$WORK/www/big.bin" "$OUT/archive.bin" || { echo "DownloadArchive ($1): file differs" >&2; exit 1; }
  rm -f "$OUT/archive.bin"
  seconds=$(field seconds <<<"$line")
  tail_ms=$(field tail_ms <<<"$line")
  cpu=$(field cpu_s <<<"$line")
  rss=$(field peak_rss_kib <<<"$line")
}
for round in $(seq "$ROUNDS"); do
  if ((round % 2)); then
    run_archive unchecked; plain=$seconds; plain_tail=$tail_ms; plain_cpu=$cpu
    run_archive checked; checked=$seconds; checked_tail=$tail_ms; checked_cpu=$cpu; checked_rss=$rss
  else
    run_archive checked; checked=$seconds; checked_tail=$tail_ms; checked_cpu=$cpu; checked_rss=$rss
    run_archive unchecked; plain=$seconds; plain_tail=$tail_ms; plain_cpu=$cpu
  fi
  printf 'round %d: unchecked %6.3f s (after the last byte %6.1f ms, CPU %5.3f s)   checked %6.3f s (after the last byte %6.1f ms, CPU %5.3f s, peak RSS %6d KiB)\n' \
    "$round" "$plain" "$plain_tail" "$plain_cpu" "$checked" "$checked_tail" "$checked_cpu" "$checked_rss"
  all_plain+=("$plain")
  all_checked+=("$checked")
  all_tail+=("$checked_tail")
done
fastest() { printf '%s\n' "$@" | sort -g | head -1; }
a=$(fastest "${all_plain[@]}"); b=$(fastest "${all_checked[@]}")
awk -v n="$ROUNDS" -v a="$a" -v b="$b" -v m="$SIZE_MIB" 'BEGIN {
  printf "best of %d: unchecked %.3f s (%.0f MiB/s), checked %.3f s (%.0f MiB/s): the check adds %.1f%% (goal <= 10%%)\n",
         n, a, m / a, b, m / b, 100 * (b - a) / a }'
a=$(median "${all_plain[@]}"); b=$(median "${all_checked[@]}"); t=$(median "${all_tail[@]}")
awk -v n="$ROUNDS" -v a="$a" -v b="$b" -v t="$t" -v m="$SIZE_MIB" 'BEGIN {
  printf "median of %d: unchecked %.3f s (%.0f MiB/s), checked %.3f s (%.0f MiB/s): the check adds %.1f%% (goal <= 10%%); after the last byte %.1f ms\n",
         n, a, m / a, b, m / b, 100 * (b - a) / a, t }'

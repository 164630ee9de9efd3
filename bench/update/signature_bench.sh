#!/usr/bin/env bash
# The release signature check of a large archive (default 200 MiB), next to
# the time the same file takes to download from a local nginx with the curl
# command-line tool: the check should cost at most a tenth of the download.
# Key, signature and files are made in a temporary folder and removed at the
# end; nginx is stopped by its pid.
#
#   bench/update/signature_bench.sh [build dir] [size in MiB, default 200] [rounds, default 5]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build}
SIZE_MIB=${2:-200}
ROUNDS=${3:-5}
BENCH=$BUILD/bench/update/signature_bench
[[ -x $BENCH ]] || { echo "build the target signature_bench first ($BENCH)" >&2; exit 1; }

WORK=$(mktemp -d /tmp/kv-signature-bench.XXXXXX)
SERVER=""
finish() {
  if [[ -n $SERVER ]]; then kill "$SERVER" 2>/dev/null || true; wait "$SERVER" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap finish EXIT
mkdir "$WORK/www"
head -c $((SIZE_MIB << 20)) /dev/urandom >"$WORK/www/big.rar"
"$ROOT/tools/make_release_key.sh" "$WORK/key" >/dev/null
"$ROOT/tools/sign_release.sh" "$WORK/www/big.rar" "$WORK/key/release-key.pem" >/dev/null

echo "== the check ($SIZE_MIB MiB, file in the page cache)"
check=$("$BENCH" "$WORK/www/big.rar" "$WORK/www/big.rar.sig" "$WORK/key/release-key.pub.b64" "$ROUNDS")
echo "$check"
check_s=$(sed -n 's/.*check_seconds=\([0-9.]*\).*/\1/p' <<<"$check")

echo "== the download of the same file with curl from a local nginx"
PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
# The server ends by itself after ten minutes should this script be killed.
timeout -s TERM 600 "$ROOT/tools/serve_http.sh" "$WORK/www" "$PORT" "$WORK" &
SERVER=$!
for _ in $(seq 100); do
  curl -fsS -o /dev/null "http://127.0.0.1:$PORT/big.rar.sig" 2>/dev/null && break
  sleep 0.05
done
times=()
for round in $(seq "$ROUNDS"); do
  t=$(curl -sS -o "$WORK/down.rar" -w '%{time_total}' "http://127.0.0.1:$PORT/big.rar")
  cmp -s "$WORK/www/big.rar" "$WORK/down.rar" || { echo "the download differs" >&2; exit 1; }
  rm -f "$WORK/down.rar"
  echo "round $round: download $t s"
  times+=("$t")
done
down_s=$(printf '%s\n' "${times[@]}" | sort -g |
  awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
awk -v c="$check_s" -v d="$down_s" -v m="$SIZE_MIB" 'BEGIN {
  printf "median: check %.3f s, download %.3f s (%.0f MiB/s): the check costs %.1f%% of the download (goal <= 10%%)\n",
         c, d, m / d, 100 * c / d }'

#!/usr/bin/env bash
# Configures the project in throw-away folders with the release-key settings a
# maintainer may give and checks what configure says and compiles in.
#   release_key_config_test.sh <cmake> <source dir> [generator, default Ninja]
set -euo pipefail
CMAKE=$1
SRC=$2
GENERATOR=${3:-Ninja}
WORK=$(mktemp -d /tmp/kv-key-config.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export KELVARO_RELEASE_KEY_DIR=$WORK/local-key
FAR="http://downloads.example.com/KelvaroOstrin答题器.rar"
# A real P-256 key of its own, so the local one can be told apart.
OTHER_KEY=$("$SRC/tools/make_release_key.sh" "$WORK/other-key")
failures=0
n=0

# expect <ok|fail> <pattern the output must hold> <text the header must hold, or -> <cmake args...>
expect() {
  local want=$1 said=$2 header=$3
  shift 3
  n=$((n + 1))
  local dir=$WORK/b$n status=0 out
  out=$("$CMAKE" -S "$SRC" -B "$dir" -G "$GENERATOR" -DKELVARO_BUILD_TESTS=OFF -DKELVARO_BUILD_BENCH=OFF \
    -DKELVARO_BUILD_GUI=OFF "$@" 2>&1) || status=$?
  local why=""
  if [[ $want == ok && $status -ne 0 ]]; then why="configure failed"; fi
  if [[ $want == fail && $status -eq 0 ]]; then why="configure succeeded"; fi
  if [[ -z $why ]] && ! grep -qE -- "$said" <<<"$out"; then why="the output lacks /$said/"; fi
  if [[ -z $why && $header != - ]] && ! grep -qF -- "$header" "$dir/generated/kelvaro_config.hpp"; then
    why="the header lacks /$header/"
  fi
  if [[ -n $why ]]; then
    echo "FAIL ($*): $why"
    sed 's/^/    /' <<<"$out" | tail -15
    failures=$((failures + 1))
  else
    echo "ok   ($*)"
  fi
  rm -rf "$dir"
}

LOCAL_KEY_LINE='kReleaseKey[] = "MFkw'
expect ok "Release key: the local servers' key" "kCheckReleaseSignature = true" 
expect ok "Release key: the local servers' key" "$LOCAL_KEY_LINE" \
  "-DKELVARO_VERSION_URL=http://[::1]:18080/version.htm" \
  "-DKELVARO_ARCHIVE_URL=http://localhost:18080/KelvaroOstrin答题器.rar" -DKELVARO_SMTP_HOST=127.0.0.2
[[ $(cat "$KELVARO_RELEASE_KEY_DIR/release-key.pub.b64") != "$OTHER_KEY" ]] || { echo "FAIL: the keys are alike"; exit 1; }
expect ok "" "kReleaseKey[] = \"$(cat "$KELVARO_RELEASE_KEY_DIR/release-key.pub.b64")\""

# Addresses beyond this machine want a key, every kind of address.
expect fail "no.*KELVARO_RELEASE_KEY" - "-DKELVARO_ARCHIVE_URL=$FAR"
expect fail "KELVARO_SMTP_HOST" - -DKELVARO_SMTP_HOST=smtp.example.com
expect fail "KELVARO_VERSION_URL" - "-DKELVARO_VERSION_URL=http://127.0.0.1.example.com/version.htm"
expect fail "KELVARO_SHOP_URL_TAOBAO" - "-DKELVARO_SHOP_URL_TAOBAO=http://127.0.0.1@shop.example.com/item.htm"
# ... and take the key they are given, with blanks around or inside it.
expect ok "" "kReleaseKey[] = \"$OTHER_KEY\"" "-DKELVARO_ARCHIVE_URL=$FAR" "-DKELVARO_RELEASE_KEY=$OTHER_KEY"
expect ok "" "kReleaseKey[] = \"$OTHER_KEY\"" "-DKELVARO_ARCHIVE_URL=$FAR" \
  "-DKELVARO_RELEASE_KEY=  ${OTHER_KEY:0:64}	${OTHER_KEY:64}  "
# Unsigned on purpose: a warning, no key.
expect ok "KELVARO_UNSIGNED_RELEASES=ON: this build opens whatever archive" "kCheckReleaseSignature = false" \
  "-DKELVARO_ARCHIVE_URL=$FAR" -DKELVARO_UNSIGNED_RELEASES=ON
expect ok "CMake Warning" 'kReleaseKey[] = "";' "-DKELVARO_ARCHIVE_URL=$FAR" -DKELVARO_UNSIGNED_RELEASES=ON
# Keys that are not P-256 public keys, and contradictions.
expect fail "not an ECDSA P-256 public key" - "-DKELVARO_RELEASE_KEY=not-a-key"
expect fail "not an ECDSA P-256 public key" - "-DKELVARO_RELEASE_KEY=${OTHER_KEY:0:120}"
expect fail "not an ECDSA P-256 public key" - \
  "-DKELVARO_RELEASE_KEY=$(openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 2>/dev/null |
                            openssl pkey -pubout -outform DER | base64 -w0)"
expect fail "contradict" - "-DKELVARO_RELEASE_KEY=$OTHER_KEY" -DKELVARO_UNSIGNED_RELEASES=ON

echo "$((n - failures)) passed, $failures failed"
((failures == 0))

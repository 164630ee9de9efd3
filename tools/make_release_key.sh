#!/usr/bin/env bash
# Makes the ECDSA P-256 key pair that release archives are signed with, in FOLDER
# (created with mode 700 when missing):
#   release-key.pem       the private key (mode 600): keep it secret, never commit it
#   release-key.pub.b64   the public key as KELVARO_RELEASE_KEY takes it
#                         (DER SubjectPublicKeyInfo in base64, one line)
# A key that is already there is kept, never replaced. Prints the public key.
#
#   tools/make_release_key.sh FOLDER
#
# Without a KELVARO_RELEASE_KEY, configuring a loopback build runs this for
# build/release-key (or $KELVARO_RELEASE_KEY_DIR), and so do tools/servers.sh and
# tools/publish_version.sh: the local servers sign with that key.
set -euo pipefail
DIR=${1:?usage: $0 FOLDER}
PRIVATE=$DIR/release-key.pem
PUBLIC=$DIR/release-key.pub.b64
command -v openssl >/dev/null || { echo "$0: openssl is missing (tools/setup.sh installs it)" >&2; exit 1; }

mkdir -p -m 700 "$DIR"
if [[ ! -f $PRIVATE ]]; then
  tmp=$(mktemp "$DIR/.release-key.XXXXXX")
  trap 'rm -f "$tmp"' EXIT
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$tmp" 2>/dev/null
  chmod 600 "$tmp"
  # A link is made only where no file is: should another run have been
  # quicker, its key stays and this one is dropped.
  ln "$tmp" "$PRIVATE" 2>/dev/null || true
  rm -f "$tmp"
  trap - EXIT
fi
if [[ ! -s $PUBLIC ]]; then
  tmp=$(mktemp "$DIR/.release-key-pub.XXXXXX")
  openssl pkey -in "$PRIVATE" -pubout -outform DER | base64 -w0 >"$tmp"
  echo >>"$tmp"
  chmod 644 "$tmp"
  mv -f "$tmp" "$PUBLIC"
fi
cat "$PUBLIC"

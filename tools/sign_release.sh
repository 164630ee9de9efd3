#!/usr/bin/env bash
# Signs a release archive: writes ARCHIVE.sig, the base64 of the ECDSA P-256
# signature (DER) over the SHA-256 of the archive's bytes, made with the
# private key KEY (PEM, as tools/make_release_key.sh writes it). The program
# fetches it from the archive's address with ".sig" added, so publish it beside
# the archive.
#
#   tools/sign_release.sh ARCHIVE KEY
#
# The signature is checked with the key's public half before it is written.
set -euo pipefail
ARCHIVE=${1:?usage: $0 ARCHIVE KEY}
KEY=${2:?usage: $0 ARCHIVE KEY}
[[ -f $ARCHIVE ]] || { echo "$0: no archive at $ARCHIVE" >&2; exit 1; }
[[ -f $KEY ]] || { echo "$0: no key at $KEY" >&2; exit 1; }

work=$(mktemp -d)
tmp=""
trap 'rm -rf "$work" ${tmp:+"$tmp"}' EXIT
openssl pkey -in "$KEY" -pubout -out "$work/public.pem"
if ! openssl pkey -pubin -in "$work/public.pem" -noout -text | grep -q '^NIST CURVE: P-256$'; then
  echo "$0: $KEY is not an ECDSA P-256 key" >&2
  exit 1
fi
openssl dgst -sha256 -sign "$KEY" -out "$work/signature.der" "$ARCHIVE"
openssl dgst -sha256 -verify "$work/public.pem" -signature "$work/signature.der" "$ARCHIVE" >/dev/null
tmp=$(mktemp "$ARCHIVE.sig.XXXXXX")
base64 <"$work/signature.der" >"$tmp"
chmod 644 "$tmp"
mv -f "$tmp" "$ARCHIVE.sig"
tmp=""
echo "signed $ARCHIVE: $ARCHIVE.sig"

#!/usr/bin/env bash
# Publishes a release on the local web server of tools/servers.sh: writes the
# version page with the given version text and puts a release archive in place,
# signed (tools/sign_release.sh) with the local release key beside it as
# KelvaroOstrin答题器.rar.sig. The key pair is made on first use in
# build/release-key (or $KELVARO_RELEASE_KEY_DIR), where a default build's
# configure takes its public half from.
#
#   tools/publish_version.sh v2.0                 a generated 3 MB archive
#   tools/publish_version.sh v2.0 path/to/file    that file as the archive
#
# A running program of version v1.9 then offers the update at its next start.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
STATE=${KELVARO_SERVERS_DIR:-$ROOT/build/servers}
VERSION=${1:?usage: $0 VERSION [ARCHIVE]}
ARCHIVE=${2:-}
HTTP_PORT=${KELVARO_HTTP_PORT:-18080}
KEY_DIR=${KELVARO_RELEASE_KEY_DIR:-$ROOT/build/release-key}
"$ROOT/tools/make_release_key.sh" "$KEY_DIR" >/dev/null
mkdir -p "$STATE/site"
/usr/bin/python3 - "$STATE/site" "$VERSION" "$ARCHIVE" "$HTTP_PORT" "$ROOT/tools/sign_release.sh" \
  "$KEY_DIR/release-key.pem" <<'PY'
import hashlib, os, pathlib, subprocess, sys
site, version, archive, port = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
sign, key = sys.argv[5], sys.argv[6]
name = "KelvaroOstrin答题器.rar"
# The file on disk carries the GBK bytes of the name: nginx maps the decoded
# request path to the file name byte for byte.
target = site / os.fsdecode(name.encode("gbk"))
if archive:
    data = pathlib.Path(archive).read_bytes()
else:
    seed = hashlib.sha256(version.encode()).digest()
    blocks, block = [], seed
    while sum(map(len, blocks)) < 3 * 1024 * 1024:
        block = hashlib.sha256(block).digest()
        blocks.append(block * 64)
    data = b"Rar!\x1a\x07\x00" + b"".join(blocks)[: 3 * 1024 * 1024]
tmp = target.with_name(target.name + ".tmp")
tmp.write_bytes(data)
subprocess.run([sign, str(tmp), key], check=True, stdout=subprocess.DEVNULL)
os.replace(tmp, target)
os.replace(tmp.with_name(tmp.name + ".sig"), target.with_name(target.name + ".sig"))
page = ("<html><head><title>KelvaroOstrin答题器</title></head><body>\n"
        f"<p>文件名:{name}$$$$$$</p>\n"
        f"<p>最新版本:{version}!!!!!!</p>\n"
        f"<p>下载地址:http://127.0.0.1:{port}/{name}@@@@@@</p>\n"
        "</body></html>\n").encode("gbk")
tmp = site / "version.htm.tmp"
tmp.write_bytes(page)
os.replace(tmp, site / "version.htm")
print(f"published {version}: archive of {len(data)} bytes, sha256 {hashlib.sha256(data).hexdigest()}, signed")
PY

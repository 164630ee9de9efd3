#!/usr/bin/env bash
# The loopback servers a default build talks to, run as the user:
#   nginx on 127.0.0.1:18080  the version page, the release archive, three shop pages
#   SMTP  on 127.0.0.1:2525   takes submitted questions, keeps each as a file
#
#   tools/servers.sh start    start both (state, pages and mails under $KELVARO_SERVERS_DIR)
#   tools/servers.sh stop     stop both, by the pids they wrote
#   tools/servers.sh status
#
# KELVARO_SERVERS_DIR defaults to build/servers; received mails are in its mail/ folder.
# The release archive is signed with the local release key pair, made on first
# use in build/release-key (KELVARO_RELEASE_KEY_DIR moves it); a default build
# compiles its public half in.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
STATE=${KELVARO_SERVERS_DIR:-$ROOT/build/servers}
HTTP_PORT=${KELVARO_HTTP_PORT:-18080}
SMTP_PORT=${KELVARO_SMTP_PORT:-2525}

pid_alive() { [[ -f $1 ]] && kill -0 "$(cat "$1")" 2>/dev/null; }

wait_port() {  # wait until something listens on 127.0.0.1:$1
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# Signs the published archive again when its signature is missing or was made
# with another key (a state folder from before signing, or a new key pair).
resign_archive() {
  local key=$1/release-key.pem archive sig der
  archive="$STATE/site/$(printf 'KelvaroOstrin\xb4\xf0\xcc\xe2\xc6\xf7.rar')"  # the name's GBK bytes
  [[ -f $archive ]] || return 0
  der=$(mktemp)
  if [[ -f $archive.sig ]] && base64 -d <"$archive.sig" >"$der" 2>/dev/null &&
     openssl dgst -sha256 -verify <(openssl pkey -in "$key" -pubout) -signature "$der" "$archive" >/dev/null 2>&1; then
    rm -f "$der"
    return 0
  fi
  rm -f "$der"
  "$ROOT/tools/sign_release.sh" "$archive" "$key" >/dev/null
  echo "signed the published archive again with the key in $1"
}

start() {
  mkdir -p "$STATE"/{site,tmp,mail}
  local key_dir=${KELVARO_RELEASE_KEY_DIR:-$ROOT/build/release-key}
  "$ROOT/tools/make_release_key.sh" "$key_dir" >/dev/null
  if [[ ! -f $STATE/site/version.htm ]]; then
    "$ROOT/tools/publish_version.sh" v1.9 >/dev/null
  fi
  resign_archive "$key_dir"
  /usr/bin/python3 - "$STATE/site" <<'PY'
import pathlib, sys
site = pathlib.Path(sys.argv[1])
page = "<html><head><title>{0}</title></head><body><h1>{0}</h1><p>{1}</p></body></html>\n"
for name, title in (("item.htm", "淘宝商品"), ("855013702.htm", "拍拍店铺"),
                    ("4C5F2E07000000000401000010A5D1B9.htm", "拍拍商品")):
    (site / name).write_bytes(page.format(title, "KelvaroOstrin答题器的本地演示页面。").encode("gbk"))
PY
  if pid_alive "$STATE/nginx.pid"; then
    echo "nginx already runs (pid $(cat "$STATE/nginx.pid"))"
  else
    # Started by root, nginx would hand its workers to an unprivileged user that
    # may not reach the state folder; keep them as the user who started it.
    user_line=""
    [[ $(id -u) -eq 0 ]] && user_line="user $(id -un) $(id -gn);\n"
    sed -e "s|@STATE@|$STATE|g" -e "s|@PORT@|$HTTP_PORT|g" -e "s|@USER@|$user_line|" \
      "$ROOT/tools/servers/nginx.conf.in" >"$STATE/nginx.conf"
    nginx -q -c "$STATE/nginx.conf" -p "$STATE" -e "$STATE/nginx-error.log"
    wait_port "$HTTP_PORT" || { echo "nginx did not come up; see $STATE/nginx-error.log" >&2; exit 1; }
    echo "web server:  http://127.0.0.1:$HTTP_PORT/ (pid $(cat "$STATE/nginx.pid"))"
  fi
  if pid_alive "$STATE/smtp.pid"; then
    echo "SMTP server already runs (pid $(cat "$STATE/smtp.pid"))"
  else
    nohup /usr/bin/python3 "$ROOT/tools/smtp_server.py" --port "$SMTP_PORT" --maildir "$STATE/mail" \
      >"$STATE/smtp.log" 2>&1 &
    echo $! >"$STATE/smtp.pid"
    wait_port "$SMTP_PORT" || { echo "SMTP server did not come up; see $STATE/smtp.log" >&2; exit 1; }
    echo "SMTP server: 127.0.0.1:$SMTP_PORT (pid $(cat "$STATE/smtp.pid")), mails in $STATE/mail"
  fi
}

stop() {
  if pid_alive "$STATE/nginx.pid"; then
    kill "$(cat "$STATE/nginx.pid")"
  fi
  if pid_alive "$STATE/smtp.pid"; then
    kill "$(cat "$STATE/smtp.pid")"
  fi
  rm -f "$STATE/smtp.pid"
}

status() {
  pid_alive "$STATE/nginx.pid" && echo "nginx: pid $(cat "$STATE/nginx.pid")" || echo "nginx: stopped"
  pid_alive "$STATE/smtp.pid" && echo "SMTP: pid $(cat "$STATE/smtp.pid")" || echo "SMTP: stopped"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) status ;;
  *) echo "usage: $0 start|stop|status" >&2; exit 2 ;;
esac

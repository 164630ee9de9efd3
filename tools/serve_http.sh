#!/usr/bin/env bash
# Serves the files under <root> on 127.0.0.1:<port> with Debian's nginx, run as
# the calling user in the foreground, every file it writes under <prefix>.
# Ends on SIGTERM (or SIGINT); the caller keeps its pid and stops it with that.
#
#   tools/serve_http.sh <root> <port> <prefix>
set -euo pipefail
if (($# != 3)); then
  echo "usage: $0 <root> <port> <prefix>" >&2
  exit 2
fi
ROOT=$(cd "$1" && pwd)
PORT=$2
PREFIX=$(cd "$3" && pwd)

USER_LINE=""
if [[ $(id -u) -eq 0 ]]; then
  # A master started by root would hand its workers to "nobody".
  USER_LINE="user $(id -un) $(id -gn);"
fi

cat >"$PREFIX/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $PREFIX/nginx.pid;
lock_file $PREFIX/nginx.lock;
error_log $PREFIX/error.log;
$USER_LINE
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $PREFIX/body;
  proxy_temp_path $PREFIX/proxy;
  fastcgi_temp_path $PREFIX/fastcgi;
  uwsgi_temp_path $PREFIX/uwsgi;
  scgi_temp_path $PREFIX/scgi;
  types { text/html htm html; application/octet-stream rar bin; }
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$PORT;
    root $ROOT;
    location / { }
  }
}
CONF

exec /usr/sbin/nginx -c "$PREFIX/nginx.conf" -p "$PREFIX/" -e "$PREFIX/error.log"

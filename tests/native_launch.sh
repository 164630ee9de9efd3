#!/bin/bash
# Starts a program of this machine for a test that cannot start it itself (a
# Windows test under Wine, whose CreateProcess hands a Linux program to the
# system but gives back neither its pid nor its exit status):
#   native_launch.sh start PIDFILE LOG PROGRAM ARGS...   the pid in PIDFILE, then exec
#   native_launch.sh run STATUSFILE LOG PROGRAM ARGS...  runs it, its exit status in STATUSFILE
#   native_launch.sh stop PID GRACE_MS                   SIGTERM, SIGKILL after the grace
# Files appear whole (written under another name, then renamed).
set -u
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
mode=$1
case $mode in
  start)
    pidfile=$2 log=$3
    shift 3
    echo $$ >"$pidfile.tmp" && mv "$pidfile.tmp" "$pidfile"
    exec "$@" >"$log" 2>&1 </dev/null
    ;;
  run)
    status=$2 log=$3
    shift 3
    "$@" >"$log" 2>&1 </dev/null
    echo $? >"$status.tmp" && mv "$status.tmp" "$status"
    ;;
  stop)
    pid=$2 grace=$3
    # Gone, or a zombie that nobody reaps: either way it no longer runs.
    running() {
      local line
      read -r line 2>/dev/null <"/proc/$pid/stat" || return 1
      line=${line##*) }
      [[ ${line%% *} != Z ]]
    }
    running || exit 0
    kill -TERM "$pid" 2>/dev/null || exit 0
    for ((i = 0; i < grace / 20; ++i)); do
      running || exit 0
      sleep 0.02
    done
    kill -KILL "$pid" 2>/dev/null
    for ((i = 0; i < 250; ++i)); do
      running || exit 0
      sleep 0.02
    done
    ;;
esac
exit 0

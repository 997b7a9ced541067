#!/usr/bin/env bash
# SMTP sink for tests (see smtpsink.py): stores every accepted message under <rundir>/mail.
#
#   smtpsink.sh start <rundir> [port]   start it (a free loopback port is picked when none is given);
#                                       SMTP_REQUIRE_AUTH=1 in the environment refuses mail without AUTH
#   smtpsink.sh stop <rundir>           stop it (SIGTERM, SIGKILL after a few seconds)
#
# <rundir>/smtp.env tells clients how to reach it: SMTP_HOST, SMTP_PORT, SMTP_USER,
# SMTP_PASSWORD, SMTP_MAILDIR (and SMTP_PID).
set -euo pipefail

die() { echo "smtpsink: $*" >&2; exit 1; }
usage() { echo "usage: $0 start <rundir> [port] | stop <rundir>" >&2; exit 2; }

[ $# -ge 2 ] || usage
action=$1
mkdir -p "$2"
rundir=$(cd "$2" && pwd)
envfile=$rundir/smtp.env
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Debian's python3-aiosmtpd serves the system interpreter, not whatever python3 is first on PATH.
python=/usr/bin/python3

env_value() { [ -f "$envfile" ] || return 0; sed -n "s/^$1=//p" "$envfile" | tail -n 1; }
alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }

stop_sink() {
  local pid
  pid=$(env_value SMTP_PID)
  if alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do alive "$pid" || break; sleep 0.1; done
    if alive "$pid"; then
      kill -KILL "$pid" 2>/dev/null || true
      for _ in $(seq 1 20); do alive "$pid" || break; sleep 0.1; done
    fi
  fi
  rm -f "$envfile"
}

start_sink() {
  local port=${1:-0} password pid args=()
  [ -x "$python" ] || die "$python is missing"
  "$python" -c 'import aiosmtpd' 2>/dev/null || die "python3-aiosmtpd is not installed: run scripts/setup.sh"
  stop_sink
  rm -rf "$rundir/mail"
  mkdir -p "$rundir/mail"
  password=$(head -c 9 /dev/urandom | od -An -tx1 | tr -d ' \n')
  [ "${SMTP_REQUIRE_AUTH:-0}" = 1 ] && args+=(--require-auth)
  setsid "$python" "$here/smtpsink.py" --rundir "$rundir" --port "$port" --password "$password" "${args[@]}" \
    >"$rundir/smtpsink.log" 2>&1 </dev/null &
  pid=$!
  for _ in $(seq 1 500); do
    [ -f "$envfile" ] && break
    alive "$pid" || break
    sleep 0.02
  done
  if ! [ -f "$envfile" ] || ! alive "$pid"; then
    kill -KILL "$pid" 2>/dev/null || true
    die "the sink did not start: $(tail -n 5 "$rundir/smtpsink.log")"
  fi
  echo "smtpsink: listening on 127.0.0.1:$(env_value SMTP_PORT) (pid $pid), details in $envfile"
}

case $action in
  start) start_sink "${3:-}" ;;
  stop) stop_sink; echo "smtpsink: stopped" ;;
  *) usage ;;
esac

#!/usr/bin/env bash
# SMTP sink for tests (see smtpsink.py): stores every accepted message under <rundir>/mail.
#
#   smtpsink.sh start <rundir> [port]   start it (a free loopback port is picked when none is given);
#                                       SMTP_REQUIRE_AUTH=1 in the environment refuses mail without AUTH
#   smtpsink.sh stop <rundir>           stop it (SIGTERM, SIGKILL after a few seconds)
#
# <rundir>/smtp.env tells clients how to reach it: SMTP_HOST, SMTP_PORT, SMTP_USER,
# SMTP_PASSWORD, SMTP_MAILDIR (and SMTP_PID). When openssl is at hand the start also makes a
# throw-away certificate authority and a certificate for 127.0.0.1 under <rundir>/tls, and the sink
# listens on two more ports: SMTP_STARTTLS_PORT (STARTTLS) and SMTP_TLS_PORT (TLS from the start);
# SMTP_CA_FILE is the authority a client trusts to check them.
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

# A certificate authority and a server certificate for 127.0.0.1 and localhost, valid two days.
make_certificate() {
  local dir=$rundir/tls
  command -v openssl >/dev/null || return 1
  rm -rf "$dir" && mkdir -p "$dir"
  (
    cd "$dir"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
      -subj "/CN=Velmora test mail authority" -keyout ca.key -out ca.pem
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=127.0.0.1" \
      -keyout server.key -out server.csr
    printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >ext.cnf
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile ext.cnf \
      -out server.pem
  ) >"$rundir/tls.log" 2>&1
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
  [ -n "${SMTP_SLOW_SECONDS:-}" ] && args+=(--slow-seconds "$SMTP_SLOW_SECONDS")
  rm -f "$rundir/auth.log"
  if make_certificate; then
    args+=(--tls-cert "$rundir/tls/server.pem" --tls-key "$rundir/tls/server.key" --tls-ca "$rundir/tls/ca.pem")
  else
    echo "smtpsink: no certificate (openssl missing or failing): plain SMTP only" >&2
  fi
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

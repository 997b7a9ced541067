#!/usr/bin/env bash
# Private Firebird 3 server for tests: no systemd, no system configuration touched.
#
#   fbserver.sh start <rundir> [port]   start it (a free loopback port is picked when none is given)
#   fbserver.sh stop <rundir>           stop it (SIGTERM, SIGKILL after a few seconds)
#
# Everything lives under <rundir>/fb: a server root that links the packaged plugins and message
# file, its own firebird.conf and security database (with a fresh SYSDBA password), and its own
# lock and temp folders, so two runs side by side share nothing. <rundir>/fbserver.env tells
# clients how to reach it: FB_HOST, FB_PORT, FB_USER, FB_PASSWORD, FB_DBDIR, FB_PID.
set -euo pipefail

die() { echo "fbserver: $*" >&2; exit 1; }
usage() { echo "usage: $0 start <rundir> [port] | stop <rundir>" >&2; exit 2; }

[ $# -ge 2 ] || usage
action=$1
mkdir -p "$2"
rundir=$(cd "$2" && pwd)
envfile=$rundir/fbserver.env
fb=$rundir/fb

# The packaged engine: /usr/lib/<multiarch>/firebird/3.0 on Debian.
find_fbhome() {
  local engine
  for engine in /usr/lib/*/firebird/3.0/plugins/libEngine12.so /usr/lib/firebird/3.0/plugins/libEngine12.so \
                /opt/firebird/plugins/libEngine12.so; do
    if [ -e "$engine" ]; then dirname "$(dirname "$engine")"; return; fi
  done
  die "the Firebird 3 engine (libEngine12.so) is not installed: run scripts/setup.sh"
}

server_binary() {
  local b
  for b in /usr/sbin/firebird /opt/firebird/bin/firebird; do
    [ -x "$b" ] && { echo "$b"; return; }
  done
  die "the Firebird server binary is not installed (package firebird3.0-server): run scripts/setup.sh"
}

env_value() { [ -f "$envfile" ] || return 0; sed -n "s/^$1=//p" "$envfile" | tail -n 1; }

alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# A port nobody listens on now, from a range the system does not hand out to clients on its own.
free_port() {
  local port tries=0
  while [ $tries -lt 200 ]; do
    port=$(( 20000 + (RANDOM * 32768 + RANDOM) % 12000 ))
    if ! listening "$port"; then echo "$port"; return; fi
    tries=$((tries + 1))
  done
  die "found no free port"
}

stop_server() {
  local pid
  pid=$(env_value FB_PID)
  if alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      alive "$pid" || break
      sleep 0.1
    done
    if alive "$pid"; then
      kill -KILL "$pid" 2>/dev/null || true
      for _ in $(seq 1 20); do alive "$pid" || break; sleep 0.1; done
    fi
  fi
  rm -f "$envfile"
}

# The server's root: links to what the package ships, real files for what the server looks up by
# its own path (the character sets module refuses to load through a link: WIN1252 and friends would
# be "not defined"), and our own configuration.
make_root() {
  local fbhome=$1 port=$2 root=$fb/root
  rm -rf "$root" "$fb/lock" "$fb/tmp"
  mkdir -p "$root/intl" "$fb/lock" "$fb/tmp" "$fb/db"
  ln -s "$fbhome/plugins" "$root/plugins"
  ln -s "$fbhome/lib" "$root/lib"
  [ -e "$fbhome/UDF" ] && ln -s "$fbhome/UDF" "$root/UDF"
  cp "$fbhome/firebird.msg" "$root/firebird.msg"
  cp -L "$fbhome/intl/libfbintl.so" "$root/intl/libfbintl.so"
  cp -L "$fbhome/intl/fbintl.conf" "$root/intl/fbintl.conf"
  cp -L "$fbhome/plugins.conf" "$root/plugins.conf"
  : > "$root/databases.conf"
  cat > "$root/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $root/security3.fdb
ServerMode = Super
DatabaseAccess = Full
UdfAccess = None
AuthServer = Srp
UserManager = Srp
CONF
}

# The security database: a copy of the packaged one, or one made from the package's script when
# the package never made one.
make_security_db() {
  local root=$fb/root sysdb
  for sysdb in /var/lib/firebird/3.0/system/security3.fdb; do
    if [ -r "$sysdb" ]; then cp "$sysdb" "$root/security3.fdb"; chmod 600 "$root/security3.fdb"; return; fi
  done
  local sql=/usr/share/firebird/3.0/security.sql
  [ -r "$sql" ] || die "no security database to start from (neither $sysdb nor $sql)"
  echo "create database '$root/security3.fdb';" | isql-fb -q -user SYSDBA >/dev/null
  isql-fb -q -user SYSDBA -i "$sql" "$root/security3.fdb" >/dev/null
}

start_server() {
  local wanted_port=${1:-} fbhome binary port password pid attempt
  fbhome=$(find_fbhome)
  binary=$(server_binary)
  command -v isql-fb >/dev/null || die "isql-fb is not installed (package firebird3.0-utils): run scripts/setup.sh"

  # A server left behind by an earlier run in this folder goes first.
  stop_server
  password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')

  for attempt in 1 2 3 4 5; do
    port=${wanted_port:-$(free_port)}
    if [ -n "$wanted_port" ] && listening "$port"; then
      die "port $port is already in use"
    fi
    make_root "$fbhome" "$port"
    export FIREBIRD=$fb/root FIREBIRD_LOCK=$fb/lock FIREBIRD_TMP=$fb/tmp
    unset ISC_USER ISC_PASSWORD
    make_security_db
    # Through the embedded engine, which reads the security database named in our firebird.conf.
    printf "create or alter user SYSDBA password '%s' using plugin Srp;\ncommit;\n" "$password" |
      isql-fb -q -user SYSDBA "$fb/root/security3.fdb" >"$fb/isql.log" 2>&1 ||
      die "cannot set the SYSDBA password: $(cat "$fb/isql.log")"

    setsid "$binary" >"$fb/server.log" 2>&1 </dev/null &
    pid=$!
    for _ in $(seq 1 500); do
      listening "$port" && break
      alive "$pid" || break
      sleep 0.02
    done
    if alive "$pid" && listening "$port"; then
      break
    fi
    kill -KILL "$pid" 2>/dev/null || true
    # Someone took the port between the check and the bind: try another one.
    [ -z "$wanted_port" ] || die "the server did not start on port $port: $(tail -n 5 "$fb/server.log" "$fb/root/firebird.log" 2>/dev/null)"
    pid=
  done
  [ -n "$pid" ] || die "the server did not start: $(tail -n 5 "$fb/server.log" "$fb/root/firebird.log" 2>/dev/null)"

  # Listening is not yet logging in: prove the password works before anyone relies on it.
  if ! fbsvcmgr "127.0.0.1/$port:service_mgr" -user SYSDBA -password "$password" -info_server_version \
        >"$fb/check.log" 2>&1; then
    kill -KILL "$pid" 2>/dev/null || true
    die "the server runs but refuses SYSDBA: $(cat "$fb/check.log")"
  fi

  local tmp=$envfile.tmp
  cat > "$tmp" <<ENV
FB_HOST=127.0.0.1
FB_PORT=$port
FB_USER=SYSDBA
FB_PASSWORD=$password
FB_DBDIR=$fb/db
FB_PID=$pid
ENV
  mv "$tmp" "$envfile"
  echo "fbserver: listening on 127.0.0.1:$port (pid $pid), details in $envfile"
}

case $action in
  start) start_server "${3:-}" ;;
  stop) stop_server; echo "fbserver: stopped" ;;
  *) usage ;;
esac

#!/usr/bin/env bash
# A private Firebird server on 127.0.0.1 for the shared-mode tests: its own configuration,
# security database, lock folder and administrator password, so that it neither needs nor
# touches the system's server (which may run on port 3050 with a password we do not know).
#
#   firebird-server.sh start   start it (or find it running) and print its settings
#   firebird-server.sh stop    stop it; its security database stays for the next start
#
# The settings are written to $STATE/server.env as KODRA_TEST_SERVER (the host part of a
# catalogue path, "127.0.0.1" or "127.0.0.1/PORT"), KODRA_TEST_SYSDBA_PASSWORD and
# KODRA_TEST_SERVER_CTL (this script, for tests that stop and start the server).
set -euo pipefail
cd "$(dirname "$0")/.."
STATE="${KODRA_FB_STATE:-$PWD/build/firebird-server}"
SCRIPT="$PWD/scripts/firebird-server.sh"
SERVER=/usr/sbin/firebird

fail() {
  echo "firebird-server.sh: $*" >&2
  exit 1
}

is_running() {
  [ -f "$STATE/pid" ] && kill -0 "$(cat "$STATE/pid")" 2>/dev/null
}

port_busy() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

answers() {
  fbsvcmgr "$(server_host):service_mgr" -user SYSDBA -password "$(cat "$STATE/password")" \
    info_server_version >/dev/null 2>&1
}

server_host() {
  local port
  port=$(cat "$STATE/port")
  if [ "$port" = 3050 ]; then echo 127.0.0.1; else echo "127.0.0.1/$port"; fi
}

# Embedded tools working on the private configuration.
private() {
  FIREBIRD="$STATE/root" FIREBIRD_LOCK="$STATE/lock" "$@"
}

first_of() {
  local f
  for f in "$@"; do
    if [ -e "$f" ]; then
      echo "$f"
      return
    fi
  done
}

configure() {
  local msg plugins
  msg=$(first_of /usr/lib/*/firebird/3.0/firebird.msg)
  plugins=$(first_of /usr/lib/*/firebird/3.0/plugins.conf)
  [ -n "$msg" ] || fail "no firebird.msg: is firebird3.0-common installed?"
  mkdir -p "$STATE/root" "$STATE/lock"
  chmod 0700 "$STATE"
  if [ ! -f "$STATE/port" ]; then
    local port=3050
    while port_busy "$port"; do
      port=$((port + 1))
      [ "$port" -lt 3070 ] || fail "no free port between 3050 and 3069"
    done
    echo "$port" >"$STATE/port"
  fi
  cat >"$STATE/root/firebird.conf" <<EOF
RemoteServicePort = $(cat "$STATE/port")
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $STATE/security3.fdb
ServerMode = Super
EOF
  # As in Debian's configuration: the security database is not reachable over the network.
  cat >"$STATE/root/databases.conf" <<EOF
security.db = $STATE/security3.fdb
{
	RemoteAccess = false
	DefaultDbCachePages = 50
}
EOF
  if [ -n "$plugins" ]; then cp "$plugins" "$STATE/root/plugins.conf"; else : >"$STATE/root/plugins.conf"; fi
  ln -sf "$msg" "$STATE/root/firebird.msg"

  if [ ! -f "$STATE/security3.fdb" ]; then
    [ -f /usr/share/firebird/3.0/security.sql ] || fail "no security.sql: is firebird3.0-server installed?"
    rm -f "$STATE/password"
    echo "create database '$STATE/security3.fdb';" | private isql-fb -q
    private isql-fb -q -user SYSDBA -i /usr/share/firebird/3.0/security.sql "$STATE/security3.fdb"
  fi
  if [ ! -f "$STATE/password" ]; then
    # Longer than 8 characters on purpose: nothing may cut an administrator password short.
    local password
    password="Kodra-$(head -c 32 /dev/urandom | od -An -tx1 | tr -d ' \n' | head -c 16)"
    echo "create or alter user SYSDBA password '$password' using plugin Srp; commit;" \
      | private isql-fb -q -user SYSDBA "$STATE/security3.fdb"
    echo "$password" >"$STATE/password"
    chmod 0600 "$STATE/password"
  fi
}

write_env() {
  cat >"$STATE/server.env" <<EOF
KODRA_TEST_SERVER=$(server_host)
KODRA_TEST_SYSDBA_PASSWORD=$(cat "$STATE/password")
KODRA_TEST_SERVER_CTL=$SCRIPT
EOF
  cat "$STATE/server.env"
}

start() {
  [ -x "$SERVER" ] || fail "$SERVER not found: install firebird3.0-server (scripts/install-deps.sh)"
  command -v isql-fb >/dev/null || fail "isql-fb not found: install firebird3.0-utils"
  mkdir -p "$STATE"
  if is_running; then
    write_env
    return
  fi
  # A port taken since the last run (by the system's server, say): choose another one.
  if [ -f "$STATE/port" ] && port_busy "$(cat "$STATE/port")"; then rm -f "$STATE/port"; fi
  configure
  # The server binary itself, without the guardian: it stays in the foreground as our child.
  FIREBIRD="$STATE/root" FIREBIRD_LOCK="$STATE/lock" nohup "$SERVER" \
    >"$STATE/server.log" 2>&1 </dev/null &
  echo $! >"$STATE/pid"
  for _ in $(seq 1 300); do
    if answers; then
      write_env
      return
    fi
    is_running || break
    sleep 0.1
  done
  cat "$STATE/server.log" >&2 || true
  stop
  fail "the server did not start"
}

stop() {
  is_running || {
    rm -f "$STATE/pid"
    return 0
  }
  local pid
  pid=$(cat "$STATE/pid")
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  rm -f "$STATE/pid"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac

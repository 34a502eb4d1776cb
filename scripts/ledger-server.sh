#!/usr/bin/env bash
# A private PostgreSQL server for the ledger's tests and bench, in a folder of
# its own, on a free loopback port, with its socket in that folder. Touches no
# cluster the machine already has. PostgreSQL refuses to run as root, so as
# root the server runs as the postgres user.
#   ledger-server.sh start DIR   prints nothing on success; writes DIR/connection
#                                (an ODBC connection string without password)
#   ledger-server.sh stop DIR    stops it and removes DIR
# Where PostgreSQL cannot start, start says so on one line, writes why in
# DIR.unavailable (which stop leaves) and exits 0, so everything else still
# runs and the test command can say so.
set -uo pipefail
action="${1:?start or stop}"
dir="$(realpath -m "${2:?a folder}")"

server_bin() {
  local bin
  bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
  [ -x "$bin/initdb" ] && echo "$bin"
}

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

unavailable() {
  echo "PostgreSQL could not start here ($1): the ledger's database tests are skipped."
  echo "$1" >"$dir.unavailable"
  exit 0
}


start() {
  local bin port
  rm -rf "$dir" "$dir.unavailable"
  bin="$(server_bin)" || unavailable "no PostgreSQL server installed"
  mkdir -p "$dir/data"
  [ "$(id -u)" -ne 0 ] || chown -R postgres "$dir"
  as_owner timeout 120 "$bin/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 >"$dir/initdb.log" 2>&1 ||
    unavailable "initdb failed: $(tail -n 1 "$dir/initdb.log")"
  # A port found free may be taken before the server binds it: another try.
  local started=""
  for _ in 1 2 3; do
    port="$(free_port)"
    if as_owner timeout 60 "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
      -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null 2>&1; then
      started=1
      break
    fi
  done
  [ -n "$started" ] || unavailable "the server did not start: $(tail -n 1 "$dir/server.log")"
  echo "$port" >"$dir/port"
  as_owner timeout 30 "$bin/psql" -h "$dir" -p "$port" -U postgres -q -c "CREATE DATABASE kelvra" >/dev/null ||
    unavailable "no database could be made"
  printf 'Server=127.0.0.1;Port=%s;Database=kelvra;Uid=postgres;' "$port" >"$dir/connection"
}

stop() {
  local bin
  bin="$(server_bin)" || { rm -rf "$dir"; return 0; }
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_owner timeout 60 "$bin/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

case "$action" in
  start) start ;;
  stop) stop ;;
  *) echo "start or stop" >&2; exit 2 ;;
esac

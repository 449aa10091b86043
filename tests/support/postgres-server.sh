#!/bin/bash
# A private PostgreSQL 15 server for a test: its own data, socket and log in one short
# folder, nothing shared with the machine's servers.
#
#   postgres-server.sh start DIR [PORT|tcp]
#       DIR: a new or empty folder with a short path (a Unix socket's path may not exceed
#       107 bytes), e.g. $(mktemp -d /tmp/fwpg.XXXXXX). The server listens on a Unix
#       socket in DIR only, or also on 127.0.0.1:PORT ("tcp": a free port). Prints the
#       connection URI on stdout and nothing else:
#         postgresql:///postgres?host=DIR&port=5432&user=postgres    (socket: no password)
#         postgresql://postgres@127.0.0.1:PORT/postgres              (TCP: password
#                                                                      "fwflash-test")
#       Environment: POSTGRES_SERVER_OWNER=PID stops the server and removes DIR once
#       that process has ended, whatever way it ends (a test killed at its time-out
#       leaves no server). POSTGRES_SERVER_FSYNC=on keeps fsync (the benchmark); tests
#       run without it.
#   postgres-server.sh pause DIR / resume DIR
#       Stops the server keeping its data, and starts it again as it was (an outage).
#   postgres-server.sh stop DIR
#       Stops the server and removes DIR. Safe to call twice or on a failed start.
#
# As root (CI) initdb and the server run as the user postgres, since initdb refuses root;
# DIR is then given to postgres with mode 755 so that root's clients reach the socket.
# Starting takes about 2 s. Exit code 0 on success, else 1 with the reason on stderr.
set -u
bin=/usr/lib/postgresql/15/bin
readonly test_password=fwflash-test

fail() { echo "postgres-server.sh: $*" >&2; exit 1; }

as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

pause_server() {
  local dir=$1
  [ -f "$dir/data/postmaster.pid" ] || return 0
  as_server_user "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 30 stop >/dev/null 2>&1 ||
    as_server_user "$bin/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1
}

# The settings of the first start are kept in DIR/options, so that a resume listens
# where the clients look.
run_server() {
  local dir=$1
  as_server_user "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "$(cat "$dir/options")" start >/dev/null 2>&1
}

stop_server() {
  pause_server "$1"
  rm -rf "$1"
}

# Watches the owner from a session of its own, holding none of the caller's files open.
watch_owner() {
  local dir=$1 owner=$2
  setsid bash -c 'while kill -0 "$1" 2>/dev/null && [ -d "$2" ]; do sleep 1; done
                  [ -d "$2" ] && "$0" stop "$2"' "$0" "$owner" "$dir" \
    </dev/null >/dev/null 2>&1 &
}

start_server() {
  local dir=$1 port=${2:-} tries=1
  [ -x "$bin/initdb" ] || fail "PostgreSQL 15 is not installed ($bin): apt-get install postgresql-15"
  [ ${#dir} -le 80 ] || fail "$dir is too long for a Unix socket's folder; use a short one under /tmp"
  mkdir -p "$dir" || fail "cannot make $dir"
  dir=$(cd "$dir" && pwd)
  [ -z "$(ls -A "$dir")" ] || fail "$dir is not empty"
  chmod 755 "$dir"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
  printf '%s\n' "$test_password" >"$dir/password"
  as_server_user "$bin/initdb" -D "$dir/data" -U postgres --pwfile="$dir/password" \
    --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 --no-sync \
    >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; rm -rf "$dir"; fail "initdb failed"; }
  rm -f "$dir/password"
  [ -n "${POSTGRES_SERVER_OWNER:-}" ] && watch_owner "$dir" "$POSTGRES_SERVER_OWNER"
  local listen="" fsync=${POSTGRES_SERVER_FSYNC:-off}
  [ "$port" = tcp ] && tries=5
  while :; do
    local use_port=$port
    [ "$port" = tcp ] && use_port=$(free_port)
    listen="''"
    [ -n "$use_port" ] && listen=127.0.0.1
    echo "-c listen_addresses=$listen -c port=${use_port:-5432} -c unix_socket_directories=$dir -c fsync=$fsync -c full_page_writes=$fsync" >"$dir/options"
    run_server "$dir" && break
    tries=$((tries - 1))
    if [ $tries -le 0 ]; then
      tail -5 "$dir/server.log" >&2
      stop_server "$dir"
      fail "the server did not start"
    fi
  done
  if [ -n "$use_port" ]; then
    echo "postgresql://postgres@127.0.0.1:$use_port/postgres"
  else
    echo "postgresql:///postgres?host=$dir&port=5432&user=postgres"
  fi
}

case "${1:-}" in
  start) [ $# -ge 2 ] || fail "usage: $0 start DIR [PORT|tcp]"; start_server "$2" "${3:-}" ;;
  stop) [ $# -eq 2 ] || fail "usage: $0 stop DIR"; stop_server "$2" ;;
  pause) [ $# -eq 2 ] || fail "usage: $0 pause DIR"; pause_server "$2" ;;
  resume) [ $# -eq 2 ] || fail "usage: $0 resume DIR"
    run_server "$2" || { tail -5 "$2/server.log" >&2; fail "the server did not start again"; } ;;
  *) fail "usage: $0 start DIR [PORT|tcp] | pause DIR | resume DIR | stop DIR" ;;
esac

#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: a fresh cluster in a temporary folder, listening on a Unix
# socket in that folder and on loopback, run by an unprivileged user when this script runs as root.
#   scripts/pg-test-server.sh start DIR   prints the connection URL (postgresql://...) on stdout
#   scripts/pg-test-server.sh stop DIR    stops the server and removes DIR
#   scripts/pg-test-server.sh restart DIR stops and starts the same cluster again (same URL)
set -euo pipefail
cmd=${1:?start, stop or restart}
dir=${2:?folder}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "PostgreSQL server not installed (scripts/deps.sh installs it)" >&2; exit 1; }

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}

case "$cmd" in
start)
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ] && ! runuser -u nobody -- test -x "$dir"; then
        echo "$dir: the server's user (nobody) cannot reach this folder; use one under a world-searchable parent" >&2
        exit 1
    fi
    [ "$(id -u)" -eq 0 ] && chown nobody "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -A trust -U qzr --no-sync >"$dir/initdb.log" 2>&1
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    echo "$port" >"$dir/port"
    [ "$(id -u)" -eq 0 ] && chown nobody "$dir/port"
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
        -o "-k $dir -h 127.0.0.1 -p $port -F" start >/dev/null
    as_owner "$bin/createdb" -h "$dir" -p "$port" -U qzr qzr_test
    echo "postgresql://qzr@127.0.0.1:$port/qzr_test"
    ;;
restart)
    port=$(cat "$dir/port")
    as_owner "$bin/pg_ctl" -D "$dir/data" -w -t 30 -m fast restart -o "-k $dir -h 127.0.0.1 -p $port -F" >/dev/null
    echo "postgresql://qzr@127.0.0.1:$port/qzr_test"
    ;;
stop)
    if [ -d "$dir/data" ]; then as_owner "$bin/pg_ctl" -D "$dir/data" -w -m immediate stop >/dev/null 2>&1 || true; fi
    rm -rf "$dir"
    ;;
*)
    echo "unknown command: $cmd" >&2
    exit 2
    ;;
esac

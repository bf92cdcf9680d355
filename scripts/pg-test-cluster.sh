#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the service records tests: Unix socket only, in a folder of
# its own under /tmp, run as an unprivileged user (initdb refuses root).
#   pg-test-cluster.sh start STATE   starts it; STATE/url holds the connection URL
#   pg-test-cluster.sh stop STATE    stops it and removes it
#   pg-test-cluster.sh pause STATE / resume STATE   stops and starts the server, data kept
# Without a PostgreSQL server installed, start writes STATE/skip with the reason instead.
set -euo pipefail
cmd="$1"
state="$2"
bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
as=()
if [ "$(id -u)" -eq 0 ]; then
    as=(runuser -u postgres --)
fi
ctl() {
    local dir
    dir="$(cat "$state/dir")"
    "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
        -o "-c listen_addresses='' -c unix_socket_directories=$dir -c fsync=off" "$@" \
        >>"$state/log" 2>&1
}
case "$cmd" in
start)
    # A cluster left by an interrupted run goes first.
    [ -f "$state/dir" ] && "$0" stop "$state"
    rm -rf "$state"
    mkdir -p "$state"
    if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
        echo "no PostgreSQL server installed (Debian's postgresql package)" >"$state/skip"
        exit 0
    fi
    if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
        echo "no unprivileged postgres user to run the server as" >"$state/skip"
        exit 0
    fi
    dir="$(mktemp -d /tmp/pellix-pg.XXXXXX)"
    echo "$dir" >"$state/dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    "${as[@]}" "$bin/initdb" -D "$dir/data" -U pellix -A trust --no-sync >"$state/log" 2>&1
    ctl start
    echo "postgresql://pellix@/postgres?host=$dir" >"$state/url"
    ;;
pause) ctl -m fast stop ;;
resume) ctl start ;;
stop)
    [ -f "$state/dir" ] || exit 0
    ctl -m immediate stop || true
    rm -rf "$(cat "$state/dir")" "$state"
    ;;
*)
    echo "usage: $0 start|stop|pause|resume STATE" >&2
    exit 2
    ;;
esac

#!/bin/sh
# A throw-away PostgreSQL cluster for the server tests: made in a temporary folder, listening on a
# Unix socket there and on no network address, run by an unprivileged user (the server refuses
# root). `start STATE` writes the URI to STATE.uri and the folder to STATE.dir; `stop STATE` stops
# the server and removes the folder; `restart STATE` stops the server at once, as a crash would,
# and starts it again on the same folder.
set -eu

action=${1:?start, stop or restart}
state=${2:?state file prefix}

bindir=${ORV_PG_BINDIR:-}
if [ -z "$bindir" ]; then
    for candidate in /usr/lib/postgresql/*/bin; do
        if [ -x "$candidate/initdb" ]; then bindir=$candidate; fi
    done
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/pg_ctl" ]; then
    echo "pgcluster: no PostgreSQL server binaries found (install the postgresql package)" >&2
    exit 1
fi

# As root, the cluster belongs to the postgres user the package makes, or to nobody.
owner=
if [ "$(id -u)" -eq 0 ]; then
    if id postgres >/dev/null 2>&1; then owner=postgres; else owner=nobody; fi
fi
# The server's user may not enter the folder the tests run in.
cd /

as_owner() {
    if [ -n "$owner" ]; then setpriv --reuid="$owner" --regid="$(id -g "$owner")" --clear-groups -- "$@"
    else "$@"; fi
}

run_server() {
    as_owner "$bindir/pg_ctl" -D "$1/data" -l "$1/server.log" -w -t 60 \
        -o "-c listen_addresses='' -c unix_socket_directories='$1' -c fsync=off -c max_connections=40" start ||
        { cat "$1/server.log" >&2; exit 1; }
}

case "$action" in
start)
    if [ -f "$state.dir" ] && [ -d "$(cat "$state.dir")" ]; then
        sh "$0" stop "$state" || true
    fi
    # Short and fixed in length: a socket's path may not exceed about 100 bytes.
    dir=$(mktemp -d /tmp/orv-pg.XXXXXX)
    if [ -n "$owner" ]; then chown "$owner" "$dir"; fi
    chmod 0755 "$dir"
    echo "$dir" > "$state.dir"
    user=${owner:-$(id -un)}
    as_owner "$bindir/initdb" -D "$dir/data" -U "$user" --encoding=UTF8 --locale=C.UTF-8 \
        --auth-local=trust --auth-host=reject >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    # One role and the members of another sign in with a password, for the tests of a wrong one and
    # of operators' passwords; everyone else is trusted.
    { echo "local all orv_password_user scram-sha-256"; echo "local all +orv_password_login scram-sha-256";
      echo "local all all trust"; } >"$dir/data/pg_hba.conf"
    run_server "$dir"
    echo "postgresql:///postgres?host=$dir&user=$user" > "$state.uri"
    ;;
stop)
    [ -f "$state.dir" ] || exit 0
    dir=$(cat "$state.dir")
    if [ -d "$dir/data" ]; then
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 ||
            as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    rm -f "$state.dir" "$state.uri"
    ;;
restart)
    dir=$(cat "$state.dir")
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null
    run_server "$dir"
    ;;
*)
    echo "pgcluster: start, stop or restart" >&2
    exit 2
    ;;
esac

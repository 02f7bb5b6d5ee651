#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: a data directory of its own, listening only on a
# Unix socket inside that directory (no TCP), trusting local connections, with the superuser
# "korvane".
#
# Usage: pg-test-server.sh start DIR   creates DIR (empty or missing), starts the server and
#                                      prints its URI: postgresql://korvane@/postgres?host=DIR
#                                      (the socket is in DIR itself, so DIR must be a short path)
#        pg-test-server.sh stop DIR    stops the server and removes DIR
#
# PostgreSQL refuses to run as root: as root the server runs as the user "postgres" (DIR is
# given to it); as any other user it runs as that user.
set -euo pipefail

usage() {
  echo "usage: $0 start|stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action=$1
dir=$2

bindir=""
if command -v pg_config > /dev/null 2>&1 && [ -x "$(pg_config --bindir)/initdb" ]; then
  bindir=$(pg_config --bindir)
fi
if [ -z "$bindir" ]; then
  for candidate in /usr/lib/postgresql/*/bin; do
    [ -x "$candidate/initdb" ] && bindir=$candidate
  done
fi
if [ -z "$bindir" ]; then
  echo "$0: no PostgreSQL server found (install the Debian package postgresql)" >&2
  exit 1
fi

as_server=()
if [ "$(id -u)" -eq 0 ]; then
  as_server=(runuser -u postgres --)
fi

case "$action" in
  start)
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    if [ -n "$(ls -A "$dir")" ]; then
      echo "$0: $dir is not empty" >&2
      exit 1
    fi
    mkdir "$dir/data"
    if [ "$(id -u)" -eq 0 ]; then
      chown -R postgres: "$dir"
    fi
    chmod 700 "$dir/data"
    "${as_server[@]}" "$bindir/initdb" -D "$dir/data" -U korvane -A trust -E UTF8 \
      --locale=C.UTF-8 > "$dir/initdb.log" 2>&1 || {
      cat "$dir/initdb.log" >&2
      exit 1
    }
    # TCP off: only the socket inside the directory serves, so parallel runs never collide.
    "${as_server[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off \
          -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
      start > /dev/null || {
      cat "$dir/server.log" >&2
      exit 1
    }
    echo "postgresql://korvane@/postgres?host=$dir"
    ;;
  stop)
    [ -d "$dir" ] || exit 0
    dir=$(cd "$dir" && pwd)
    if [ -f "$dir/data/postmaster.pid" ]; then
      "${as_server[@]}" "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop > /dev/null
    fi
    rm -rf "$dir"
    ;;
  *)
    usage
    ;;
esac

#!/usr/bin/env bash
# A throwaway PostgreSQL 15 server for the tests.
#
#   pg-prova.sh avvia CARTELLA   makes a cluster in CARTELLA and starts it,
#                                listening on a unix socket in CARTELLA only
#                                (no TCP port), superuser "sorvela", no password
#   pg-prova.sh ferma CARTELLA   stops it and removes CARTELLA
#   pg-prova.sh sospendi CARTELLA  stops it and keeps its data (a server down)
#   pg-prova.sh riprendi CARTELLA  starts it again on the same data
#
# The tests reach it with SORVELA_TEST_PG="host=CARTELLA user=sorvela"
# (tests/CMakeLists.txt sets both up as a CTest fixture). The server refuses
# to run as root: as root it runs as "nobody", which owns CARTELLA.
set -euo pipefail

BIN=${SORVELA_PG_BIN:-/usr/lib/postgresql/15/bin}
azione=${1:?avvia o ferma}
cartella=${2:?cartella del server}

come=()
if [ "$(id -u)" -eq 0 ]; then
  come=(runuser -u nobody --)
fi

# Durability is no concern for a server that lives for one test run.
parti() {
  if ! "${come[@]}" "$BIN/pg_ctl" -D "$cartella/dati" -l "$cartella/server.log" -w -t 60 \
      -o "-c listen_addresses='' -k $cartella -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      start >/dev/null; then
    cat "$cartella/server.log" >&2
    exit 1
  fi
}

case "$azione" in
avvia)
  # What an interrupted run left behind goes first.
  if [ -d "$cartella" ]; then
    "$0" ferma "$cartella" || true
  fi
  mkdir -p "$cartella"
  chmod 700 "$cartella"
  if [ ${#come[@]} -gt 0 ]; then
    chown nobody: "$cartella"
  fi
  cd "$cartella"
  if ! "${come[@]}" "$BIN/initdb" -D "$cartella/dati" -U sorvela -A trust -E UTF8 --locale=C.UTF-8 --no-sync \
      >"$cartella/initdb.log" 2>&1; then
    cat "$cartella/initdb.log" >&2
    exit 1
  fi
  parti
  echo "server di prova pronto: host=$cartella user=sorvela"
  ;;
ferma)
  if [ -f "$cartella/dati/postmaster.pid" ]; then
    (cd / && "${come[@]}" "$BIN/pg_ctl" -D "$cartella/dati" -m immediate -w -t 30 stop >/dev/null) || true
  fi
  rm -rf "$cartella"
  ;;
sospendi)
  (cd / && "${come[@]}" "$BIN/pg_ctl" -D "$cartella/dati" -m fast -w -t 30 stop >/dev/null)
  ;;
riprendi)
  cd "$cartella"
  parti
  ;;
*)
  echo "uso: $0 avvia|ferma|sospendi|riprendi CARTELLA" >&2
  exit 2
  ;;
esac

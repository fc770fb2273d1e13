#!/usr/bin/env bash
# Sourced by scripts/test.sh: starts a private PostgreSQL cluster and writes a private ODBC
# driver list, then exports where the database tests find them:
#   QUENMARK_TEST_PG          postgresql:// URL of an empty database (the tests load the fixture)
#   QUENMARK_TEST_ODBC_PG     ODBC string reaching that database through "PostgreSQL Unicode"
#   QUENMARK_TEST_ODBC_SQLITE ODBC string for the "SQLite3" driver; the tests add the fixture file
#   ODBCSYSINI / ODBCINSTINI  the private driver list
# Without PostgreSQL or the ODBC drivers the variables stay unset and those tests skip.
# `test_databases_stop` stops the cluster and removes its files.

_qm_pg_bin=/usr/lib/postgresql/15/bin
_qm_pg_data=""
_qm_pg_tmp=""
_qm_pg_run=()

_qm_free_port() {
  local port=$1
  while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
    port=$((port + 1))
  done
  echo "$port"
}

_qm_odbc_driver() {
  local name=$1 found
  for found in /usr/lib/*/odbc/"$name" /usr/lib/odbc/"$name" /usr/lib64/odbc/"$name"; do
    [ -f "$found" ] && { echo "$found"; return 0; }
  done
  return 1
}

test_databases_start() {
  local dir=$1
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)

  # ODBC: a private driver list, so nothing is registered system-wide.
  local sqlite_driver pg_driver
  sqlite_driver=$(_qm_odbc_driver libsqlite3odbc.so) || sqlite_driver=""
  pg_driver=$(_qm_odbc_driver psqlodbcw.so) || pg_driver=""
  : >"$dir/odbcinst.ini"
  if [ -n "$sqlite_driver" ]; then
    printf '[SQLite3]\nDescription=SQLite 3 ODBC driver\nDriver=%s\nSetup=%s\n\n' \
      "$sqlite_driver" "$sqlite_driver" >>"$dir/odbcinst.ini"
  fi
  if [ -n "$pg_driver" ]; then
    printf '[PostgreSQL Unicode]\nDescription=PostgreSQL ODBC driver (Unicode)\nDriver=%s\nSetup=%s\n\n' \
      "$pg_driver" "$pg_driver" >>"$dir/odbcinst.ini"
  fi
  : >"$dir/odbc.ini"
  export ODBCSYSINI="$dir" ODBCINSTINI=odbcinst.ini
  [ -n "$sqlite_driver" ] && export QUENMARK_TEST_ODBC_SQLITE="Driver=SQLite3;"

  if [ ! -x "$_qm_pg_bin/initdb" ]; then
    echo "== PostgreSQL 15 not found: PostgreSQL tests will skip"
    return 0
  fi
  local socket_dir log
  if [ "$(id -u)" -eq 0 ]; then
    # The server refuses to run as root: run it as "postgres" in a directory that user owns.
    _qm_pg_run=(runuser -u postgres --)
    _qm_pg_tmp=$("${_qm_pg_run[@]}" mktemp -d /tmp/quenmark-pg.XXXXXX)
    _qm_pg_data="$_qm_pg_tmp/data"
    socket_dir="$_qm_pg_tmp"
  else
    _qm_pg_run=()
    _qm_pg_tmp=$(mktemp -d "$dir/pg.XXXXXX")
    _qm_pg_data="$_qm_pg_tmp/data"
    socket_dir="$_qm_pg_tmp"
  fi
  log="$_qm_pg_tmp/server.log"
  local port
  port=$(_qm_free_port 54329)
  if ! "${_qm_pg_run[@]}" "$_qm_pg_bin/initdb" -D "$_qm_pg_data" -A trust -U postgres -E UTF8 \
      --locale=C >"$_qm_pg_tmp/initdb.log" 2>&1; then
    echo "== initdb failed (see $_qm_pg_tmp/initdb.log): PostgreSQL tests will skip"
    return 0
  fi
  if ! "${_qm_pg_run[@]}" "$_qm_pg_bin/pg_ctl" -D "$_qm_pg_data" -l "$log" -w -t 60 \
      -o "-p $port -k $socket_dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null; then
    echo "== PostgreSQL did not start (see $log): PostgreSQL tests will skip"
    return 0
  fi
  if ! "$_qm_pg_bin/createdb" -h 127.0.0.1 -p "$port" -U postgres quenmark_test; then
    echo "== createdb failed: PostgreSQL tests will skip"
    return 0
  fi
  export QUENMARK_TEST_PG="postgresql://postgres@127.0.0.1:$port/quenmark_test"
  if [ -n "$pg_driver" ]; then
    export QUENMARK_TEST_ODBC_PG="Driver=PostgreSQL Unicode;Server=127.0.0.1;Port=$port;Database=quenmark_test;Uid=postgres;Pwd=;"
  fi
  echo "== PostgreSQL test cluster on 127.0.0.1:$port"
}

test_databases_stop() {
  if [ -n "$_qm_pg_data" ] && [ -d "$_qm_pg_data" ]; then
    "${_qm_pg_run[@]}" "$_qm_pg_bin/pg_ctl" -D "$_qm_pg_data" -m fast -w stop >/dev/null 2>&1 || true
  fi
  if [ -n "$_qm_pg_tmp" ]; then
    rm -rf "$_qm_pg_tmp"
  fi
  _qm_pg_data=""
  _qm_pg_tmp=""
}

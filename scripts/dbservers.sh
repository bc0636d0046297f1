#!/usr/bin/env bash
# Starts or stops a throwaway PostgreSQL and a throwaway MariaDB server for the tests
# and benchmarks, each listening on a free loopback port, with its data in a
# temporary folder that "stop" removes; and a PgBouncer with its default settings in
# front of the PostgreSQL, on a port of its own, taking the same login, which also passes
# the database under a second name (VC_PGB_STATEMENT_DATABASE) pooled per statement and a
# third (VC_PGB_TRANSACTION_DATABASE) pooled per transaction, and likewise a database that a
# test may make for itself, one test at a time (VC_PGB_OWN_DATABASE, passed as
# VC_PGB_OWN_STATEMENT_DATABASE and VC_PGB_OWN_TRANSACTION_DATABASE); a second PostgreSQL
# (VC_PGR_*), without the fixtures, that a test may restart (VC_PGR_RESTART); and a streaming
# standby of the first (VC_PGS_*), read-only, replaying what is written there.
#
#   scripts/dbservers.sh start   # then: source /tmp/vellumcraft-db/env.sh
#   scripts/dbservers.sh stop
#
# VC_DB_DIR chooses the folder (default /tmp/vellumcraft-db); the env file is
# ${VC_DB_ENV:-$VC_DB_DIR/env.sh}. "start" loads the fixtures of tests/data/db.
# PostgreSQL and PgBouncer refuse to run as root, so as root every server runs as an
# unprivileged account (postgres, else nobody); otherwise as the calling user.
set -euo pipefail
cd "$(dirname "$0")/.."

base=${VC_DB_DIR:-/tmp/vellumcraft-db}
env_file=${VC_DB_ENV:-$base/env.sh}
db_name=vellumcraft
db_user=vellum
# A password with a blank and quotes checks that connection values are passed safely.
db_password="vc pass'\"word"

run_user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  if id postgres >/dev/null 2>&1; then run_user=postgres; else run_user=nobody; fi
fi

as_user() {
  if [ "$(id -un)" = "$run_user" ]; then "$@"; else (cd "$base" && runuser -u "$run_user" -- "$@"); fi
}

pg_bin() {
  local dir
  dir=$(pg_config --bindir 2>/dev/null || true)
  [ -x "$dir/initdb" ] || dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  echo "$dir"
}

free_port() {
  python3 - <<'EOF'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
EOF
}

wait_for() { # command... ; up to 30 s
  for _ in $(seq 1 60); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.5
  done
  return 1
}

# Every connection PgBouncer pools stays open for its idle timeout (ten minutes) after its client
# has gone, up to 20 for each database and login; the suites that run side by side (ctest -j)
# would fill the default hundred and have the next connect refused. A standby takes at least as
# many as its primary.
pg_connections=300

start_postgres() { # name (the folder under $base); the fixtures only for "pg"
  local name=$1 bin port data sock
  bin=$(pg_bin)
  port=$(free_port)
  data=$base/$name
  sock=$base/$name-sock
  mkdir -p "$sock"
  chown "$run_user" "$sock"
  printf '%s\n' "$db_password" >"$base/$name-pw"
  chown "$run_user" "$base/$name-pw"
  as_user "$bin/initdb" -D "$data" -U "$db_user" --pwfile="$base/$name-pw" -E UTF8 --no-locale \
    --auth-local=trust --auth-host=scram-sha-256 >"$base/$name-initdb.log" 2>&1
  rm -f "$base/$name-pw"
  as_user "$bin/pg_ctl" -D "$data" -l "$base/$name.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$sock -c fsync=off -c max_connections=$pg_connections" \
    start >/dev/null
  as_user "$bin/createdb" -h "$sock" -p "$port" -U "$db_user" -E UTF8 "$db_name"
  if [ "$name" = pg ] && [ -f tests/data/db/postgresql.sql ]; then
    PGPASSWORD=$db_password psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U "$db_user" \
      -d "$db_name" -f tests/data/db/postgresql.sql >/dev/null
  fi
  last_port=$port
}

# A second PostgreSQL, which a test may restart (VC_PGR_RESTART) without disturbing the suites
# that run beside it on the first.
start_spare_postgres() {
  start_postgres pgr
  pgr_port=$last_port
  local bin
  bin=$(pg_bin)
  if [ "$(id -un)" = "$run_user" ]; then
    printf '#!/bin/sh\nexec "%s/pg_ctl" -D "%s/pgr" -m fast -w -t 60 restart >/dev/null\n' "$bin" "$base" >"$base/pgr-restart.sh"
  else
    printf '#!/bin/sh\ncd "%s" && exec runuser -u "%s" -- "%s/pg_ctl" -D "%s/pgr" -m fast -w -t 60 restart >/dev/null\n' \
      "$base" "$run_user" "$bin" "$base" >"$base/pgr-restart.sh"
  fi
  chmod 755 "$base/pgr-restart.sh"
}

# A hot standby of the first PostgreSQL, as pg_basebackup -R makes one: it streams the first's
# changes over its socket (initdb lets a local login replicate) and takes only reads.
start_standby() {
  local bin port data
  bin=$(pg_bin)
  port=$(free_port)
  data=$base/pgs
  as_user "$bin/pg_basebackup" -h "$base/pg-sock" -p "$pg_port" -U "$db_user" -D "$data" -R -X stream \
    >"$base/pgs-basebackup.log" 2>&1
  mkdir -p "$base/pgs-sock"
  chown "$run_user" "$base/pgs-sock"
  as_user "$bin/pg_ctl" -D "$data" -l "$base/pgs.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$base/pgs-sock -c fsync=off -c hot_standby=on -c max_connections=$pg_connections" \
    start >/dev/null
  pgs_port=$port
}

# PgBouncer 1.18 as Debian ships it: only the address, the logins and its own files are set.
# Its user list holds the login in plain text (a doubled " for a quote), with which it logs
# in to PostgreSQL by SCRAM in turn; other logins a test makes are looked up on the server
# through that one (auth_user) and pass their SCRAM keys on. The database's second name is
# pooled in statement mode, where PgBouncer ends a client that leaves a transaction open, its
# third in transaction mode; so is a database no test shares, for what a test must set up
# for a whole database (it exists only while that test makes it).
start_pgbouncer() {
  local port q_user q_pw
  port=$(free_port)
  q_user=${db_user//\"/\"\"}
  q_pw=${db_password//\"/\"\"}
  printf '"%s" "%s"\n' "$q_user" "$q_pw" >"$base/pgb-users.txt"
  cat >"$base/pgbouncer.ini" <<EOF
[databases]
${db_name}_statement = host=127.0.0.1 port=$pg_port dbname=$db_name pool_mode=statement
${db_name}_transaction = host=127.0.0.1 port=$pg_port dbname=$db_name pool_mode=transaction
${db_name}_own_statement = host=127.0.0.1 port=$pg_port dbname=${db_name}_own pool_mode=statement
${db_name}_own_transaction = host=127.0.0.1 port=$pg_port dbname=${db_name}_own pool_mode=transaction
* = host=127.0.0.1 port=$pg_port

[pgbouncer]
listen_addr = 127.0.0.1
listen_port = $port
unix_socket_dir =
auth_type = scram-sha-256
auth_file = $base/pgb-users.txt
auth_user = $db_user
pidfile = $base/pgb.pid
logfile = $base/pgb.log
EOF
  chown "$run_user" "$base/pgb-users.txt" "$base/pgbouncer.ini"
  chmod 600 "$base/pgb-users.txt"
  as_user pgbouncer -d -q "$base/pgbouncer.ini"
  wait_for env PGPASSWORD="$db_password" psql -X -h 127.0.0.1 -p "$port" -U "$db_user" -d "$db_name" \
    -c "select 1" ||
    { echo "PgBouncer did not start; see $base/pgb.log" >&2; return 1; }
  pgb_port=$port
}

start_mariadb() {
  local port data sock
  port=$(free_port)
  data=$base/my
  sock=$base/my.sock
  mkdir -p "$data"
  chown "$run_user" "$data"
  as_user mariadb-install-db --no-defaults --datadir="$data" --auth-root-authentication-method=normal \
    --skip-test-db >"$base/my-install.log" 2>&1
  as_user mariadbd --no-defaults --datadir="$data" --port="$port" --bind-address=127.0.0.1 \
    --socket="$sock" --pid-file="$base/my.pid" --log-error="$base/my.log" --skip-log-bin \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
    --innodb-flush-log-at-trx-commit=0 >/dev/null 2>&1 &
  wait_for mariadb --no-defaults -S "$sock" -uroot -e "select 1" ||
    { echo "MariaDB did not start; see $base/my.log" >&2; return 1; }
  local pw_sql=${db_password//\\/\\\\}
  pw_sql=${pw_sql//\'/\\\'}
  mariadb --no-defaults -S "$sock" -uroot <<EOF
CREATE DATABASE $db_name CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
CREATE USER '$db_user'@'127.0.0.1' IDENTIFIED BY '$pw_sql';
CREATE USER '$db_user'@'localhost' IDENTIFIED BY '$pw_sql';
GRANT ALL ON $db_name.* TO '$db_user'@'127.0.0.1';
GRANT ALL ON $db_name.* TO '$db_user'@'localhost';
INSTALL SONAME 'metadata_lock_info';
EOF
  if [ -f tests/data/db/mysql.sql ]; then
    mariadb --no-defaults -S "$sock" -uroot --default-character-set=utf8mb4 "$db_name" \
      <tests/data/db/mysql.sql
  fi
  my_port=$port
}

write_env() {
  local q_pw
  q_pw=$(printf '%q' "$db_password")
  mkdir -p "$(dirname "$env_file")"
  cat >"$env_file" <<EOF
# Written by scripts/dbservers.sh start; removed by stop.
export VC_PG_HOST=127.0.0.1
export VC_PG_PORT=$pg_port
export VC_PG_DATABASE=$db_name
export VC_PG_USER=$db_user
export VC_PG_PASSWORD=$q_pw
export VC_PGR_HOST=127.0.0.1
export VC_PGR_PORT=$pgr_port
export VC_PGR_DATABASE=$db_name
export VC_PGR_USER=$db_user
export VC_PGR_PASSWORD=$q_pw
export VC_PGR_RESTART=$base/pgr-restart.sh
export VC_PGS_HOST=127.0.0.1
export VC_PGS_PORT=$pgs_port
export VC_PGS_DATABASE=$db_name
export VC_PGS_USER=$db_user
export VC_PGS_PASSWORD=$q_pw
export VC_PGB_HOST=127.0.0.1
export VC_PGB_PORT=$pgb_port
export VC_PGB_STATEMENT_DATABASE=${db_name}_statement
export VC_PGB_TRANSACTION_DATABASE=${db_name}_transaction
export VC_PGB_OWN_DATABASE=${db_name}_own
export VC_PGB_OWN_STATEMENT_DATABASE=${db_name}_own_statement
export VC_PGB_OWN_TRANSACTION_DATABASE=${db_name}_own_transaction
export VC_MY_HOST=127.0.0.1
export VC_MY_PORT=$my_port
export VC_MY_DATABASE=$db_name
export VC_MY_USER=$db_user
export VC_MY_PASSWORD=$q_pw
EOF
}

stop_all() {
  local bin
  bin=$(pg_bin)
  if [ -f "$base/pgb.pid" ]; then
    local pgb_pid
    pgb_pid=$(cat "$base/pgb.pid")
    kill "$pgb_pid" 2>/dev/null || true
    for _ in $(seq 1 60); do kill -0 "$pgb_pid" 2>/dev/null || break; sleep 0.5; done
  fi
  for name in pgs pg pgr; do
    if [ -f "$base/$name/postmaster.pid" ]; then
      as_user "$bin/pg_ctl" -D "$base/$name" -m immediate -w stop >/dev/null 2>&1 || true
    fi
  done
  if [ -f "$base/my.pid" ]; then
    local pid
    pid=$(cat "$base/my.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  fi
  rm -rf "$base"
  rm -f "$env_file"
}

case "${1:-}" in
  start)
    stop_all
    mkdir -p "$base"
    chmod 755 "$base"
    chown "$run_user" "$base"
    start_postgres pg
    pg_port=$last_port
    start_spare_postgres
    start_standby
    start_pgbouncer
    start_mariadb
    write_env
    echo "database servers up: PostgreSQL on 127.0.0.1:$pg_port (PgBouncer on 127.0.0.1:$pgb_port," \
      "standby on 127.0.0.1:$pgs_port)," \
      "MariaDB on 127.0.0.1:$my_port"
    echo "settings: source $env_file"
    ;;
  stop)
    stop_all
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac

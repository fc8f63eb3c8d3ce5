#!/usr/bin/env bash
# Starts throwaway PostgreSQL and MariaDB servers (tests/database/db_servers),
# fills a 1,000,000 × 6 table on each, times the servers' own clients
# reading every row (psql's \copy to /dev/null, mysql --quick --batch) and
# the count statement, then runs sql_import_bench on the same tables.
#   bench/database/run_sql_import_bench.sh [BUILD_DIR] [ROWS] [benchmark flags...]
# (e.g. --benchmark_repetitions=5 for the minimum and median of five runs)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/test}"
rows="${2:-1000000}"
state="$(mktemp -d)/servers.env"
"$here/../../tests/database/db_servers" start "$state"
trap '"$here/../../tests/database/db_servers" stop "$state"; rmdir "$(dirname "$state")"' EXIT
# shellcheck disable=SC1090
source "$state"
export PGPASSWORD=$DB_PASSWORD MYSQL_PWD=$DB_PASSWORD
pg=(psql -q -h 127.0.0.1 -p "$PG_PORT" -U "$DB_USER")
my=(mysql --no-defaults -h 127.0.0.1 -P "$MY_PORT" -u "$DB_USER")

"${pg[@]}" -d postgres -c "CREATE DATABASE bench"
"${pg[@]}" -d bench -c "CREATE TABLE bench_rows AS SELECT g AS id, random() AS x, g * 0.5 AS y,
  'text ' || (g % 1000) AS s, DATE '2000-01-01' + (g % 9000) AS d,
  TIMESTAMP '2000-01-01' + g * INTERVAL '1 minute' AS ts FROM generate_series(1, $rows) g; ANALYZE bench_rows"
"${my[@]}" -e "CREATE DATABASE bench CHARACTER SET utf8mb4;
  CREATE TABLE bench.bench_rows (id int, x double, y double, s varchar(20), d date, ts datetime);"
# MariaDB's sequence engine makes the rows without a recursive query.
"${my[@]}" bench -e "INSERT INTO bench_rows SELECT seq, RAND(), seq * 0.5, CONCAT('text ', seq % 1000),
  DATE '2000-01-01' + INTERVAL (seq % 9000) DAY, TIMESTAMP '2000-01-01 00:00:00' + INTERVAL seq MINUTE
  FROM seq_1_to_$rows"

best() { # best of 3 wall seconds of a command
  local best=
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N); "$@" > /dev/null; t1=$(date +%s.%N)
    best=$(echo "$t0 $t1 ${best:-1e9}" | awk '{d=$2-$1; print (d<$3)?d:$3}')
  done
  echo "$best"
}
echo "psql \\copy (…) TO '/dev/null' (best of 3): $(best "${pg[@]}" -d bench -c "\\copy (SELECT * FROM bench_rows) TO '/dev/null'") s"
echo "mysql --quick --batch (best of 3): $(best "${my[@]}" --quick --batch bench -e "SELECT * FROM bench_rows") s"
echo "psql COUNT(*) (best of 3): $(best "${pg[@]}" -d bench -c "SELECT COUNT(*) FROM bench_rows") s"
echo "mysql COUNT(*) (best of 3): $(best "${my[@]}" bench -e "SELECT COUNT(*) FROM bench_rows") s"
OSTREL_SQL_BENCH_STATE="$state" "$build/bench/database/sql_import_bench" "${@:3}"

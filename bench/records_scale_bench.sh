#!/usr/bin/env bash
# A year of a large line's records: RECORDS records spread evenly over the last DAYS days
# for 10 PCs x 24 stations, written straight into a store kept before the counts (schema
# version 1, bulk SQL, not through the record keeper), then fwflash-cli opens it (the
# migration counts them, its progress on stderr) and is timed:
#   --report over everything, /api/summary for today and for the last 24 hours (served by
#   fwflash-cli --serve), and --report --csv of one whole day to a file (rows per second).
# Each time is the median of 5 runs (3 for the CSV). With FWFLASH_BASELINE_CLI set to an
# older fwflash-cli (e.g. main's build), its --report over everything is timed first, on
# the store as it kept it.
#   bench/records_scale_bench.sh [RECORDS] [DAYS] [sqlite|postgresql|both]
#       (defaults 1000000, 365, both; build/ built; PostgreSQL: a private server, fsync on)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FWFLASH_BUILD_DIR:-$root/build}
cli=$build/fwflash-cli
records=${1:-1000000} days=${2:-365} engines=${3:-both}
work=$(mktemp -d /tmp/fwscale.XXXXXX)
pg=
serving=
cleanup() {
  [ -n "$serving" ] && kill "$serving" 2>/dev/null
  [ -n "$pg" ] && "$root/tests/support/postgres-server.sh" stop "$pg"
  rm -rf "$work"
}
trap cleanup EXIT

now_ms=$(( $(date +%s) * 1000 ))
first_ms=$(( now_ms - days * 86400000 ))
spacing=$(( days * 86400000 / records ))

ms() { date +%s%3N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The median milliseconds of RUNS runs of a command, its output to $work/out.
timed() {
  local runs=$1; shift
  for _ in $(seq "$runs"); do
    local start; start=$(ms)
    "$@" >"$work/out" 2>"$work/err"
    echo $(( $(ms) - start ))
  done | median
}

# The records: every 33rd failed (read-byte, sync or interrupted), every 20th of a second
# product, every 100th without a serial number.
records_sql() {
  local engine=$1 numbers ok_true id
  if [ "$engine" = postgresql ]; then
    numbers="generate_series(0::bigint, $((records - 1))) AS g(n)"; ok_true=true; id="lpad(n::text, 10, '0')"
  else
    numbers="(WITH RECURSIVE c(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM c WHERE n < $((records - 1))) SELECT n FROM c) AS g"
    ok_true=1; id="printf('%010d', n)"
  fi
  cat <<SQL
INSERT INTO fwflash_records
SELECT 'bench-' || $id, $first_ms + n * $spacing, $first_ms + n * $spacing + 11630,
  'line-pc-' || (n % 10 + 1), '/dev/serial/by-path/pci-0000:00:14.0-usb-0:' || ((n / 10) % 24 + 1) || ':1.0-port0',
  CASE WHEN n % 20 = 0 THEN 'beta' ELSE 'acme-probe' END, '1.1.0', 3612, 891319163, 123,
  CASE WHEN n % 100 = 99 THEN NULL ELSE n END, n % 33 <> 0,
  CASE WHEN n % 33 <> 0 THEN '' WHEN n % 3 = 0 THEN 'read-byte' WHEN n % 3 = 1 THEN 'sync' ELSE 'interrupted' END,
  0, 3612, 11.63, $ok_true, '[]'
FROM $numbers;
SQL
}

sql() {  # runs SQL on the engine's store
  if [ "$1" = postgresql ]; then
    /usr/lib/postgresql/15/bin/psql "$target" -qv ON_ERROR_STOP=1 -c "$2" >/dev/null
  else
    sqlite3 -bail "$target" "$2" >/dev/null
  fi
}

measure() {
  local engine=$1 spool=$work/spool-$1.sqlite
  echo "== $engine: $records records over $days days, 10 PCs x 24 stations"
  "$cli" --report --record "$target" --spool "$spool" >/dev/null  # a new store
  if [ "$engine" = postgresql ]; then
    sql "$engine" "DROP FUNCTION fwflash_keep_counts() CASCADE"
  else
    sql "$engine" "DROP TRIGGER fwflash_counts_insert; DROP TRIGGER fwflash_counts_delete;
                   DROP TRIGGER fwflash_counts_complete; DROP TRIGGER fwflash_counts_move"
  fi
  sql "$engine" "DROP TABLE fwflash_counts; DROP TABLE fwflash_failed_steps;
                 DELETE FROM fwflash_schema WHERE version >= 2"
  local start; start=$(ms)
  if [ "$engine" = postgresql ]; then
    /usr/lib/postgresql/15/bin/psql "$target" -qv ON_ERROR_STOP=1 \
      -c "SET synchronous_commit = off" -c "$(records_sql "$engine")" -c "ANALYZE fwflash_records" >/dev/null
  else
    sqlite3 -bail "$target" "PRAGMA synchronous=OFF; $(records_sql "$engine") ANALYZE;" >/dev/null
  fi
  echo "written in $(( ($(ms) - start) / 1000 )) s (bulk SQL)"
  if [ -n "${FWFLASH_BASELINE_CLI:-}" ]; then
    echo "baseline --report over everything: $(timed 5 "$FWFLASH_BASELINE_CLI" --report --record "$target" --spool "$spool") ms"
  fi

  start=$(ms)
  "$cli" --report --record "$target" --spool "$spool" >"$work/first" 2>"$work/migration"
  echo "first open (the migration counts them): $(( $(ms) - start )) ms; its stderr:"
  sed 's/^/    /' "$work/migration"
  [ "$engine" = postgresql ] && sql "$engine" "ANALYZE fwflash_counts; ANALYZE fwflash_failed_steps"
  echo "count rows: $(sqlcount "$engine" "SELECT count(*) FROM fwflash_counts WHERE period_ms = 86400000") day," \
       "$(sqlcount "$engine" "SELECT count(*) FROM fwflash_counts WHERE period_ms = 3600000") hour"

  echo "--report over everything: $(timed 5 "$cli" --report --record "$target" --spool "$spool") ms"
  head -2 "$work/out" | sed 's/^/    /'

  local day_since day_until
  day_since=$(date -u -d "@$(( now_ms / 1000 - 2 * 86400 ))" +%F)
  day_until=$(date -u -d "@$(( now_ms / 1000 - 86400 ))" +%F)
  local csv_ms rows
  csv_ms=$(timed 3 "$cli" --report --csv --since "$day_since" --until "$day_until" --record "$target" --spool "$spool")
  rows=$(( $(wc -l <"$work/out") - 1 ))
  echo "--report --csv of $day_since: $rows rows in $csv_ms ms: $(( rows * 1000 / (csv_ms > 0 ? csv_ms : 1) )) rows/s"

  "$cli" --serve 127.0.0.1:0 --record "$target" --spool "$spool" 2>"$work/serve" &
  serving=$!
  local url=
  for _ in $(seq 300); do
    url=$(sed -n 's/.*dashboard is at \(http[^ ]*\).*/\1/p' "$work/serve")
    [ -n "$url" ] && break
    sleep 0.1
  done
  local today day_ago
  today=$(date -u +%FT00:00Z)
  day_ago=$(date -u -d "@$(( now_ms / 1000 - 86400 ))" +%FT%H:%M:%SZ)
  for range in "today since=$today" "24h since=$day_ago"; do
    echo "/api/summary ${range%% *}: $(timed 5 curl -sf -o /dev/null "${url}api/summary?${range#* }") ms"
  done
  kill "$serving"; wait "$serving" 2>/dev/null || true
  serving=
}

sqlcount() {
  if [ "$1" = postgresql ]; then
    /usr/lib/postgresql/15/bin/psql "$target" -Atc "$2"
  else
    sqlite3 "$target" "$2"
  fi
}

if [ "$engines" != postgresql ]; then
  target=$work/records.sqlite
  measure sqlite
  rm -f "$work"/records.sqlite*
fi
if [ "$engines" != sqlite ]; then
  pg=$(mktemp -u /tmp/fwpg.XXXXXX)
  target=$(POSTGRES_SERVER_FSYNC=on POSTGRES_SERVER_OWNER=$$ "$root/tests/support/postgres-server.sh" start "$pg")
  measure postgresql
fi

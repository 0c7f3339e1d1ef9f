#!/usr/bin/env bash
# The unattended import into PostgreSQL through ODBC, side by side with a per-row Python script
# (psycopg2, autocommit) doing the same SELECT/UPDATE/INSERT/DELETE per record, on the same
# throw-away cluster (initdb in a temporary folder, Unix socket there, no TCP). For each size N
# an export file of N records and a table that matches half of it (plus N/10 records to delete)
# are generated with genexport; the table is loaded anew before each run. Figures are printed,
# never checked. The script runs on the system Python, where Debian installs python3-psycopg2.
#
#   bench/odbc_import_bench.sh [BUILD_DIR] [N ...]      (default: build, 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000)
program=$build/bin/geburtstage genexport=$build/tools/genexport
for tool in "$program" "$genexport"; do [ -x "$tool" ] || { echo "build $tool first"; exit 1; }; done
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
driver=$(ls /usr/lib/*/odbc/psqlodbcw.so 2>/dev/null | head -1)
[ -x "$pgbin/initdb" ] && [ -n "$driver" ] || { echo "run scripts/install-deps (postgresql, odbc-postgresql)"; exit 1; }

dir=$(mktemp -d)
chmod 755 "$dir"
mkdir "$dir/pg" "$dir/sock" "$dir/run"
as=()
if [ "$(id -u)" -eq 0 ]; then  # PostgreSQL does not run as root
  chown nobody: "$dir/pg" "$dir/sock"
  as=(runuser -u nobody --)
fi
stop() {
  "${as[@]}" "$pgbin/pg_ctl" -D "$dir/pg" -m fast -w stop > /dev/null 2>&1 || true
  rm -rf "$dir"
}
trap stop EXIT
"${as[@]}" "$pgbin/initdb" -D "$dir/pg" -U geb -A trust -E UTF8 --locale=C.UTF-8 --no-sync > /dev/null
"${as[@]}" "$pgbin/pg_ctl" -D "$dir/pg" -l "$dir/sock/log" -w \
  -o "-k $dir/sock -c listen_addresses='' -F" start > /dev/null
psql() { PGOPTIONS="-c client_min_messages=warning" command psql -q -h "$dir/sock" -U geb "$@"; }
psql -d postgres -c "CREATE DATABASE geb"
printf '[GebBench]\nDriver=%s\nServername=%s\nDatabase=geb\n' "$driver" "$dir/sock" > "$dir/odbc.ini"
export ODBCINI=$dir/odbc.ini
cp "$program" "$dir/run/geburtstage"
printf '[DB]\nTyp=ODBC\nMain=GebBench\nBenutzer=geb\n[option]\nstartimport=4\ndatei=%s\n' \
  "$dir/export.csv" > "$dir/run/geburtstage.ini"

# The generated table script in PostgreSQL's SQL: #mm/dd/yyyy# dates and "texts" become literals.
load() {
  {
    echo "DROP TABLE IF EXISTS geburtstag;"
    echo "CREATE TABLE geburtstag (id serial PRIMARY KEY, mitarbeiter varchar(255), geburtsdatum timestamp,"
    echo "  telefon varchar(255), personalnr integer);"
    echo "BEGIN;"
    grep '^INSERT' "$dir/table.sql" |
      sed -E "s/#([0-9]{2})\/([0-9]{2})\/([0-9]{4})#/'\3-\1-\2'/g; s/\"([^\"]*)\"/'\1'/g; s/$/;/"
    echo "COMMIT;"
    echo "CREATE INDEX geburtstag_personalnr ON geburtstag (personalnr);"
    echo "ANALYZE geburtstag;"
  } | psql -d geb
}
state() { psql -d geb -At -c "SELECT count(*), md5(string_agg(personalnr || ':' || geburtsdatum || ':' || \
  coalesce(mitarbeiter, '') || ':' || coalesce(telefon, ''), ',' ORDER BY personalnr)) FROM geburtstag"; }
now() { date +%s.%N; }

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-8s %14s %14s %10s\n' records "program s" "psycopg2 s" ratio
for n in "${sizes[@]}"; do
  "$genexport" "$n" "$dir/export.csv" "$dir/table.sql"
  load
  rm -f "$dir/run/Import.log"
  a=$(now)
  env -u DISPLAY -u WAYLAND_DISPLAY "$dir/run/geburtstage"
  b=$(now)
  [ -f "$dir/run/Import.log" ] || { echo "the program's import of $n records failed"; exit 1; }
  after_program=$(state)
  load
  c=$(now)
  /usr/bin/python3 "$root/bench/psycopg2_import.py" "$dir/sock" geb geb "$dir/export.csv" 4
  d=$(now)
  after_script=$(state)
  [ "$after_program" = "$after_script" ] || echo "note: the two runs left different tables ($after_program / $after_script)"
  awk -v n="$n" -v a="$a" -v b="$b" -v c="$c" -v d="$d" \
    'BEGIN { printf "%-8d %14.2f %14.2f %10.2f\n", n, b - a, d - c, (b - a) / (d - c) }'
done

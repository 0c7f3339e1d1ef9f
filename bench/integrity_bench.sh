#!/usr/bin/env bash
# The integrity check that runs before every import, timed on a birthday table of N records
# (default 1,000,000): `dbsh --check`, SQLite's full integrity check, which compares the indexes
# with the table (quick_check, which does not, would miss an index that lost a row). Figures are
# printed, never checked.
#
#   bench/integrity_bench.sh [BUILD_DIR] [N]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
n=${2:-1000000}
dbsh=$build/bin/dbsh
[ -x "$dbsh" ] || { echo "build $dbsh first"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
{
  echo 'CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Mitarbeiter TEXT(255), Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)'
  echo 'CREATE INDEX Personalnr ON Geburtstag (Personalnr)'
  awk -v n="$n" 'BEGIN { for (i = 1; i <= n; i++)
    printf "INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES (\"M\xc3\xbcller, J\xc3\xbcrgen %d\", #%02d/%02d/%d#, \"0711 %d\", %d)\n", i, i % 12 + 1, i % 28 + 1, 1940 + i % 60, 100000 + i, i }'
} > "$dir/table.sql"
"$dbsh" --create "$dir/bench.mdb" "$dir/table.sql" > /dev/null
size=$(stat -c %s "$dir/bench.mdb")
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
time_of() {
  for _ in 1 2 3; do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 ))
  done | median
}
echo "records: $n, file: $((size / 1048576)) MiB"
echo "dbsh --check (full integrity check, with process start): $(time_of "$dbsh" --check "$dir/bench.mdb") ms"

#!/usr/bin/env bash
# The unattended run end to end: with a configured export file the program, started without a
# display, loads it, synchronises the table, writes "Import.log" beside itself and ends with
# status 0; when the import fails it ends with status 1 and writes no protocol.
set -u
program=$1 dbsh=$2 samples=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

cp "$program" "$dir/geburtstage"
"$dbsh" --create "$dir/geburtstage.mdb" "$samples/geburtstage.sql" > /dev/null || fail "dbsh"
cp "$samples/export.csv" "$dir/export.csv"
printf '[DB]\r\nMain=%s\r\n[option]\r\nstartimport=4\r\ndatei=%s\r\n' \
  "$dir/geburtstage.mdb" "$dir/export.csv" > "$dir/geburtstage.ini"

env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$dir/geburtstage" > "$dir/out" 2>&1
status=$?
[ "$status" -eq 0 ] || { cat "$dir/out"; fail "exit status $status"; }
[ -f "$dir/Import.log" ] || fail "no Import.log"
log=$(iconv -f WINDOWS-1252 -t UTF-8 "$dir/Import.log" | tr -d '\r')
echo "$log"
echo "$log" | head -1 | grep -q '^Importprotokoll vom ' || fail "first protocol line"
echo "$log" | grep -qx 'Groß Björn 1.2.1970 Fehler im Datum' || fail "date error line"
echo "$log" | grep -qx 'Lösche 03.02.1944 Ausgeschieden, Otto / 999' || fail "deletion line"
grep -q $'\r$' "$dir/Import.log" || fail "lines do not end in CR LF"

# Every usable line of the file is in the table now: 1001..1020 without 1017 (no birthday).
count=$("$dbsh" "$dir/geburtstage.mdb" <<< 'SELECT COUNT(*) AS n FROM Geburtstag' | tail -1)
[ "$count" = "19" ] || fail "expected 19 records, found $count"
row=$("$dbsh" "$dir/geburtstage.mdb" <<< 'SELECT Mitarbeiter, Geburtsdatum FROM Geburtstag WHERE Personalnr = 1007' | tail -1)
[ "$row" = $'Groß Björn\t1900-01-01 00:00:00' ] || fail "record 1007 is [$row]"

# A database without the birthday table: the run fails, the program ends with status 1.
rm -f "$dir/Import.log"
"$dbsh" --create "$dir/empty.mdb" /dev/null > /dev/null
printf '[DB]\nMain=%s\n[option]\nstartimport=4\ndatei=%s\n' "$dir/empty.mdb" "$dir/export.csv" \
  > "$dir/geburtstage.ini"
env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$dir/geburtstage" > "$dir/out" 2>&1
status=$?
[ "$status" -eq 1 ] || { cat "$dir/out"; fail "exit status $status after a failed import"; }
[ ! -f "$dir/Import.log" ] || fail "Import.log written after a failed import"
echo "1 passed, 0 failed"

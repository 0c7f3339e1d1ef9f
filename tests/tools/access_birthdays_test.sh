#!/usr/bin/env bash
# From an Access file to an import, through the programs themselves: dbsh --import-access converts
# a genuine Access 97 file, its table Table1 is given the shape of the birthday table through the
# engine (fields renamed, the Access key dropped, ID and Telefon added; the converted records and
# the extra fields stay), and the program, started headless with its INI pointing at the
# converted file, keeps that table in step with an export: the converted record the export names
# gets its new birthday, the one it does not name is deleted and logged, the export's other
# records are added. An INI that names the Access file itself ends the program with status 1 and
# the engine's refusal, which names the file and the conversion.
set -u
program=$1 dbsh=$2 rename_table=$3 samples=$4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; [ -f "$dir/out" ] && cat "$dir/out"; exit 1; }
query() { "$dbsh" "$dir/geburtstage.db" <<< "$1" | tail -n +2; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$dir/geburtstage" > "$dir/out" 2> "$dir/err"; }
ini() { printf '[DB]\r\nMain=%s\r\n[option]\r\nstartimport=4\r\ndatei=%s\r\n' "$1" "$dir/export.csv" > "$dir/geburtstage.ini"; }
cp "$program" "$dir/geburtstage"

# Table1 of testV1997.mdb: A (text, the key), B (text), C to F (numbers), G (date), H (currency),
# I (Yes/No); the records ('a', 'b', ..., 12.12.1981) and ('abcdefg', 'hijklmnop', 2, 222,
# 333333333, 444.555, 21.09.1974, 3.5, Yes).
"$dbsh" --import-access "$samples/testV1997.mdb" "$dir/geburtstage.db" > "$dir/out" 2>&1
status=$?
# Status 3 when an item of another table is not carried over; Table1 itself must be whole.
{ [ "$status" -eq 0 ] || [ "$status" -eq 3 ]; } || fail "dbsh --import-access: status $status"
grep -qx 'Table1: 2 records, 2 indexes' "$dir/out" || fail "summary of Table1"
grep -q '^  Table1' "$dir/out" && fail "part of Table1 not carried over"

"$dbsh" "$dir/geburtstage.db" > "$dir/out" 2>&1 <<'EOF' || fail "shaping the table"
DROP INDEX PrimaryKey ON Table1
ALTER TABLE Table1 DROP COLUMN A
ALTER TABLE Table1 ADD COLUMN ID COUNTER
ALTER TABLE Table1 ADD COLUMN Telefon TEXT(255)
EOF
"$rename_table" "$dir/geburtstage.db" Table1 Geburtstag B=Mitarbeiter G=Geburtsdatum E=Personalnr > "$dir/out" 2>&1 ||
  fail "renaming the table"
"$dbsh" "$dir/geburtstage.db" > "$dir/out" 2>&1 <<'EOF' || fail "indexes of the birthday table"
CREATE UNIQUE INDEX PrimaryKey ON Geburtstag (ID) WITH PRIMARY
CREATE INDEX Personalnr ON Geburtstag (Personalnr)
EOF
rows=$(query 'SELECT ID, Personalnr, Mitarbeiter, Geburtsdatum FROM Geburtstag ORDER BY ID')
[ "$rows" = $'1\t0\tb\t1981-12-12 00:00:00\n2\t333333333\thijklmnop\t1974-09-21 00:00:00' ] ||
  fail "converted records before the import: [$rows]"
index=$("$dbsh" "$dir/geburtstage.db" <<< '.indexes Geburtstag' | grep '^B')
[ "$index" = $'B\tFalse\tFalse\tMitarbeiter ASC' ] || fail "the Access index on B after the rename: [$index]"

# The export names the converted record 333333333 and two new ones; it does not name 0.
line() {
  printf '01;%s;%s;%s;%s;01.04.2010;;4000;Vertrieb;Sachbearbeitung;Hauptstraße 1;70173;Stuttgart;D;rk;1;0;30;%s;%s@example.de\r\n' \
    "$1" "$2" "$3" "$4" "$5" "$1"
}
{
  printf 'Personalstamm Export;Mandant 01;Stand 01.12.2026\r\n'
  printf 'Gesellschaft;Personalnummer;Nachname;Vorname;Geburtsdatum;Eintritt;Austritt;Kostenstelle;Abteilung;Funktion;Straße;PLZ;Ort;Land;Konfession;Steuerklasse;Kinder;Urlaub;Telefon;E-Mail\r\n\r\n'
  line 333333333 Neu Name 17.08.1962 '0711 4711-12'
  line 1001 Müller Jürgen 24.12.1970 '0711 4711-10'
  line 1002 Schäfer Anna 03.05.1885 '0711 4711-11'
} | iconv -f UTF-8 -t WINDOWS-1252 > "$dir/export.csv"
ini "$dir/geburtstage.db"
run
status=$?
[ "$status" -eq 0 ] || { cat "$dir/err"; fail "import: exit status $status"; }
[ -f "$dir/Import.log" ] || fail "no Import.log"
log=$(iconv -f WINDOWS-1252 -t UTF-8 "$dir/Import.log" | tr -d '\r')
echo "$log"
echo "$log" | head -1 | grep -q '^Importprotokoll vom ' || fail "first protocol line"
[ "$(echo "$log" | grep '^Lösche')" = 'Lösche 12.12.1981 b / 0' ] || fail "deletion lines"
[ "$(echo "$log" | wc -l)" -eq 2 ] || fail "protocol lines"

# The converted record keeps its ID, its name and its other fields; only the birthday changed. The
# new records have the next IDs and the Access defaults of the extra fields.
rows=$(query 'SELECT ID, Personalnr, Mitarbeiter, Geburtsdatum, Telefon, C, D, F, H, I FROM Geburtstag ORDER BY ID')
expected=$'2\t333333333\thijklmnop\t1962-08-17 00:00:00\tNULL\t2\t222\t444.555\t3.5000\tTrue\n'
expected+=$'3\t1001\tMüller Jürgen\t1970-12-24 00:00:00\t0711 4711-10\t0\t0\t0\t0.0000\tFalse\n'
expected+=$'4\t1002\tSchäfer Anna\t1885-05-03 00:00:00\t0711 4711-11\t0\t0\t0\t0.0000\tFalse'
[ "$rows" = "$expected" ] || fail "records after the import: [$rows]"
"$dbsh" --check "$dir/geburtstage.db" > "$dir/out" 2>&1 || fail "the integrity check after the import"

# The INI names the Access file itself: refused with 3343, status 1, no protocol, the file untouched.
rm -f "$dir/Import.log"
cp "$samples/testV1997.mdb" "$dir/geburtstage.mdb"
ini "$dir/geburtstage.mdb"
run
status=$?
[ "$status" -eq 1 ] || { cat "$dir/err"; fail "Access file in the INI: exit status $status"; }
cat "$dir/err"
grep -q "Unrecognized database format '$dir/geburtstage.mdb': it is a Microsoft Access database" "$dir/err" ||
  fail "the refusal does not name the file"
grep -q "dbsh --import-access '$dir/geburtstage.mdb' DEST" "$dir/err" || fail "the refusal does not name the conversion"
[ ! -f "$dir/Import.log" ] || fail "Import.log written although the database was refused"
cmp -s "$samples/testV1997.mdb" "$dir/geburtstage.mdb" || fail "the Access file was changed"
echo "2 passed, 0 failed"

#!/usr/bin/env bash
# Two imports of one database started at the same moment, many times over: the second waits for
# the first, so no personnel number ever ends up twice and both runs succeed.
set -u
program=$1 dbsh=$2 samples=$3 tries=${4:-20}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
mkdir "$dir/a" "$dir/b"
cp "$program" "$dir/a/geburtstage"
cp "$program" "$dir/b/geburtstage"
"$dbsh" --create "$dir/base.mdb" "$samples/geburtstage.sql" > /dev/null || fail "dbsh"
# An export of 400 records of which the table has none: each run would insert every one.
{
  printf 'Kopf\r\nKopf\r\nKopf\r\n'
  for i in $(seq 5001 5400); do
    printf '01;%d;Neu;Nummer %d;01.02.1970;x;x;x;x;x;x;x;x;x;x;x;x;x;0711 %d\r\n' "$i" "$i" "$i"
  done
} > "$dir/export.csv"
for side in a b; do
  printf '[DB]\nMain=%s\n[option]\nstartimport=4\ndatei=%s\n' "$dir/db.mdb" "$dir/export.csv" \
    > "$dir/$side/geburtstage.ini"
done
for try in $(seq "$tries"); do
  rm -f "$dir"/db.mdb*
  cp "$dir/base.mdb" "$dir/db.mdb"
  env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$dir/a/geburtstage" > "$dir/a.out" 2>&1 &
  a=$!
  env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$dir/b/geburtstage" > "$dir/b.out" 2>&1 &
  b=$!
  wait "$a"; sa=$?
  wait "$b"; sb=$?
  [ "$sa" -eq 0 ] && [ "$sb" -eq 0 ] || { cat "$dir/a.out" "$dir/b.out"; fail "try $try: status $sa and $sb"; }
  dups=$("$dbsh" "$dir/db.mdb" <<< 'SELECT Personalnr FROM Geburtstag GROUP BY Personalnr HAVING COUNT(*) > 1' | tail -n +2 | wc -l)
  [ "$dups" -eq 0 ] || fail "try $try: $dups personnel numbers twice"
  count=$("$dbsh" "$dir/db.mdb" <<< 'SELECT COUNT(*) AS n FROM Geburtstag' | tail -1)
  [ "$count" = "400" ] || fail "try $try: $count records instead of 400"
done
echo "$tries passed, 0 failed"

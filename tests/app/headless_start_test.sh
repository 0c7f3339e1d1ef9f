#!/usr/bin/env bash
# Without a display the program never waits for a user who is not there: a start with nothing
# to do (no usable import file) ends at once with status 1 and says why on standard error; hostile
# import files (a FIFO, a device) are refused by name; SIGTERM ends it promptly while it waits for
# another import; a relative import file is found beside the program.
set -u
program=$1 dbsh=$2 samples=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; [ -f "$dir/out" ] && cat "$dir/out"; exit 1; }
cp "$program" "$dir/geburtstage"
"$dbsh" --create "$dir/geburtstage.mdb" "$samples/geburtstage.sql" > /dev/null || fail "dbsh"
cp "$samples/export.csv" "$dir/export.csv"
ini() { printf '[DB]\nMain=%s\n[option]\nstartimport=4\ndatei=%s\n' "$1" "$2" > "$dir/geburtstage.ini"; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$dir/geburtstage" "$@" > "$dir/out" 2>&1; }
passed=0

# Nothing to do: each ends by itself with status 1 and names the reason.
printf '[option]\nstartimport=4\n' > "$dir/empty.ini"
run --config "$dir/empty.ini"; status=$?
[ "$status" -eq 1 ] || fail "no configuration: status $status"
grep -q "TUxDaoDatabase.F_Set_Active: Database property is not defined!" "$dir/out" || fail "connect error not shown"
grep -q "Ohne Bildschirm gibt es nichts zu tun: keine Importdatei angegeben" "$dir/out" || fail "no reason given"
passed=$((passed + 1))
ln -s "$dir/gone.csv" "$dir/dangling.csv"
mkdir "$dir/folder.csv"
for case in "missing.csv:gibt es nicht" "folder.csv:ist ein Verzeichnis" \
            "dangling.csv:ist ein Verweis auf eine fehlende Datei"; do
  file=${case%%:*} reason=${case#*:}
  ini "$dir/geburtstage.mdb" "$dir/$file"
  run; status=$?
  [ "$status" -eq 1 ] || fail "$file: status $status"
  grep -q "Importdatei '$dir/$file' $reason" "$dir/out" || fail "$file: reason"
  passed=$((passed + 1))
done

# Hostile import files: a FIFO nobody writes to, and a device that never ends.
mkfifo "$dir/fifo.csv"
for file in "$dir/fifo.csv" /dev/zero; do
  ini "$dir/geburtstage.mdb" "$file"
  run; status=$?
  [ "$status" -eq 1 ] || fail "$file: status $status (124: it hung)"
  grep -q "Cannot read '$file': it is not a regular file" "$dir/out" || fail "$file: message"
  [ ! -f "$dir/Import.log" ] || fail "$file: Import.log written"
  passed=$((passed + 1))
done

# A UTF-16 export: its numbers hold NUL bytes, and the error that names one is shown whole, the
# NULs escaped, instead of ending at the first of them.
iconv -f WINDOWS-1252 -t UTF-16LE "$samples/export.csv" > "$dir/utf16.csv"
ini "$dir/geburtstage.mdb" "$dir/utf16.csv"
run; status=$?
[ "$status" -eq 1 ] || fail "UTF-16 export: status $status"
grep -qF "'1\x000\x000\x001' is not a valid number" "$dir/out" || fail "UTF-16 export: the message is cut"
passed=$((passed + 1))

# SIGTERM while the import waits for another import of the same database (this script holds the
# lock meanwhile).
ini "$dir/geburtstage.mdb" "$dir/export.csv"
exec 9> "$dir/geburtstage.mdb-import.lock"
flock -x 9
env -u DISPLAY -u WAYLAND_DISPLAY "$dir/geburtstage" > "$dir/out" 2>&1 9>&- &
pid=$!
( sleep 60; kill -KILL "$pid" ) > /dev/null 2>&1 9>&- &
watchdog=$!
# Waiting means having the lock file open.
for _ in $(seq 200); do
  ls -l "/proc/$pid/fd" 2>/dev/null | grep -q 'import.lock' && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
sleep 0.3
kill -0 "$pid" 2>/dev/null || fail "the program did not wait for the lock"
start=$(date +%s%N)
kill -TERM "$pid"
wait "$pid"; status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
kill "$watchdog" 2>/dev/null
[ "$status" -eq 1 ] || fail "after SIGTERM: status $status"
[ "$elapsed_ms" -lt 3000 ] || fail "SIGTERM took $elapsed_ms ms"
grep -q "Abgebrochen durch SIGTERM" "$dir/out" || fail "no word of the stop"
[ ! -f "$dir/Import.log" ] || fail "Import.log written after SIGTERM"
count=$("$dbsh" "$dir/geburtstage.mdb" <<< 'SELECT COUNT(*) AS n FROM Geburtstag' | tail -1)
[ "$count" = "7" ] || fail "the table changed: $count records"
exec 9>&-
passed=$((passed + 1))

# A relative import file that is not in the current folder is found beside the program.
ini "$dir/geburtstage.mdb" "export.csv"
(cd / && env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$dir/geburtstage" > "$dir/out" 2>&1); status=$?
[ "$status" -eq 0 ] || fail "relative datei: status $status"
[ -f "$dir/Import.log" ] || fail "relative datei: no Import.log"
passed=$((passed + 1))

echo "$passed passed, 0 failed"

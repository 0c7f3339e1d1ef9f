#!/bin/sh
# End-to-end test of dbsh: runs the script beside this file on a new database and compares
# the output with the expected text, then checks the exit status in its three cases.
#   dbsh_test.sh DBSH WORK_DIR
set -u
# Numbers and dates in the output follow the locale: the C locale's (German) conventions.
LC_ALL=C
export LC_ALL
dbsh=$1
work=$2
here=$(dirname "$0")
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work" && mkdir -p "$work" || exit 1

# A script with failing statements: the output as expected, exit status 1.
"$dbsh" --create "$work/t.db" "$here/script.sql" > "$work/out.txt"
status=$?
[ "$status" -eq 1 ] || fail "exit status $status after failing statements, expected 1"
diff -u "$here/expected.txt" "$work/out.txt" || fail "output differs from expected.txt"

# Statements from standard input on the existing database; all succeed: exit status 0.
printf 'SELECT Count(*) AS N FROM Werte\nUPDATE Werte SET L = L + 1 WHERE L > 0\n' \
  | "$dbsh" "$work/t.db" > "$work/stdin.txt"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status without failures, expected 0"
printf 'N\n2\nok 1\n' | diff -u - "$work/stdin.txt" || fail "standard input output differs"

# Without --create a missing database is an error naming the file.
"$dbsh" "$work/missing.db" "$here/script.sql" > "$work/missing.txt"
status=$?
[ "$status" -eq 1 ] || fail "exit status $status for a missing database, expected 1"
grep -q "^error 3024: Could not find file '$work/missing.db'" "$work/missing.txt" || fail "no 3024 for a missing database"
[ ! -e "$work/missing.db" ] || fail "a missing database was created without --create"

# --create opens a database that exists instead of failing.
printf '.tables\n' | "$dbsh" --create "$work/t.db" > "$work/tables.txt"
printf 'Kopie\nP\nWerte\n' | diff -u - "$work/tables.txt" || fail "--create on an existing database"

[ "$failed" -eq 0 ] && echo "dbsh end-to-end: passed"
exit $failed

#!/usr/bin/env bash
# The program in a real X server (Xvfb), connected to the sample database, with the sample export
# loaded, looked at from outside: the X window tree (xwininfo) must hold the main window and no
# error box, the program's own description of its windows (GEBURTSTAGE_WINDOW_STATE) must show the
# import window maximised with the export's rows in the grid and the protocol in the memo, and the
# screenshot must show something in the places of grid and memo. The picture is saved as PNG.
set -u
program=$1 dbsh=$2 samples=$3 png=$4
for tool in Xvfb import xwininfo; do
  command -v "$tool" > /dev/null || { echo "FAILED: $tool is not installed (scripts/install-deps)"; exit 1; }
done
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
dir=$(mktemp -d)
xvfb_pid= program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; [ -f "$dir/state.txt" ] && cat "$dir/state.txt"; cat "$dir/program.log"; exit 1; }
display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "FAILED: no free display number"; exit 1; }
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp > "$dir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
"$dbsh" --create "$dir/geburtstage.mdb" "$samples/geburtstage.sql" > /dev/null || fail "dbsh"
printf '[DB]\nMain=%s\n[option]\nstartimport=4\n' "$dir/geburtstage.mdb" > "$dir/test.ini"
: > "$dir/program.log"
env -u XDG_RUNTIME_DIR DISPLAY=$display QT_QPA_PLATFORM=xcb GEBURTSTAGE_WINDOW_STATE=$dir/state.txt \
  "$program" --config "$dir/test.ini" --open "$samples/export.csv" > "$dir/program.log" 2>&1 &
program_pid=$!
for _ in $(seq 150); do [ -f "$dir/state.txt" ] && break; sleep 0.1; done
[ -f "$dir/state.txt" ] || fail "the program described no windows"
sleep 1  # let the windows paint
kill -0 "$program_pid" 2>/dev/null || fail "the program ended early"
DISPLAY=$display import -window root "$png" || fail "import could not take the picture"
state=$dir/state.txt

# The X server's view: the main window, titled with the maximised import window, and no dialog
# or error box beside it (a box would be titled "Geburtstage" too).
DISPLAY=$display xwininfo -root -children > "$dir/tree.txt" || fail "xwininfo"
[ "$(grep -c '"Geburtstage' "$dir/tree.txt")" -eq 1 ] || { cat "$dir/tree.txt"; fail "not exactly one window 'Geburtstage'"; }
grep -q '"Geburtstage - \[Geburtstag importieren\]".* 1305x750+' "$dir/tree.txt" || { cat "$dir/tree.txt"; fail "main window"; }
! grep -q '"Database Login"' "$dir/tree.txt" || fail "a login dialog is open"

# The program's view of its windows.
[ "$(grep -c '^window ' "$state")" -eq 1 ] || fail "more than the main window is open (an error box?)"
grep -q "^window .* 'Geburtstage - \[Geburtstag importieren\]' " "$state" || fail "main window's title"
! grep -q '^message ' "$state" || fail "a message box is open"
grep -qx "subwindow 'Geburtstag importieren' maximized" "$state" || fail "import window"
grep -qx 'heading Personalnummer|Geburtstag|Name|Telefon' "$state" || fail "grid headings"
grep -qx 'row 1001|24.12.1970|Müller Jürgen|0711 4711-10' "$state" || fail "first grid row"
[ "$(grep -c '^row ' "$state")" -ge 10 ] || fail "too few grid rows"
grep -q '^line Importprotokoll vom ' "$state" || fail "protocol's first line"
grep -qx 'line Groß Björn 1.2.1970 Fehler im Datum' "$state" || fail "date error in the protocol"

# The picture: grid and memo are not blank where the program says they are.
for part in grid memo; do
  read -r x y w h < <(grep "^$part " "$state" | head -1 | awk '{print $3, $4, $5, $6}')
  [ -n "${h:-}" ] || fail "no place of the $part"
  spread=$("$convert" "$png" -crop "${w}x${h}+${x}+${y}" -colorspace gray -format '%[fx:standard_deviation]' info:)
  awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }' || fail "the $part looks blank in the picture ($spread)"
done
# Nothing of Qt's own notes reaches the user (XDG_RUNTIME_DIR was unset above).
! grep -q "XDG_RUNTIME_DIR" "$dir/program.log" || fail "Qt's warning about XDG_RUNTIME_DIR"
size=$(stat -c %s "$png")
[ "$size" -gt 10000 ] || fail "the picture is suspiciously small ($size bytes)"
echo "saved $png ($size bytes)"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# Runs the program in a real X server (Xvfb) with the sample export loaded and saves a picture of
# the screen. Skipped (exit 77) where Xvfb or ImageMagick's import is missing.
set -u
program=$1 export_file=$2 png=$3
for tool in Xvfb import; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
dir=$(mktemp -d)
xvfb_pid= program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free display number"; exit 1; }
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp > "$dir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
printf '[option]\nstartimport=4\n' > "$dir/test.ini"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" --config "$dir/test.ini" --open "$export_file" \
  > "$dir/program.log" 2>&1 &
program_pid=$!
sleep 4
if ! kill -0 "$program_pid" 2>/dev/null; then
  echo "the program ended early:"; cat "$dir/program.log"; exit 1
fi
DISPLAY=$display import -window root "$png" || { echo "import failed"; exit 1; }
size=$(stat -c %s "$png")
[ "$size" -gt 10000 ] || { echo "the picture is suspiciously small ($size bytes)"; exit 1; }
echo "saved $png ($size bytes)"
echo "1 passed, 0 failed"

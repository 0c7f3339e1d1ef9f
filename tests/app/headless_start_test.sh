#!/usr/bin/env bash
# The program starts without a display, shows the failed connect of a configuration without a
# database on standard error, stays up, and ends cleanly when told to.
set -u
program=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '[option]\nstartimport=4\n' > "$dir/test.ini"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --config "$dir/test.ini" \
  > "$dir/out" 2>&1 &
pid=$!
sleep 3
if ! kill -0 "$pid" 2>/dev/null; then
  echo "the program ended by itself:"; cat "$dir/out"; exit 1
fi
kill -TERM "$pid"
wait "$pid"
status=$?
if [ "$status" -ne 0 ]; then
  echo "exit status $status after SIGTERM:"; cat "$dir/out"; exit 1
fi
if ! grep -q "TUxDaoDatabase.F_Set_Active: Database property is not defined!" "$dir/out"; then
  echo "the connect error was not shown:"; cat "$dir/out"; exit 1
fi
echo "1 passed, 0 failed"

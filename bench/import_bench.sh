#!/usr/bin/env bash
# The whole import, end to end: for each size N, an export file of N records and a table that
# matches half of it (plus N/10 records to delete) are generated, and the program's unattended
# run is timed. Figures are printed, never checked.
#
#   bench/import_bench.sh [BUILD_DIR] [N ...]      (default: build, 10000 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000)
bin=$build/bin
for tool in geburtstage dbsh; do [ -x "$bin/$tool" ] || { echo "build $bin/$tool first"; exit 1; }; done
genexport=$build/tools/genexport
[ -x "$genexport" ] || { echo "build $genexport first"; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$bin/geburtstage" "$dir/"
printf '%-8s %12s %12s %14s\n' records "table load s" "import s" "export lines/s"
for n in "${sizes[@]}"; do
  rm -f "$dir"/geburtstage.mdb* "$dir/Import.log"
  "$genexport" "$n" "$dir/export.csv" "$dir/table.sql"
  start=$(date +%s.%N)
  "$bin/dbsh" --create "$dir/geburtstage.mdb" "$dir/table.sql" > /dev/null
  loaded=$(date +%s.%N)
  printf '[DB]\nMain=%s\n[option]\nstartimport=4\ndatei=%s\n' \
    "$dir/geburtstage.mdb" "$dir/export.csv" > "$dir/geburtstage.ini"
  env -u DISPLAY -u WAYLAND_DISPLAY "$dir/geburtstage"
  done_at=$(date +%s.%N)
  [ -f "$dir/Import.log" ] || { echo "the import of $n records failed"; exit 1; }
  awk -v n="$n" -v a="$start" -v b="$loaded" -v c="$done_at" \
    'BEGIN { printf "%-8d %12.2f %12.2f %14.0f\n", n, b - a, c - b, n / (c - b) }'
done

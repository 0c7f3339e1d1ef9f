#!/usr/bin/env bash
# The unattended import side by side with what people would use instead, on the same data
# (bench/peers/gen.py: N employees; the export changes 10% of the birthdays, adds 5% and leaves
# out 5%): the program, the C++ floor (bench/import_floor.cpp: the same row-by-row work on the
# SQLite C API with prepared statements), the per-row Python sqlite3 script and the set-based
# sqlite3 shell. Each run starts from a fresh copy of its table; the sides alternate, RUNS times;
# the medians of wall time, CPU time (user + system) and peak memory are printed with the ratios.
#
#   bench/import_peers.sh [BUILD_DIR] [N ...]        (default: build 100000; RUNS=3)
#
# Needs python3 and sqlite3 (the command-line shell). Figures are printed, never checked.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000)
runs=${RUNS:-3}
for tool in bin/geburtstage bin/dbsh bench/import_floor; do
  [ -x "$build/$tool" ] || { echo "build $build/$tool first"; exit 1; }
done
for tool in python3 sqlite3; do command -v $tool >/dev/null || { echo "$tool is needed"; exit 1; }; done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs "$@" once; appends "wall cpu peak_kib" to the file $1.
measure() {
  local out=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err"; exit 1; }
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time" >>"$out"
}

median() {  # column $2 of file $1
  sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}

for n in "${sizes[@]}"; do
  dir=$work/$n
  bash bench/peers/setup_project.sh "$n" "$dir" "$root/$build/bin/geburtstage" "$root/$build/bin/dbsh" >/dev/null
  cat >"$dir/run-floor.sh" <<S
#!/bin/sh
cp "$dir/peer.db" "$dir/floor.db" && rm -f "$dir/floor.db-wal" "$dir/floor.db-shm"
"$root/$build/bench/import_floor" "$dir/floor.db" "$dir/export.csv"
S
  chmod +x "$dir/run-floor.sh"
  for side in project floor rowwise setwise; do : >"$dir/$side.times"; done
  for ((r = 0; r < runs; r++)); do
    for side in project floor rowwise setwise; do measure "$dir/$side.times" "$dir/run-$side.sh"; done
  done
  [ -f "$dir/run/Import.log" ] || { echo "the program wrote no Import.log"; exit 1; }
  floor_wall=$(median "$dir/floor.times" 1)
  rowwise_wall=$(median "$dir/rowwise.times" 1)
  echo "$n records, median of $runs alternating runs ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)):"
  printf '  %-8s %9s %9s %9s %10s %10s\n' side "wall s" "cpu s" "peak MiB" "/ floor" "/ per-row"
  for side in project floor rowwise setwise; do
    wall=$(median "$dir/$side.times" 1)
    cpu=$(median "$dir/$side.times" 2)
    peak=$(median "$dir/$side.times" 3)
    awk -v s="$side" -v w="$wall" -v c="$cpu" -v p="$peak" -v f="$floor_wall" -v r="$rowwise_wall" \
      'BEGIN { printf "  %-8s %9.2f %9.2f %9.1f %9.2fx %9.2fx\n", s, w, c, p / 1024, w / f, w / r }'
  done
done

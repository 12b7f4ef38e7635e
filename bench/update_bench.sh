#!/usr/bin/env bash
# Update benchmark under Wine: an update of an installed ~100 MiB, 2,000-file product (the backup
# archive written and verified, the old files deleted, the new ones extracted) against a fresh
# installation of the same product, alternating, in the same run. Prints the times, the ratio and
# the backup archive's size; fails when the update takes more than 1.5 times as long.
#
#   bench/update_bench.sh [BUILD_FOLDER] [ROUNDS]
#
# BUILD_FOLDER (default build/bench-win64) is shared with the other benchmarks (bench_setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${2:-3}
limit=1.5
source bench/bench_setup.sh "${1:-}"
bench_build_setup

drive=$WINEPREFIX/drive_c
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA Bench'

seconds() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
install() { # folder name; fails the benchmark when the setup fails
  "$wine_run" "$setup_exe" "/AUTO=C:\\$1" /SILENT /SUPPRESSMSGBOXES "/LOG=C:\\$1.log" >/dev/null 2>&1 || {
    echo "the setup failed into C:\\$1 (see $drive/$1.log)" >&2
    exit 1
  }
}

fresh=()
updates=()
for round in $(seq 1 "$rounds"); do
  rm -rf "$drive/bench-fresh" "$drive/bench-update" "$drive"/bench-*.log
  # The installation that the timed update replaces.
  install bench-update
  start=$(seconds)
  install bench-fresh
  fresh+=("$(elapsed "$start" "$(seconds)")")
  start=$(seconds)
  install bench-update
  updates+=("$(elapsed "$start" "$(seconds)")")
  grep -q 'options Auto,Update,Silent' "$drive/bench-update.log" || { echo "the second run was no update" >&2; exit 1; }
  echo "round $round: fresh install ${fresh[-1]} s, update ${updates[-1]} s"
done
archive=$(ls "$drive/bench-update/!Backup/"*.zip)
files=$(find "$drive/bench-update" -type f ! -path '*!Backup*' | wc -l)
bytes=$(du -sb --exclude='!Backup' "$drive/bench-update" | cut -f1)
archive_bytes=$(stat -c %s "$archive")
entries=$(python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).infolist()))' "$archive")
"$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true
rm -rf "$drive/bench-fresh" "$drive/bench-update"

fresh_median=$(median "${fresh[@]}")
update_median=$(median "${updates[@]}")
ratio=$(echo "scale=3; $update_median / $fresh_median" | bc)
echo "installed: $files files, $bytes bytes; backup archive: $entries entries, $archive_bytes bytes (Deflate level 1)"
echo "median of $rounds: fresh install $fresh_median s, update with backup $update_median s, ratio $ratio (limit $limit)"
[ "$(echo "$ratio <= $limit" | bc)" -eq 1 ]

#!/usr/bin/env bash
# Responsiveness of the wizard under Wine: while an /AUTO run (without /SILENT, so the wizard shows
# its install page) installs the generated ~100 MiB, 2,000-file product, a second program sends
# WM_NULL to the wizard's window again and again with SendMessageTimeout and keeps the longest
# wait. Prints it per round; fails when a round's longest wait reaches 250 ms.
#
#   bench/wizard_probe_bench.sh [BUILD_FOLDER] [ROUNDS]
#
# BUILD_FOLDER (default build/bench-win64) is shared with the other benchmarks (bench_setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${2:-3}
limit=250
source bench/bench_setup.sh "${1:-}"
bench_build_setup zuva_wizard_driver
driver=$PWD/$build/tests/e2e/zuva_wizard_driver.exe

drive=$WINEPREFIX/drive_c
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA Bench'

status=0
for round in $(seq 1 "$rounds"); do
  rm -rf "$drive/bench-wizard"
  out=$(timeout 600 "$wine_run" "$driver" probe "Z:${setup_exe//\//\\}" 'C:\bench-wizard' 'Z:'"${PWD//\//\\}"'\setup\English.lng' \
    'C:\' "round$round" </dev/null 2>&1 | tr -d '\r')
  line=$(grep '^probes' <<<"$out" || true)
  [ -n "$line" ] || { echo "round $round: no figures"; echo "$out"; exit 1; }
  longest=$(awk '{ print $5 }' <<<"$line")
  files=$(find "$drive/bench-wizard" -type f | wc -l)
  echo "round $round: $line ($files files installed)"
  awk -v w="$longest" -v l="$limit" 'BEGIN { exit !(w < l) }' || status=1
done
"$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true
rm -rf "$drive/bench-wizard"
[ $status -eq 0 ] && echo "longest wait under $limit ms in every round" || echo "a round waited $limit ms or more"
exit $status

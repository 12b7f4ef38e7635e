#!/usr/bin/env bash
# How soon the setup's first window (the language dialog) shows under Wine, for the generated
# ~100 MiB, 2,000-file product and for the sample setup (0.36 MiB product), alternating in one run.
# The product is decoded while the window shows, so its size must not delay it: fails when the
# large setup's median comes more than 500 ms after the sample setup's.
#
#   bench/first_window_bench.sh [BUILD_FOLDER] [ROUNDS]
#
# BUILD_FOLDER (default build/bench-win64) is shared with the other benchmarks (bench_setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${2:-3}
limit_ms=500
source bench/bench_setup.sh "${1:-}"
bench_build_setup zuva_setup zuva_wizard_driver
driver=$PWD/$build/tests/e2e/zuva_wizard_driver.exe
sample_exe=$PWD/$build/setup/ZUVASetup.exe

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
first_window() { # setup executable; prints the milliseconds
  local out
  out=$(timeout 300 "$wine_run" "$driver" first-window "Z:${1//\//\\}" 'C:\unused' \
    'Z:'"${PWD//\//\\}"'\setup\English.lng' '' none </dev/null 2>&1 | tr -d '\r')
  grep -o 'first window after [0-9]* ms' <<<"$out" | grep -o '[0-9]*' || { echo "no window: $out" >&2; exit 1; }
}

large=()
small=()
for round in $(seq 1 "$rounds"); do
  large+=("$(first_window "$setup_exe")")
  small+=("$(first_window "$sample_exe")")
  echo "round $round: $(stat -c %s "$setup_exe") bytes ${large[-1]} ms, sample setup $(stat -c %s "$sample_exe") bytes ${small[-1]} ms"
done
large_median=$(median "${large[@]}")
small_median=$(median "${small[@]}")
echo "median of $rounds: first window after $large_median ms (105 MiB product), $small_median ms (sample setup)," \
  "difference $((large_median - small_median)) ms (limit $limit_ms)"
[ $((large_median - small_median)) -le $limit_ms ]

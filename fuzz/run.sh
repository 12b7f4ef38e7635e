#!/usr/bin/env bash
# Builds the fuzz preset when needed and runs one libFuzzer target for a number of seconds.
#   fuzz/run.sh NAME SECONDS [extra libFuzzer flags]
# NAME is the file name of the target without _fuzz.cpp (cmdline, ini, ...). Findings and the
# corpus stay in build/fuzz/NAME-corpus and build/fuzz/NAME-findings (ZUVA_FUZZ_BUILD names another
# build folder).
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: fuzz/run.sh NAME SECONDS [libFuzzer flags]" >&2; exit 2; }
name=$1 seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${ZUVA_FUZZ_BUILD:-build/fuzz}
[ -f "$build/CMakeCache.txt" ] || cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${name}_fuzz" >/dev/null
corpus=$build/$name-corpus findings=$build/$name-findings
mkdir -p "$corpus" "$findings"
seeds=()
[ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The fuzz folder's targets are built in the build tree's fuzz/ subfolder.
exe=$build/fuzz/${name}_fuzz
[ -x "$exe" ] || exe=$build/${name}_fuzz
exec "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$@" "$corpus" "${seeds[@]}"

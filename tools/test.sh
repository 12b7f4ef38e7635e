#!/usr/bin/env bash
# Builds what is missing and runs every test: host tests natively, the same tests under AddressSanitizer
# and UBSan, the win64 tests under wine64 in one Xvfb, and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build-all.sh

status=0
run() { echo "== $*"; "$@" || status=1; }

run ctest --preset host
run ctest --preset host-asan
# One X server for the whole win64 run; wine-run.sh uses it through DISPLAY.
run xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win64
/usr/lib/wine/wineserver -k 2>/dev/null || true

for target in build/fuzz/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target" _fuzz)
  echo "== fuzz smoke: $name"
  fuzz/run.sh "$name" "${ZUVA_FUZZ_SECONDS:-10}" >"build/fuzz/$name-smoke.log" 2>&1 || {
    tail -n 30 "build/fuzz/$name-smoke.log"; status=1; }
done

[ $status -eq 0 ] && echo "== all tests passed" || echo "== some tests FAILED"
exit $status

#!/usr/bin/env bash
# Configures and builds every preset: host, host-asan, fuzz, win64 and win32.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=${ZUVA_PRESETS:-"host host-asan fuzz win64 win32"}
for preset in $presets; do
  echo "== build $preset"
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -- -k 0
done

#!/usr/bin/env bash
# Runs a Windows program under wine64 with a prefix of its own inside the build folder.
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so every CTest test of the win64 build goes through here.
set -euo pipefail

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "wine-run: $wine is missing (run tools/install-deps.sh)" >&2; exit 127; }

# The prefix lives in the build folder of the program (or of the caller's choosing).
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = / ] && dir=$(cd "$(dirname "$1")" && pwd)
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=-all
# Without these overrides Wine stops at a download prompt for Mono and Gecko and hangs.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Initialise the prefix once; parallel tests wait on the lock instead of racing.
if [ ! -f "$WINEPREFIX/.zuva-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.zuva-ready" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      /usr/lib/wine/wineserver -w 2>/dev/null || true
      touch "$WINEPREFIX/.zuva-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# Windows GUI code needs an X display; start a private Xvfb when the caller has none.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$@"
fi
exec "$wine" "$@"

#!/usr/bin/env bash
# Install benchmark under Wine: a silent installation of a large generated product (about 100 MiB
# in about 2,000 files) against "ipk5.exe extract" of the same PRODUCT package into the same kind
# of folder, alternating, in the same run. Prints the times and the ratio of the installation to
# the extraction plus the 2 s that the setup waits by design for running copies to close; fails
# when the installation takes longer than that.
#
#   bench/install_bench.sh [BUILD_FOLDER] [ROUNDS]
#
# BUILD_FOLDER (default build/bench-win64) is configured with the win64 preset and with this
# generated product as its custom setup (ZUVA_CUSTOM_MATERIAL / ZUVA_CUSTOM_PRODUCT).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${2:-3}
limit=1.0
pause=2
source bench/bench_setup.sh "${1:-}"

# ---- the setup and the Windows package tool
bench_build_setup ipk5
ipk5_exe=$PWD/$build/tools/ipk5/ipk5.exe
package=$PWD/$build/setup/zuva_custom_setup.packages/PRODUCT.ipk5
drive=$WINEPREFIX/drive_c

seconds() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

installs=()
extracts=()
for round in $(seq 1 "$rounds"); do
  rm -rf "$drive/bench-extract" "$drive/bench-install"
  start=$(seconds)
  "$wine_run" "$ipk5_exe" extract "Z:$package" -o 'C:\bench-extract' >/dev/null 2>&1
  extracts+=("$(elapsed "$start" "$(seconds)")")
  start=$(seconds)
  "$wine_run" "$setup_exe" '/AUTO=C:\bench-install' /SILENT /SUPPRESSMSGBOXES >/dev/null 2>&1
  code=$?
  installs+=("$(elapsed "$start" "$(seconds)")")
  [ $code -eq 0 ] || { echo "the silent installation failed with exit code $code" >&2; exit 1; }
  echo "round $round: extract ${extracts[-1]} s, install ${installs[-1]} s"
done
files=$(find "$drive/bench-install" -type f | wc -l)
bytes=$(du -sb "$drive/bench-install" | cut -f1)
"$wine_run" reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA Bench' /f >/dev/null 2>&1 || true
rm -rf "$drive/bench-extract" "$drive/bench-install"

extract=$(median "${extracts[@]}")
install=$(median "${installs[@]}")
ratio=$(echo "scale=3; $install / ($extract + $pause)" | bc)
plain=$(echo "scale=3; $install / $extract" | bc)
echo "installed: $files files, $bytes bytes; package $(stat -c %s "$package") bytes"
echo "median of $rounds: ipk5.exe extract $extract s, silent install $install s ($plain times the extraction)"
echo "install / (extract + ${pause} s pause): ratio $ratio (limit $limit)"
[ "$(echo "$ratio <= $limit" | bc)" -eq 1 ]

# Sourced by the Wine benchmarks: the generated ~100 MiB, 2,000-file product and its setup, built in
# BUILD_FOLDER (default build/bench-win64), which the benchmarks share. Every benchmark copies the
# same material (the sample setup's language files, pictures, license texts and add-ons list) so
# that the shared setup is the same whichever benchmark ran last.
#
#   source bench/bench_setup.sh [BUILD_FOLDER]; bench_build_setup <further targets>
build=${1:-build/bench-win64}
data=$PWD/$build/install-bench
mkdir -p "$data"
setup_exe=$PWD/$build/setup/BenchSetup.exe
wine_run=$PWD/cmake/wine-run.sh
export WINEPREFIX=$data/wineprefix

bench_build_setup() { # further targets to build beside the setup
  python3 bench/make-bench-product.py "$data"
  cp setup/*.lng setup/*.png setup/*.rtf setup/addons.ini "$data/material/"
  [ -f "$build/CMakeCache.txt" ] || cmake --preset win64 -B "$build" >/dev/null
  cmake -B "$build" -DZUVA_CUSTOM_MATERIAL="$data/material" -DZUVA_CUSTOM_PRODUCT="$data/product" \
    -DZUVA_CUSTOM_NAME=BenchSetup >/dev/null
  cmake --build "$build" -j2 --target zuva_custom_setup "$@" >/dev/null
  "$wine_run" cmd /c exit >/dev/null 2>&1 || true
}

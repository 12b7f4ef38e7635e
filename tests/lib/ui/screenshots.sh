#!/usr/bin/env bash
# Runs a picture-taking test program (the control gallery, the wizard's pages) in light and dark
# mode at 96 and 144 DPI in a Wine prefix of its own, and checks that it left
# <picture>-<mode>-<dpi>.png in the output folder for every picture named. Wine takes the system
# DPI from "LogPixels" under HKCU\Control Panel\Desktop; the library takes dark mode from
# "AppsUseLightTheme". The programs check that they follow both.
#
#   screenshots.sh <program.exe> <output folder> <setup material folder> <picture>...
set -uo pipefail

exe=$1
out=$2
material=$3
shift 3
pictures=("$@")
name=$(basename "$exe" .exe)
here=$(cd "$(dirname "$0")" && pwd)
wine_run="$here/../../../cmake/wine-run.sh"
mkdir -p "$out"
out=$(cd "$out" && pwd)
export WINEPREFIX="$out/wineprefix"

winpath() { local p=${1//\//\\}; echo "Z:$p\\"; }
reg_set() { timeout 120 "$wine_run" reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f >/dev/null 2>&1; }

failures=0
for dpi in 96 144; do
  for mode in light dark; do
    reg_set 'HKCU\Control Panel\Desktop' LogPixels "$dpi" || failures=$((failures + 1))
    light=1
    [ "$mode" = dark ] && light=0
    reg_set 'HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize' AppsUseLightTheme "$light" ||
      failures=$((failures + 1))
    # A new Wine server reads the DPI afresh.
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    dark=$((1 - light))
    if timeout 120 "$wine_run" "$exe" "$(winpath "$out")" "$mode-$dpi" "$(winpath "$material")" "$dpi" "$dark"; then
      echo "$name $mode $dpi: ok"
    else
      echo "$name $mode $dpi: FAILED"
      failures=$((failures + 1))
    fi
    for picture in "${pictures[@]}"; do
      [ -s "$out/$picture-$mode-$dpi.png" ] || { echo "missing $picture-$mode-$dpi.png"; failures=$((failures + 1)); }
    done
  done
done
echo "$failures failure(s); pictures in $out"
[ $failures -eq 0 ]

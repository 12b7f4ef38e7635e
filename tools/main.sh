#!/usr/bin/env bash
# The main job: build the 64-bit setup and the host's ipk5 (nothing else), install the sample
# product with ZUVASetup.exe silently under Wine into a folder, and show what the installation left
# behind: the files, the uninstall log inside Uninstall.dat, the entry in the list of installed
# programs and the run's log. Never waits for a person: the setup runs with /SUPPRESSMSGBOXES and
# under a time limit; when it fails or runs too long, the script prints the run's log and exits
# non-zero. tools/test.sh builds and tests everything else.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

echo "== build: win64 ZUVASetup.exe and the host ipk5"
[ -f build/win64/CMakeCache.txt ] || cmake --preset win64 >/dev/null
# The setup's packages are packed by the host ipk5, which this target builds first.
cmake --build build/win64 -j "$(nproc)" --target zuva_setup

setup=build/win64/setup/ZUVASetup.exe
ipk5=build/win64/host-tools/tools/ipk5/ipk5
[ -f "$setup" ] || { echo "main: $setup was not built" >&2; exit 1; }
[ -x "$ipk5" ] || { echo "main: $ipk5 was not built" >&2; exit 1; }

# A fresh Wine prefix for the demonstration, so the registry shows this run's entry only.
export WINEPREFIX=$PWD/build/win64/main-wineprefix
rm -rf "$WINEPREFIX"
wine=cmake/wine-run.sh
dest='C:\ZUVA Demo\ZUVA'
log='C:\ZUVA Demo\install.log'
unix_dest=$WINEPREFIX/drive_c/ZUVA\ Demo/ZUVA
unix_log=$WINEPREFIX/drive_c/ZUVA\ Demo/install.log
limit=${ZUVA_MAIN_TIMEOUT:-600}

show_log() {
  echo "== the run's log"
  if [ -f "$unix_log" ]; then tr -d '\r' <"$unix_log"; else echo "(no log was written)"; fi
}

# Wine hands each argument that holds a blank over quoted whole: "/AUTO=C:\ZUVA Demo\ZUVA".
echo "== install: ZUVASetup.exe \"/AUTO=$dest\" /SILENT /SUPPRESSMSGBOXES \"/LOG=$log\" (time limit ${limit} s)"
set +e
timeout "$limit" "$wine" "$setup" "/AUTO=$dest" /SILENT /SUPPRESSMSGBOXES "/LOG=$log" >/dev/null 2>&1
code=$?
set -e
if [ $code -eq 124 ]; then
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  echo "main: the setup did not end within ${limit} s" >&2
  show_log
  exit 124
fi
# Wine passes only the low 8 bits of the exit code on (1603 arrives as 67); the log has it whole.
ends=
[ -f "$unix_log" ] && ends=$(tr -d '\r' <"$unix_log" | sed -n 's/.*\(Setup ends with exit code [0-9]*\).*/\1/p' | tail -n 1)
echo "exit status under Wine: $code; the log says: ${ends:-nothing}"
if [ $code -ne 0 ]; then
  echo "main: the setup failed" >&2
  show_log
  exit $code
fi

echo "== installed files"
(cd "$unix_dest" && find . -type f -printf '%10s  %P\n' | sort -k2)

echo "== Uninstall.dat (ipk5 list)"
"$ipk5" list "$unix_dest/Uninstall.dat"
echo "== Uninstall.ini inside it"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$ipk5" extract "$unix_dest/Uninstall.dat" -o "$tmp" >/dev/null
if [ "$(head -c 2 "$tmp/Uninstall.ini" | od -An -tx1 | tr -d ' ')" = fffe ]; then
  iconv -f UTF-16 -t UTF-8 "$tmp/Uninstall.ini" | tr -d '\r'
else
  tr -d '\r' <"$tmp/Uninstall.ini"
fi

echo "== registry: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZUVA"
timeout 120 "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA' 2>/dev/null |
  tr -d '\r' | sed '/^$/d'

show_log

#!/usr/bin/env bash
# The main job: build everything, install the sample product with the built ZUVASetup.exe silently
# under Wine into a folder, and show what the installation left behind: the files, the uninstall
# log inside Uninstall.dat, the entry in the list of installed programs and the run's log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build-all.sh

setup=build/win64/setup/ZUVASetup.exe
ipk5=build/host/tools/ipk5/ipk5
[ -f "$setup" ] || { echo "main: $setup was not built" >&2; exit 1; }
[ -x "$ipk5" ] || { echo "main: $ipk5 was not built" >&2; exit 1; }

# A fresh Wine prefix for the demonstration, so the registry shows this run's entry only.
export WINEPREFIX=$PWD/build/win64/main-wineprefix
rm -rf "$WINEPREFIX"
wine=cmake/wine-run.sh
dest='C:\ZUVA Demo\ZUVA'
unix_dest=$WINEPREFIX/drive_c/ZUVA\ Demo/ZUVA

echo "== install: ZUVASetup.exe /AUTO=\"$dest\" /SILENT /LOG=\"C:\\ZUVA Demo\\install.log\""
set +e
"$wine" "$setup" "/AUTO=$dest" /SILENT '/LOG=C:\ZUVA Demo\install.log' >/dev/null 2>&1
code=$?
set -e
# Wine passes only the low 8 bits of the exit code on (1603 arrives as 67); the log has it whole.
echo "exit status under Wine: $code; the log says: $(tr -d '\r' <"$WINEPREFIX/drive_c/ZUVA Demo/install.log" | sed -n 's/.*\(Setup ends with exit code [0-9]*\).*/\1/p' | tail -n 1)"

echo "== installed files"
(cd "$unix_dest" && find . -type f -printf '%10s  %P\n' | sort -k2)

echo "== Uninstall.dat (ipk5 list)"
"$ipk5" list "$unix_dest/Uninstall.dat"
echo "== Uninstall.ini inside it"
tmp=$(mktemp -d)
"$ipk5" extract "$unix_dest/Uninstall.dat" -o "$tmp" >/dev/null
if [ "$(head -c 2 "$tmp/Uninstall.ini" | od -An -tx1 | tr -d ' ')" = fffe ]; then
  iconv -f UTF-16 -t UTF-8 "$tmp/Uninstall.ini" | tr -d '\r'
else
  tr -d '\r' <"$tmp/Uninstall.ini"
fi
rm -rf "$tmp"

echo "== registry: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZUVA"
"$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA' 2>/dev/null | tr -d '\r' |
  sed '/^$/d'

echo "== the run's log"
tr -d '\r' <"$WINEPREFIX/drive_c/ZUVA Demo/install.log"
exit $code

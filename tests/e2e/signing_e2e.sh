#!/usr/bin/env bash
# A signed setup end to end, in a prefix of its own: a throw-away certificate chain signs the
# uninstaller that the setup carries and the setup itself. Both signatures verify against the
# chain's authority; a silent installation writes that uninstaller, signature intact, without the
# product and no larger than the setup without its product package; a copy of it under another
# name and one without its Uninstall.dat stop with a reason; the installed Uninstall.exe removes
# the installation: every file it wrote goes, and the folder keeps only what the product keeps on
# an unattended removal (its configuration) and what the stand-in programs wrote while it ran.
set -uo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --wine) wine_run=$2 ;;
    --setup) setup=$2 ;;
    --ipk5) ipk5=$2 ;;
    --uninstaller) uninstaller=$2 ;;
    --product-package) product_package=$2 ;;
    --ca) ca=$2 ;;
    --osslsigncode) osslsigncode=$2 ;;
    --resources) resources=$2 ;;
    --objdump) objdump=$2 ;;
    --manifests) manifests=$2 ;;
    --work) work=$2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
# Verifies the program's signature against the test authority; the report goes to the work folder.
verify() { "$osslsigncode" verify -CAfile "$ca" -in "$1" >"$work/run/$2.verify.txt" 2>&1; }
# The RT_RCDATA resources of a program by name, one per line, without the control library's skins.
rcdata() { python3 "$resources" "$1" | awk '$1 == 10 && $2 !~ /^DLX/ { print $2 }' | sort; }
not() { ! "$@"; }
has_resource() { python3 "$resources" "$1" | awk -v t="$2" '$1 == t { found = 1 } END { exit !found }'; }

rm -rf "$work/run"
mkdir -p "$work/run"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA'
run reg delete "$uninstall_key" /f  # also prepares the prefix
drive=$WINEPREFIX/drive_c
root=$drive/zuva-sign
winroot='C:\zuva-sign'
rm -rf "$root"
mkdir -p "$root"

# ---- what the build made
expect "the setup's signature verifies against the test authority" verify "$setup" setup
expect "the signature is the test publisher's" grep -q 'Subject: /CN=ZUVA Test Publisher' "$work/run/setup.verify.txt"
expect "the uninstaller image's signature verifies" verify "$uninstaller" uninstaller
hash=$(sha256sum "$setup" | cut -d' ' -f1)
expect "the winget manifest carries the hash of the signed setup" \
  grep -qix "  InstallerSha256: $hash" <(tr -d '\r' <"$manifests"/*.installer.yaml)
expect "the setup carries SETUP, PRODUCT with its index, and UNINSTALLER" test "$(rcdata "$setup" | tr '\n' ' ')" = 'PRODUCT PRODUCTINDEX SETUP UNINSTALLER '
expect "the uninstaller image carries SETUP alone" test "$(rcdata "$uninstaller" | tr '\n' ' ')" = 'SETUP '
expect "the uninstaller image has the manifest" has_resource "$uninstaller" 24
expect "the uninstaller image has the version resource" has_resource "$uninstaller" 16
expect "the uninstaller image is stripped" not grep -q '\.debug_info' <("$objdump" -h "$uninstaller")
# The control: a signature that no longer matches the bytes does not verify.
cp "$uninstaller" "$work/run/tampered.exe"
printf 'Z' | dd of="$work/run/tampered.exe" bs=1 seek=$(($(stat -c %s "$uninstaller") / 3)) conv=notrunc status=none
expect "a changed byte breaks the signature (control)" not verify "$work/run/tampered.exe" tampered

# ---- a silent installation
run "$setup" "/AUTO=$winroot\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\install.log"
code=$?
expect "silent installation exits 0 (got $code)" test $code -eq 0
dest=$root/ZUVA
installed=$dest/Uninstall.exe
expect "the installation wrote Uninstall.exe and Uninstall.dat" test -f "$installed" -a -f "$dest/Uninstall.dat"
expect "the installed Uninstall.exe is the signed uninstaller, byte for byte" cmp -s "$uninstaller" "$installed"
expect "the installed Uninstall.exe's signature verifies" verify "$installed" installed
expect "the installed Uninstall.exe holds no PRODUCT resource" not grep -qx PRODUCT <(rcdata "$installed")
size=$(stat -c %s "$installed")
limit=$(($(stat -c %s "$setup") - $(stat -c %s "$product_package") + 262144))
expect "Uninstall.exe ($size bytes) is at most the setup without its product plus 256 KiB ($limit bytes)" \
  test "$size" -le "$limit"
carried=$(python3 "$resources" "$setup" | awk '$1 == 10 && $2 == "UNINSTALLER" { print $3 }')
lean=$(($(stat -c %s "$setup") - $(stat -c %s "$product_package") - carried + 65536))
expect "it is the setup without the product and the packed uninstaller, give or take 64 KiB ($lean bytes)" \
  test "$size" -le "$lean"
expect "the log names the carried uninstaller" \
  grep -qF "Written \"C:\\zuva-sign\\ZUVA\\Uninstall.exe\" (the setup's uninstaller, $size bytes)" \
  <(log_text "$root/install.log")

# ---- the uninstaller where it cannot work
cp "$installed" "$root/Other.exe"
run "$winroot\\Other.exe" /AUTO /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\other.log"
code=$?
expect "the uninstaller under another name exits 1603 (status $code)" test $code -eq $failed_status
other=$(log_text "$root/other.log")
expect "it says it is an uninstaller without a product" \
  grep -qF 'Start-up failed: "C:\zuva-sign\Other.exe" is an uninstaller and holds no product to install' <<<"$other"
expect "it ends in order" grep -q 'Setup ends with exit code 1603' <<<"$other"
mkdir -p "$root/alone"
cp "$installed" "$root/alone/Uninstall.exe"
run "$winroot\\alone\\Uninstall.exe" /AUTO /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\alone.log"
code=$?
expect "Uninstall.exe without its Uninstall.dat exits 1603 (status $code)" test $code -eq $failed_status
expect "it names the missing Uninstall.dat" \
  grep -qF 'Start-up failed: "C:\zuva-sign\alone\Uninstall.dat" is missing' <(log_text "$root/alone.log")

# ---- the removal through the installed, signed Uninstall.exe
mkdir -p "$work/run/dat"
"$ipk5" extract "$dest/Uninstall.dat" -o "$work/run/dat" >/dev/null
written=$(ini_text "$work/run/dat/Uninstall.ini" | sed -n '/^\[Uninstall\]/,/^\[/{s/^[0-9][0-9]*=//p}')
expect "the uninstall log lists the installation's files" test "$(grep -c . <<<"$written")" -ge 5
run "$winroot\\ZUVA\\Uninstall.exe" /AUTO /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\uninstall.log"
code=$?
expect "the removal exits 0 (got $code)" test $code -eq 0
log=$(log_text "$root/uninstall.log")
expect "the bootstrap relaunched its copy from the system's temporary folder" \
  grep -qiE 'Setup starts: "C:\\windows\\temp\\ZUVA-[0-9A-F]{32}\\Uninstall.exe"' <<<"$log"
expect "both processes end with exit code 0" test "$(grep -c 'Setup ends with exit code 0' <<<"$log")" -eq 2
expect "the copy ran the silent removal" grep -q 'Mode: silent uninstall' <<<"$log"
remaining=0
while read -r entry; do
  [ -e "$dest/${entry//\\//}" ] && { echo "still there: $entry"; remaining=$((remaining + 1)); }
done <<<"$written"
expect "every file the installation wrote is gone, Uninstall.exe and Uninstall.dat included" test $remaining -eq 0
left=$(cd "$dest" 2>/dev/null && find . -type f | sort | tr '\n' ' ')
expect "the folder keeps only the configuration and the stand-ins' traces (left: $left)" \
  test "$left" = './Registrar.log ./System/zuva_menu64.DllUnregisterServer.marker ./ZUVA.ini '
expect "the registry entry is gone" bash -c '! timeout 120 "$1" reg query "$2" >/dev/null 2>&1' _ "$wine_run" "$uninstall_key"

cp "$root"/*.log "$work/run/" 2>/dev/null
rm -rf "$root"
echo "$failures failure(s)"
[ $failures -eq 0 ]

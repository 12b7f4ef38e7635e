#!/usr/bin/env bash
# End-to-end runs of the setup executable under Wine: a silent installation and what it leaves
# behind, installations into folders with blanks in both quoting styles, a log that cannot be
# written, destinations given in other forms and a refused one, an update that cannot be one, the
# installed uninstaller relaunching itself from the
# temporary folder, the help text, the refusal beside a ".local" redirection, libraries planted
# beside the program, and the program's static imports.
set -uo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --wine) wine_run=$2 ;;
    --setup) setup=$2 ;;
    --uninstaller) uninstaller=$2 ;;
    --package) package=$2 ;;
    --ipk5) ipk5=$2 ;;
    --product) product=$2 ;;
    --probe) probe=$2 ;;
    --planted) planted=$2 ;;
    --runner) runner=$2 ;;
    --objdump) objdump=$2 ;;
    --work) work=$2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

rm -rf "$work/run"
mkdir -p "$work/run"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA'

# ---- /?: the help text with the exit codes; the first run also prepares the prefix.
run "$setup" /? /AUTO /SUPPRESSMSGBOXES "/LOG=Z:$work/run/help.log"
code=$?
drive=$WINEPREFIX/drive_c
root=$drive/zuva-e2e
winroot='C:\zuva-e2e'
expect "/? exits 0 (got $code)" test $code -eq 0
expect "/? shows the switches and exit codes" grep -q '/SUPPRESSMSGBOXES.*1602 cancelled by the user' <(log_text "$work/run/help.log")

rm -rf "$root"
mkdir -p "$root"
run reg delete "$uninstall_key" /f

# ---- silent installation
run "$setup" "/AUTO=$winroot\\ZUVA" /SILENT "/LOG=$winroot\\install.log"
code=$?
expect "silent installation exits 0 (got $code)" test $code -eq 0
dest=$root/ZUVA
for entry in ZUVA.exe Registrar.exe System/zuva_menu32.dll System/zuva_menu64.dll System/Data/Formats.ini \
  System/Data/zuva_media.dat Skins/Default.zskin; do
  expect "installed $entry equals the product's" cmp -s "$product/$(basename "$entry")" "$dest/$entry"
done
expect "Readme.txt is the English one" cmp -s "$product/Readme_EN.txt" "$dest/Readme.txt"
expect "Uninstall.exe is the uninstaller the setup carries" cmp -s "$uninstaller" "$dest/Uninstall.exe"
expect "Uninstall.exe is smaller than the setup, which also holds the product" \
  test "$(stat -c %s "$dest/Uninstall.exe")" -lt "$(stat -c %s "$setup")"
expect "ipk5 lists Uninstall.ini in Uninstall.dat" grep -q '^Uninstall.ini' <("$ipk5" list "$dest/Uninstall.dat")
mkdir -p "$work/run/dat"
if "$ipk5" extract "$dest/Uninstall.dat" -o "$work/run/dat" >/dev/null; then
  ini=$(ini_text "$work/run/dat/Uninstall.ini")
  expect "the uninstall log counts 8 components and its own two files" grep -qx 'Count=10' <<<"$ini"
  expect "the uninstall log names ZUVA.exe relative to the folder" grep -qx '0=ZUVA.exe' <<<"$ini"
  expect "the uninstall log ends with Uninstall.dat and Uninstall.exe" \
    bash -c 'grep -qx "8=Uninstall.dat" <<<"$1" && grep -qx "9=Uninstall.exe" <<<"$1"' _ "$ini"
else
  fail "ipk5 extracts Uninstall.dat"
fi
registry=$(timeout 120 "$wine_run" reg query "$uninstall_key" 2>/dev/null | tr -d '\r')
expect "the registry entry names the product" grep -q 'DisplayName.*REG_SZ.*ZUVA$' <<<"$registry"
expect "the registry entry holds the folder" grep -qF 'C:\zuva-e2e\ZUVA\' <<<"$registry"
expect "the registry entry holds the uninstaller, quoted" grep -qF 'UninstallString    REG_SZ    "C:\zuva-e2e\ZUVA\Uninstall.exe"' <<<"$registry"
expect "the registry entry holds version 5.05.0.1207" grep -q 'DisplayVersion.*5.05.0.1207' <<<"$registry"
log=$(log_text "$root/install.log")
expect "the log holds the mode" grep -q 'Mode: silent install' <<<"$log"
expect "the log holds the options and destination" grep -qF 'options Auto,Silent, destination "C:\zuva-e2e\ZUVA\"' <<<"$log"
expect "the log holds the exit code" grep -q 'Setup ends with exit code 0' <<<"$log"

# ---- folders with a blank and a non-ASCII character: the switch quoted whole (as Wine and other
# list-to-command-line converters write an argument holding a blank) and its value quoted (as
# people type it, passed literally by the runner); the log lies in the folder the run creates.
# Wine converts arguments and environment from the Unix character set, which must be UTF-8 here.
locale -a 2>/dev/null | grep -qix 'en_US.utf-\?8' || export LC_ALL=C.UTF-8
for style in whole value; do
  folder="Zuva Démo $style"
  windest="$winroot\\$folder\\ZUVA"
  winlog="$winroot\\$folder\\install.log"
  if [ $style = whole ]; then
    run "$setup" "/AUTO=$windest" /SILENT /SUPPRESSMSGBOXES "/LOG=$winlog"
    code=$?
  else
    export ZUVA_COMMAND_LINE="\"Z:${setup//\//\\}\" /AUTO=\"$windest\" /SILENT /SUPPRESSMSGBOXES /LOG=\"$winlog\""
    run "$runner"
    code=$?
    unset ZUVA_COMMAND_LINE
  fi
  expect "$style quoting: the installation into \"$folder\" exits 0 (got $code)" test $code -eq 0
  for entry in ZUVA.exe System/Data/Formats.ini Skins/Default.zskin; do
    expect "$style quoting: installed $entry equals the product's" \
      cmp -s "$product/$(basename "$entry")" "$root/$folder/ZUVA/$entry"
  done
  expect "$style quoting: Uninstall.exe is the uninstaller the setup carries" \
    cmp -s "$uninstaller" "$root/$folder/ZUVA/Uninstall.exe"
  log=$(log_text "$root/$folder/install.log")
  expect "$style quoting: the log holds options and destination" \
    grep -qF "options Auto,Silent, destination \"$windest\\\"" <<<"$log"
  expect "$style quoting: the log ignores no argument" test -z "$(grep 'Ignored' <<<"$log")"
  expect "$style quoting: the log holds exit code 0" grep -q 'Setup ends with exit code 0' <<<"$log"
done
unset LC_ALL

# ---- a log that cannot be written (a folder of that name): nothing is done, 1603
run "$setup" "/AUTO=$winroot\\refused" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot"
code=$?
expect "a log naming a folder stops the setup with 1603 (status $code)" test $code -eq $failed_status
expect "nothing was installed without its log" test ! -e "$root/refused"

# ---- one canonical destination: C:\newdemo (a "\n" in the name), "/" separators, a relative folder
# Prints the InstallPath value of the registry entry.
install_path() {
  timeout 120 "$wine_run" reg query "$uninstall_key" /v InstallPath 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *InstallPath *REG_SZ *//p'
}
rm -rf "$drive/newdemo"
run "$setup" '/AUTO=C:\newdemo' /SILENT "/LOG=$winroot\\newdemo.log"
code=$?
expect "installation into C:\\newdemo exits 0 (got $code)" test $code -eq 0
rm -rf "$work/run/newdemo-dat" && mkdir -p "$work/run/newdemo-dat"
if "$ipk5" extract "$drive/newdemo/Uninstall.dat" -o "$work/run/newdemo-dat" >/dev/null; then
  ini=$(ini_text "$work/run/newdemo-dat/Uninstall.ini")
  entries=$(sed -n '/^\[Uninstall\]/,/^\[/{/^[0-9][0-9]*=/p}' <<<"$ini")
  expect "the C:\\newdemo log counts 10 entries, one line each" \
    bash -c '[ "$(grep -c . <<<"$1")" -eq 10 ] && grep -qx "Count=10" <<<"$2"' _ "$entries" "$ini"
  outside=0
  while IFS='=' read -r _ entry; do
    # Relative to the folder, and a file the installation wrote.
    case $entry in *:* | \\*) outside=$((outside + 1)) ;; esac
    [ -f "$drive/newdemo/${entry//\\//}" ] || outside=$((outside + 1))
  done <<<"$entries"
  expect "every C:\\newdemo log entry is a written file inside the folder" test $outside -eq 0
else
  fail "ipk5 extracts C:\\newdemo\\Uninstall.dat"
fi
expect "C:\\newdemo is registered as installed" test "$(install_path)" = 'C:\newdemo\'
rm -rf "$drive/newdemo"

run "$setup" "/AUTO=C:/zuva-e2e/Slash/Demo" /SILENT "/LOG=$winroot\\slash.log"
code=$?
expect "/AUTO with / separators exits 0 (got $code)" test $code -eq 0
expect "/AUTO with / separators installs into the folder" test -f "$root/Slash/Demo/ZUVA.exe"
expect "/AUTO with / separators registers that folder" test "$(install_path)" = 'C:\zuva-e2e\Slash\Demo\'

(cd "$root" && run "$setup" "/AUTO=RelDemo" /SILENT "/LOG=$winroot\\relative.log")
code=$?
expect "/AUTO with a relative folder exits 0 (got $code)" test $code -eq 0
expect "/AUTO=RelDemo installs into the current folder's RelDemo" test -f "$root/RelDemo/ZUVA.exe"
expect "/AUTO=RelDemo registers the folder it installed into" test "$(install_path)" = 'C:\zuva-e2e\RelDemo\'

drive_before=$(ls -A "$drive" | sort)
run "$setup" '/AUTO=C:\' /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\root.log"
code=$?
expect "/AUTO=C:\\ exits 1603 (status $code)" test $code -eq $failed_status
expect "/AUTO=C:\\ is refused with a reason" grep -q 'Setup cannot install into "C:\\"' <(log_text "$root/root.log")
expect "/AUTO=C:\\ wrote nothing" test "$(ls -A "$drive" | sort)" = "$drive_before"
run reg delete "$uninstall_key" /f
# The first installation's entry again, for the uninstaller below.
run "$setup" "/AUTO=$winroot\\ZUVA" /SILENT

# ---- an update where nothing is installed: refused before anything happens, without a box
mkdir -p "$root/empty"
run "$setup" "/AUTO=$winroot\\empty" /UPDATE /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\update.log"
code=$?
expect "update of nothing exits 1603 (status $code)" test $code -eq $failed_status
expect "the update log holds the reason" grep -q 'Cannot install update on v0.00' <(log_text "$root/update.log")
expect "the update log holds exit code 1603" grep -q 'Setup ends with exit code 1603' <(log_text "$root/update.log")
expect "the update showed no box" grep -q 'Message box (not shown' <(log_text "$root/update.log")
expect "the update wrote nothing" test -z "$(ls -A "$root/empty")"

# ---- a setup whose product package is damaged, run over the installation: it is decoded while the
# setup starts, and the run stops before its first change, with the package's error
damaged=$root/Damaged.exe
python3 - "$setup" "$package" "$damaged" <<'PY'
import sys
setup, package, out = (open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), sys.argv[3])
at = setup.find(package)
assert at > 0 and setup.find(package, at + 1) < 0, "the product package once in the setup"
body = bytearray(setup)
body[at + len(package) // 2] ^= 0x5A
open(out, "wb").write(bytes(body))
PY
before=$(fingerprint "$dest")
backups=$(ls -A "$dest/!Backup" 2>/dev/null)
run "$winroot\Damaged.exe" "/AUTO=$winroot\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\damaged.log"
code=$?
log=$(log_text "$root/damaged.log")
expect "the damaged setup exits 1603 (status $code)" test $code -eq $failed_status
expect "the damaged setup names the damage" grep -q 'Package was corrupted' <<<"$log"
expect "the damaged setup deleted nothing but its own archive" bash -c '! grep "Deleted \"" <<<"$1" | grep -qv "!Backup"' _ "$log"
expect "the installation is as it was" test "$(fingerprint "$dest")" = "$before"
expect "the backups are as they were" test "$(ls -A "$dest/!Backup" 2>/dev/null)" = "$backups"
rm -f "$damaged"

# ---- the installed uninstaller relaunches itself from the system temporary folder with PATH
run "$winroot\\ZUVA\\Uninstall.exe" /AUTO /SILENT "/LOG=$winroot\\uninstall.log"
code=$?
expect "the uninstaller's bootstrap exits 0 (got $code)" test $code -eq 0
# The bootstrap waits for its copy: both have logged their end when it returns.
log=$(log_text "$root/uninstall.log")
expect "Uninstall.exe returns after its copy ended, with its exit code" \
  bash -c '[ "$(grep -c "Setup ends with exit code" <<<"$1")" -eq 2 ] &&
    grep -q "Uninstall.exe\" ended with exit code 0" <<<"$1"' _ "$log"
expect "the bootstrap is logged" grep -q 'Mode: uninstaller bootstrap' <<<"$log"
expect "the copy receives PATH and the original switches" \
  grep -qF 'Uninstall.exe" /PATH="C:\zuva-e2e\ZUVA\" /AUTO /SILENT' <<<"$log"
# Not the user's temporary folder, whose parent the user may rename: the system's.
expect "the copy runs from a folder of its own in the system's temporary folder" \
  grep -qiE 'Setup starts: "C:\\windows\\temp\\ZUVA-[0-9A-F]{32}\\Uninstall.exe"' <<<"$log"
expect "the copy runs the silent removal" grep -q 'Mode: silent uninstall' <<<"$log"
expect "both processes end with exit code 0" test "$(grep -c 'Setup ends with exit code 0' <<<"$log")" -eq 2
# (The installed Uninstall.exe, still running then, is parked in a private folder of its own.)
copy_folder=$(grep -oiE 'Setup starts: "C:\\windows\\temp\\ZUVA-[0-9A-F]{32}' <<<"$log" | head -n 1 | grep -oE 'ZUVA-[0-9A-F]{32}')
expect "the copy's private folder is gone when the removal ends" \
  test -n "$copy_folder" -a ! -e "$drive/windows/temp/$copy_folder"
expect "the bootstrap deleted the ended copy and its folder" \
  bash -c 'grep -q "Deleted the uninstaller.s copy" <<<"$1" && grep -q "Removed the uninstaller.s folder" <<<"$1"' _ "$log"

# ---- a ".local" redirection beside the program: refused
mkdir -p "$root/dotlocal/ZUVASetup.exe.local"
cp "$setup" "$root/dotlocal/ZUVASetup.exe"
run "$winroot\\dotlocal\\ZUVASetup.exe" "/AUTO=$winroot\\dotlocal-dest" /SILENT /SUPPRESSMSGBOXES \
  "/LOG=$winroot\\dotlocal.log"
code=$?
expect "a .local folder stops the setup with 1603 (status $code)" test $code -eq $failed_status
expect "the .local refusal is logged with exit code 1603" grep -q 'Setup ends with exit code 1603' <(log_text "$root/dotlocal.log")
expect "the log names the .local folder" grep -qF 'ZUVASetup.exe.local' <(log_text "$root/dotlocal.log")
expect "nothing was installed beside a .local folder" test ! -e "$root/dotlocal-dest"

# ---- planted libraries
mkdir -p "$root/probe"
cp "$probe" "$root/probe/dll_probe.exe"
cp "$planted" "$root/probe/zuva_probe.dll"
run "$winroot\\probe\\dll_probe.exe" plain zuva_probe.dll
code=$?
expect "without the hardening a library beside the program is loaded (control; got $code)" test $code -eq 1
rm -f "$root/probe/"*.loaded
run "$winroot\\probe\\dll_probe.exe" harden zuva_probe.dll
code=$?
expect "with the hardening the library beside the program is not found (got $code)" test $code -eq 2
expect "with the hardening the planted library never ran" test ! -e "$root/probe/zuva_probe.dll.loaded"
cp "$planted" "$root/probe/version.dll"
run "$winroot\\probe\\dll_probe.exe" plain version.dll
echo "note: a planted version.dll without the hardening: probe exit $? (1 = taken from beside the program)"
rm -f "$root/probe/"*.loaded
run "$winroot\\probe\\dll_probe.exe" harden version.dll
code=$?
expect "with the hardening version.dll comes from the system (got $code)" test $code -eq 0
expect "with the hardening the planted version.dll never ran" test ! -e "$root/probe/version.dll.loaded"

mkdir -p "$root/plant"
cp "$setup" "$root/plant/ZUVASetup.exe"
planted_names="version.dll uxtheme.dll dwmapi.dll gdiplus.dll msftedit.dll riched20.dll comctl32.dll
  cryptbase.dll cryptsp.dll rsaenh.dll profapi.dll userenv.dll dbghelp.dll wtsapi32.dll secur32.dll"
for name in $planted_names; do cp "$planted" "$root/plant/$name"; done
run "$winroot\\plant\\ZUVASetup.exe" "/AUTO=$winroot\\plant-dest" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\plant.log"
code=$?
expect "the setup beside planted libraries installs (got $code)" test $code -eq 0
loaded=$(cd "$root/plant" && ls -- *.loaded 2>/dev/null | tr '\n' ' ')
expect "no planted library was loaded by the setup${loaded:+ (loaded: $loaded)}" test -z "$loaded"
run reg delete "$uninstall_key" /f

# ---- static imports: only libraries the system loads from its own folder (KnownDLLs)
known=" advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll gdi32.dll gdi32full.dll
  imagehlp.dll imm32.dll kernel32.dll kernelbase.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ntdll.dll
  ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
  user32.dll wldap32.dll ws2_32.dll "
imports=$("$objdump" -p "$setup" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
expect "the setup imports libraries statically" test -n "$imports"
for dll in $imports; do
  if [[ "$known" =~ [[:space:]]$dll[[:space:]] ]]; then
    pass "static import $dll is a known system library"
  else
    fail "static import $dll is not on the KnownDLLs list"
  fi
done

cp "$root"/*.log "$work/run/" 2>/dev/null
rm -rf "$root"
echo "$failures failure(s)"
[ $failures -eq 0 ]

#!/usr/bin/env bash
# The wizard end to end under Wine: tests/e2e/wizard_driver.cpp clicks through the real setup and
# the installed Uninstall.exe, started without switches, as a person would; this script prepares
# each run (the display's DPI and mode, a player that will not close, an older installation) and
# checks what the run left on disk and in the registry. The install and removal run in light and
# dark mode at 96 and 144 DPI and leave pictures of every page in the pictures folder.
set -uo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --wine) wine_run=$2 ;;
    --setup) setup=$2 ;;
    --driver) driver=$2 ;;
    --player) player=$2 ;;
    --old) make_old=$2 ;;
    --holder) holder=$2 ;;
    --material) material=$2 ;;
    --pictures) pictures=$2 ;;
    --work) work=$2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
reg_missing() { ! timeout 120 "$wine_run" reg query "$1" /v "$2" >/dev/null 2>&1; }
reg_set() { run reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA'

# Wine converts arguments from the Unix character set, which must be UTF-8 for the folder's "ü".
locale -a 2>/dev/null | grep -qix 'en_US.utf-\?8' || export LC_ALL=C.UTF-8
rm -rf "$work"
mkdir -p "$work" "$pictures"
run cmd /c exit
drive=$WINEPREFIX/drive_c
german=$(winpath "$material/German.lng")
english=$(winpath "$material/English.lng")
shots=$(winpath "$(cd "$pictures" && pwd)")

# A driver run; its lines are part of this test's output, its failures count here.
# Its output goes to a file: a program the setup starts may keep a pipe open after the run.
drive_wizard() { # scenario program folder language suffix [arguments]
  timeout 400 "$wine_run" "$driver" "$1" "$2" "$3" "$4" "$shots" "$5" "${6:-}" >"$work/driver.out" 2>&1 </dev/null
  tr -d '\r' <"$work/driver.out" | sed 's/^/  /'
  grep -q ': 0 failure(s)' "$work/driver.out" && ! grep -q '^FAIL' "$work/driver.out" || fail "driver: $1 ($5)"
}
# The stand-in player that ignores WM_CLOSE: the work page waits for it until the driver, which
# waits for its window first, ends it.
stubborn_player() {
  timeout 300 "$wine_run" "$player" /KEEPOPEN >/dev/null 2>&1 </dev/null &
}

locked_unix="$drive/Zuva Locked/ZUVA"
locked='C:\Zuva Locked\ZUVA'
folder_unix="$drive/Zuva Prüfung/ZUVA"
folder='C:\Zuva Prüfung\ZUVA'
for dpi in 96 144; do
  for mode in light dark; do
    echo "== $mode, $dpi DPI"
    reg_set 'HKCU\Control Panel\Desktop' LogPixels "$dpi"
    light=1
    [ "$mode" = dark ] && light=0
    reg_set 'HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize' AppsUseLightTheme "$light"
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    suffix=$mode-$dpi

    # ---- an installation in German into a folder typed by hand
    stubborn_player
    drive_wizard install "$setup" "$folder" "$german" "$suffix"
    expect "$suffix: the product's files are in the typed folder" \
      test -f "$folder_unix/ZUVA.exe" -a -f "$folder_unix/System/Data/Formats.ini"
    expect "$suffix: the German readme was installed" grep -q . "$folder_unix/Readme.txt"
    expect "$suffix: Uninstall.exe and Uninstall.dat" test -f "$folder_unix/Uninstall.exe" -a -f "$folder_unix/Uninstall.dat"
    expect "$suffix: a normal installation (configuration says so)" grep -qi 'UserMode=1' <(ini_text "$folder_unix/ZUVA.ini")

    # ---- its removal through Uninstall.exe, backups included
    mkdir -p "$folder_unix/!Backup"
    echo old >"$folder_unix/!Backup/z Before install 5.00 [2020.01.01 10-00-00].zip"
    stubborn_player
    drive_wizard uninstall "$folder\\Uninstall.exe" - "$german" "$suffix"
    expect "$suffix: the installation folder is gone" test ! -e "$folder_unix"
    expect "$suffix: the registry entry is gone" reg_missing "$uninstall_key" InstallPath

    # ---- closing the wizard while it waits for the player
    stubborn_player
    rm -f "$drive/wizard-cancel.log"
    drive_wizard cancel-install "$setup" - "$german" "$suffix" '/LOG=C:\wizard-cancel.log'
    pkill -f KEEPOPEN
    expect "$suffix: nothing installed after closing during the work" test ! -e "$drive/Program Files/ZUVA"
    expect "$suffix: the log holds the cancellation" grep -qF "$(ini_text "$material/German.lng" | sed -n 's/^E4=//p' | head -1)" <(log_text "$drive/wizard-cancel.log")

    # ---- an update while another program holds ZUVA.exe: the question, Abort, all put back
    rm -rf "$locked_unix"
    python3 "$make_old" 5020 "$locked_unix" >/dev/null
    before=$(fingerprint "$locked_unix")
    hold "$locked\ZUVA.exe" "$locked.held" "$locked.release"
    drive_wizard locked-abort "$setup" "$locked" "$german" "$suffix"
    release
    expect "$suffix: Abort left the installation byte for byte as before" test "$(fingerprint "$locked_unix")" = "$before"
  done
done

# ---- closing on an option page: Cancel keeps the wizard, OK ends it before anything is done
reg_set 'HKCU\Control Panel\Desktop' LogPixels 96
reg_set 'HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize' AppsUseLightTheme 1
/usr/lib/wine/wineserver -w 2>/dev/null || true
drive_wizard cancel-options "$setup" - "$german" light-96
expect "nothing installed after closing on an option page" test ! -e "$drive/Program Files/ZUVA"

# ---- the same question answered Retry once the file is free: the update goes through
rm -rf "$locked_unix"
python3 "$make_old" 5020 "$locked_unix" >/dev/null
hold "$locked\ZUVA.exe" "$locked.held" "$locked.release"
drive_wizard locked-retry "$setup" "$locked" "$german" light-96
release
expect "Retry installed the update" grep -q 'Version=5050' <(ini_text "$locked_unix/ZUVA.ini")

# ---- /AUTO without /SILENT: the install page alone, closed by itself
stubborn_player
drive_wizard auto "$setup" 'C:\Zuva Auto' "$english" light-96
expect "auto: the product's files are installed" test -f "$drive/Zuva Auto/ZUVA.exe"

# ---- an update over 5.02: the setup page finds it
python3 "$make_old" 5020 "$drive/Zuva Alt/ZUVA" >/dev/null
run reg add "$uninstall_key" /v InstallPath /d 'C:\Zuva Alt\ZUVA\' /f
drive_wizard update "$setup" 'C:\Zuva Alt\ZUVA' "$german" light-96
expect "update: the configuration names the new version" grep -q 'Version=5050' <(ini_text "$drive/Zuva Alt/ZUVA/ZUVA.ini")
expect "update: the old installation was backed up" test -n "$(ls "$drive/Zuva Alt/ZUVA/!Backup/" 2>/dev/null)"

# ---- an update over a portable 4.50: the radios show the portable kind, and it stays portable
python3 "$make_old" 4500 "$drive/Zuva Tragbar/ZUVA" >/dev/null
drive_wizard update-portable "$setup" 'C:\Zuva Tragbar\ZUVA' "$german" light-96
expect "update: the portable copy stays portable" grep -q 'UserMode=0' <(ini_text "$drive/Zuva Tragbar/ZUVA/ZUVA.ini")

/usr/lib/wine/wineserver -k 2>/dev/null || true
echo "$failures failure(s); pictures in $pictures"
[ "$failures" -eq 0 ]

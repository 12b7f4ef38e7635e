#!/usr/bin/env bash
# End-to-end runs of the product's own steps under Wine, in a prefix of their own: a fresh silent
# installation for the machine's users (shortcuts, the integration program's command line, the
# configuration, the registry entry), its unattended removal while the player runs (the player is
# closed, the integration removed, logged files and backups deleted without following a link out
# of the folder, user content and every user's data folder kept, the uninstaller's copy cleaned
# up), and a portable copy whose uninstall data were tampered with to name files outside it.
set -uo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --wine) wine_run=$2 ;;
    --setup) setup=$2 ;;
    --ipk5) ipk5=$2 ;;
    --work) work=$2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
# The texts a shell link holds, in either encoding, one per line.
link_text() { { strings -n 4 "$1"; strings -n 4 -el "$1"; } 2>/dev/null; }
# Waits until the log holds count lines "Setup ends" (the uninstaller's copy runs on its own).
wait_for_ends() {
  for _ in $(seq 1 120); do
    [ "$(log_text "$1" | grep -c 'Setup ends with exit code')" -ge "$2" ] && return 0
    sleep 1
  done
  return 1
}

rm -rf "$work/run"
mkdir -p "$work/run"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUVA'
profiles='HKLM\Software\Microsoft\Windows NT\CurrentVersion\ProfileList'

run reg delete "$uninstall_key" /f  # also prepares the prefix
# Windows 10, as most machines run it (Wine reports Windows 7 unless told otherwise).
run winecfg -v win10
drive=$WINEPREFIX/drive_c
root=$drive/zuva-p2e
winroot='C:\zuva-p2e'
rm -rf "$root"
mkdir -p "$root/victim"
echo keep >"$root/victim/keep.txt"
echo keep >"$root/outside.txt"

# Two more accounts: alice, whose registry hive is not loaded, and a ".bak" copy of a damaged
# profile, which is no account.
mkdir -p "$drive/users/alice" "$drive/users/bob"
run reg add "$profiles\\S-1-5-21-7-7-7-1101" /v ProfileImagePath /t REG_EXPAND_SZ /d 'C:\users\alice' /f
run reg add "$profiles\\S-1-5-21-7-7-7-1102.bak" /v ProfileImagePath /t REG_EXPAND_SZ /d 'C:\users\bob' /f
user_home=$(find "$drive/users" -maxdepth 1 -mindepth 1 -type d ! -name Public ! -name alice ! -name bob | head -n 1)

# ---- fresh silent installation for the machine's users
run "$setup" "/AUTO=$winroot\\ZUVA" /SILENT "/LOG=$winroot\\install.log"
code=$?
expect "silent installation exits 0 (got $code)" test $code -eq 0
dest=$root/ZUVA
install_log=$(log_text "$root/install.log")
expect "the integration program was started, its path quoted, with the switches of an unattended run" \
  test "$(log_text "$dest/Registrar.log")" = '"C:\zuva-p2e\ZUVA\Registrar.exe" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2'
desktop_link="$drive/users/Public/Desktop/ZUVA.lnk"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/ZUVA"
expect "the desktop shortcut points to the player" grep -qF 'C:\zuva-p2e\ZUVA\ZUVA.exe' <(link_text "$desktop_link")
expect "the start-menu shortcut points to the player" grep -qF 'C:\zuva-p2e\ZUVA\ZUVA.exe' <(link_text "$menu/ZUVA.lnk")
expect "the start-menu uninstall shortcut points to the uninstaller" \
  grep -qF 'C:\zuva-p2e\ZUVA\Uninstall.exe' <(link_text "$menu/Uninstall ZUVA.lnk")
config=$(ini_text "$dest/ZUVA.ini")
expect "the configuration says installed for the machine's users" grep -qx 'UserMode=1' <<<"$config"
# reg itself now and then answers nothing under Wine right after a run; asked again, it does.
for _ in 1 2 3; do
  registry=$(timeout 120 "$wine_run" reg query "$uninstall_key" 2>/dev/null | tr -d '\r')
  [ -n "$registry" ] && break
done
expect "the registry entry holds the uninstaller" grep -qF 'C:\zuva-p2e\ZUVA\Uninstall.exe' <<<"$registry"
expect "the install log shows the closing pass" grep -q 'Closing running programs, pass 1: no window found' <<<"$install_log"
expect "the shell was told of new associations" grep -q 'file associations changed' <<<"$install_log"

# ---- an unattended run without message boxes gives up on a player window that will not close
timeout 300 "$wine_run" "$winroot\\ZUVA\\ZUVA.exe" /KEEPOPEN >/dev/null 2>&1 &
held_player=$!
sleep 3
start=$(date +%s)
run "$setup" "/AUTO=$winroot\\Held" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\held.log"
code=$?
took=$(($(date +%s) - start))
expect "a player that stays open ends the run with 1603 (status $code)" test $code -eq $((1603 % 256))
expect "after about a minute ($took s)" test $took -ge 60 -a $took -lt 120
held_log=$(log_text "$root/held.log")
expect "each pass is logged with the window class found" grep -q 'pass 2: asked to close TZUVAMainForm' <<<"$held_log"
expect "the error names the window that stayed" grep -q 'did not close within 60 seconds' <<<"$held_log"
expect "nothing was installed" test ! -e "$root/Held/ZUVA.exe"
run taskkill /F /IM ZUVA.exe
wait $held_player

# ---- what the user and the product leave before the removal
mkdir -p "$dest/!Backup" "$dest/Playlists" "$dest/Profile"
echo zip >"$dest/!Backup/ZUVA 5.00.zip"
ln -s ../../victim "$dest/!Backup/linked"
echo list >"$dest/Playlists/mine.m3u"
echo settings >"$dest/Profile/ZUVA.ini"
for home in "$user_home" "$drive/users/alice" "$drive/users/bob"; do
  mkdir -p "$home/AppData/Roaming/ZUVA"
  echo library >"$home/AppData/Roaming/ZUVA/ZUVA.zdb"
done

# ---- unattended removal while the player runs
timeout 300 "$wine_run" "$winroot\\ZUVA\\ZUVA.exe" >/dev/null 2>&1 &
player=$!
sleep 3
run "$winroot\\ZUVA\\Uninstall.exe" /AUTO /SILENT "/LOG=$winroot\\uninstall.log"
code=$?
expect "the uninstaller's bootstrap exits 0 (got $code)" test $code -eq 0
expect "the removal ends" wait_for_ends "$root/uninstall.log" 2
log=$(log_text "$root/uninstall.log")
expect "both processes end with exit code 0" test "$(grep -c 'Setup ends with exit code 0' <<<"$log")" -eq 2
expect "the running player was asked to close" grep -q 'pass 1: asked to close TZUVAMainForm' <<<"$log"
expect "the player's window closed" grep -q 'pass 2: no window found' <<<"$log"
wait $player 2>/dev/null
for entry in ZUVA.exe Registrar.exe System/zuva_menu32.dll System/zuva_menu64.dll System/Data/Formats.ini \
  System/Data/zuva_media.dat Skins/Default.zskin Readme.txt Uninstall.exe Uninstall.dat; do
  expect "the removal deleted $entry" test ! -e "$dest/$entry"
done
expect "the emptied Skins folder is gone" test ! -e "$dest/Skins"
expect "the backup archive is gone (unattended default)" test ! -e "$dest/!Backup/ZUVA 5.00.zip"
# Wine shows a Linux symbolic link as an ordinary folder, not as a link: it is refused and stays.
expect "the link inside the backups was not followed" test -f "$root/victim/keep.txt"
expect "the configuration, which the log does not list, stays" test -f "$dest/ZUVA.ini"
expect "the user's own file stays with the folder" test -f "$dest/Playlists/mine.m3u"
expect "the portable data folder stays (user content is kept)" test -f "$dest/Profile/ZUVA.ini"
for home in "$user_home" "$drive/users/alice" "$drive/users/bob"; do
  expect "the data folder of $(basename "$home") stays" test -f "$home/AppData/Roaming/ZUVA/ZUVA.zdb"
done
expect "the integration program unregistered the product" \
  grep -qxF '"C:\zuva-p2e\ZUVA\Registrar.exe" /REG=U' <(log_text "$dest/Registrar.log")
expect "the 64-bit shell-menu library was unregistered" test -e "$dest/System/zuva_menu64.DllUnregisterServer.marker"
expect "the desktop shortcut is gone" test ! -e "$desktop_link"
expect "the start-menu folder is gone" test ! -e "$menu"
expect "the registry entry is gone" bash -c '! timeout 120 "$1" reg query "$2" >/dev/null 2>&1' _ "$wine_run" "$uninstall_key"
copy_folder=$(grep -oE 'Setup starts: "[^"]*\\ZUVA-[0-9A-F]{32}\\' <<<"$log" | head -n 1 | sed 's/^Setup starts: "//')
expect "the copy ran from a private folder ($copy_folder)" test -n "$copy_folder"
expect "the copy's private folder is gone" test -z "$(find "$drive/users" -type d -name 'ZUVA-*' 2>/dev/null)"
expect "the ended copy was deleted, not left for a restart" grep -q "Deleted the uninstaller's copy" <<<"$log"

# ---- a normal installation and a portable copy: removing the portable one leaves the normal
# one's entry and shortcuts; /PORTABLE over the normal one is ignored; removing it removes them
run "$setup" "/AUTO=$winroot\\Normal" /SILENT "/LOG=$winroot\\normal.log"
expect "the normal installation exits 0" test $? -eq 0
run "$setup" "/AUTO=$winroot\\Second" /SILENT /PORTABLE "/LOG=$winroot\\second.log"
expect "the portable copy beside it exits 0" test $? -eq 0
install_path() { timeout 120 "$wine_run" reg query "$uninstall_key" /v InstallPath 2>/dev/null | tr -d '\r' | grep -o 'C:.*'; }
expect "the entry names the normal installation" test "$(install_path)" = 'C:\zuva-p2e\Normal\'
expect "its desktop shortcut points to it" grep -qF 'C:\zuva-p2e\Normal\ZUVA.exe' <(link_text "$desktop_link")
run "$winroot\\Second\\Uninstall.exe" /AUTO /SILENT "/LOG=$winroot\\second-removal.log"
expect "the portable copy's removal ends" wait_for_ends "$root/second-removal.log" 2
log=$(log_text "$root/second-removal.log")
expect "the portable copy is gone" test ! -e "$root/Second/ZUVA.exe"
expect "the normal installation's entry stays, naming it" test "$(install_path)" = 'C:\zuva-p2e\Normal\'
expect "its desktop shortcut stays" grep -qF 'C:\zuva-p2e\Normal\ZUVA.exe' <(link_text "$desktop_link")
expect "its start-menu shortcut stays" grep -qF 'C:\zuva-p2e\Normal\ZUVA.exe' <(link_text "$menu/ZUVA.lnk")
expect "the log says why the shortcut was left alone" grep -q 'Shortcut ".*ZUVA.lnk" left alone: it points to "C:\\zuva-p2e\\Normal\\ZUVA.exe"' <<<"$log"
expect "the portable copy ran no integration program" grep -q 'is portable: it registered nothing' <<<"$log"

mkdir -p "$user_home/AppData/Roaming/ZUVA"
echo library >"$user_home/AppData/Roaming/ZUVA/ZUVA.zdb"
run "$setup" "/AUTO=$winroot\\Normal" /PORTABLE /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\portable-over-normal.log"
expect "/PORTABLE over the normal installation exits 0" test $? -eq 0
expect "the log names /PORTABLE as ignored" grep -q 'Switch /PORTABLE ignored' <(log_text "$root/portable-over-normal.log")
expect "the configuration still says a normal installation" grep -qx 'UserMode=1' <(ini_text "$root/Normal/ZUVA.ini")
expect "the entry stays registered" test "$(install_path)" = 'C:\zuva-p2e\Normal\'
expect "the user's data folder is still in use" test -f "$user_home/AppData/Roaming/ZUVA/ZUVA.zdb"

run "$winroot\\Normal\\Uninstall.exe" /AUTO /SILENT "/LOG=$winroot\\normal-removal.log"
expect "the normal installation's removal ends" wait_for_ends "$root/normal-removal.log" 2
expect "its entry is gone" test -z "$(install_path)"
expect "its desktop shortcut is gone" test ! -e "$desktop_link"
expect "its start-menu folder is gone" test ! -e "$menu"
rm -rf "$user_home/AppData/Roaming/ZUVA"

# ---- a refused folder is named in the user's language, also before any window
LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 run "$setup" '/AUTO=C:\' /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\refused.log"
expect "the refusal of C:\\ is logged in German" grep -q 'Das Setup kann nicht nach "C:\\" installieren' <(log_text "$root/refused.log")

# ---- a portable copy whose uninstall data name files outside it
run "$setup" "/AUTO=$winroot\\Portable" /SILENT /PORTABLE "/LOG=$winroot\\portable.log"
code=$?
expect "portable installation exits 0 (got $code)" test $code -eq 0
portable=$root/Portable
expect "a portable copy runs no integration program" test ! -e "$portable/Registrar.log"
mkdir -p "$work/run/tampered"
printf '\xEF\xBB\xBF[Uninstall]\r\nCount=7\r\n0=ZUVA.exe\r\n1=..\\outside.txt\r\n2=C:\\zuva-p2e\\outside.txt\r\n3=System\\..\\..\\victim\\keep.txt\r\n4=..\\victim\r\n5=C:/zuva-p2e/victim/keep.txt\r\n6=Uninstall.exe\r\n' \
  >"$work/run/tampered/Uninstall.ini"
"$ipk5" pack -o "$portable/Uninstall.dat" -C "$work/run/tampered" Uninstall.ini >/dev/null
run "$winroot\\Portable\\Uninstall.exe" /AUTO /SILENT "/LOG=$winroot\\tampered.log"
expect "the tampered removal ends" wait_for_ends "$root/tampered.log" 2
log=$(log_text "$root/tampered.log")
expect "the tampered removal ends with exit code 0" test "$(grep -c 'Setup ends with exit code 0' <<<"$log")" -eq 2
expect "a file outside the folder named relatively stays" test -f "$root/outside.txt"
expect "a folder outside climbed to with .. stays" test -f "$root/victim/keep.txt"
expect "each outside entry is logged as skipped" test "$(grep -c 'lies outside the installation folder' <<<"$log")" -eq 5
expect "the entries inside were deleted" test ! -e "$portable/ZUVA.exe" -a ! -e "$portable/Uninstall.exe"

run reg delete "$profiles\\S-1-5-21-7-7-7-1101" /f
run reg delete "$profiles\\S-1-5-21-7-7-7-1102.bak" /f
cp "$root"/*.log "$work/run/" 2>/dev/null
rm -rf "$root" "$drive/users/alice" "$drive/users/bob"
echo "$failures failure(s)"
[ $failures -eq 0 ]

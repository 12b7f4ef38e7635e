#!/usr/bin/env bash
# End-to-end runs of updates under Wine, each from an installation of an older version that
# sample-product/make-old-installation.py lays out: 3.90 of the older generation for two users
# (one of them not logged on, a ".bak" profile beside), 4.50 portable and 5.02; what each update
# keeps, moves, renames and deletes; the backup archive read back by Python's zipfile; pruning to
# three archives; the update band; where the setup looks for an installed copy; the 2 GiB limit;
# and an update that fails after the old files were deleted, which must leave everything as it was.
set -uo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --wine) wine_run=$2 ;;
    --setup) setup=$2 ;;
    --product) product=$2 ;;
    --player) player=$2 ;;
    --holder) holder=$2 ;;
    --menu-library) menu_library=$2 ;;
    --make-link) make_link=$2 ;;
    --old) make_old=$2 ;;
    --work) work=$2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
# A key with everything below it; empty when there is none (reg prints its complaint on stdout).
reg_text() { timeout 120 "$wine_run" reg query "$1" /s 2>/dev/null | tr -d '\r' | grep -v '^reg: '; }
uninstall_root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
profile_list='HKLM\Software\Microsoft\Windows NT\CurrentVersion\ProfileList'

rm -rf "$work"
mkdir -p "$work"
run cmd /c exit
drive=$WINEPREFIX/drive_c
root=$drive/zu
winroot='C:\zu'
rm -rf "$root"
mkdir -p "$root"
for key in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$key" /f; done
appdata_of() { echo "$drive/users/$1/AppData/Roaming"; }
# Wine names the Windows user after the Unix one.
me=$(whoami)
# Each scenario starts without data folders of earlier ones.
clear_data() { rm -rf "$(appdata_of "$me")"/ZUVA* "$(appdata_of alice)"/ZUVA* "$(appdata_of ghost)"/ZUVA*; }

# A second user who is not logged on (the default user's shell folders apply) and a ".bak" copy
# of a damaged profile that must be ignored.
mkdir -p "$drive/users/alice/AppData/Roaming" "$drive/users/ghost/AppData/Roaming"
run reg add "$profile_list\\S-1-5-21-0-0-0-1001" /v ProfileImagePath /t REG_EXPAND_SZ /d 'C:\users\alice' /f
run reg add "$profile_list\\S-1-5-21-0-0-0-1002.bak" /v ProfileImagePath /t REG_SZ /d 'C:\users\ghost' /f

# The backup archive as Python's zipfile reads it: one line per entry with the UTF-8 flag, the
# method, the DOS time and the size; "bad" when a CRC fails.
zip_listing() {
  python3 - "$1" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    bad = z.testzip()
    for i in z.infolist():
        print("%s|utf8=%d|method=%d|time=%04d-%02d-%02d %02d:%02d:%02d|size=%d" %
              ((i.filename, i.flag_bits >> 11 & 1, i.compress_type) + i.date_time + (i.file_size,)))
    if bad: print("bad " + bad)
PY
}
only_archive() { ls "$1"/\!Backup/*.zip 2>/dev/null | head -n 1; }

clear_data
# ---- fresh silent installation: the configuration file, and no backup of nothing; the data
# folder of an older generation's copy installed elsewhere is not the fresh installation's
mkdir -p "$root/fresh/ZUVA" "$(appdata_of "$me")/ZUVA3"
echo "another copy's library" >"$(appdata_of "$me")/ZUVA3/ZUVA3.zdb"
run "$setup" "/AUTO=$winroot\\fresh\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\fresh\\ZUVA\\install.log"
code=$?
expect "fresh install exits 0 (got $code)" test $code -eq 0
config=$(ini_text "$root/fresh/ZUVA/ZUVA.ini")
expect "ZUVA.ini: a machine installation, English, version 5050" \
  test "$(grep -x -e 'UserMode=1' -e 'DefaultLang=English.lng' -e 'Version=5050' <<<"$config" | wc -l)" -eq 3
expect "fresh install made no backup folder" test ! -e "$root/fresh/ZUVA/!Backup"
expect "fresh install left the ZUVA3 data folder of another copy alone" test -f "$(appdata_of "$me")/ZUVA3/ZUVA3.zdb"
expect "the run's log in the installation folder is kept" grep -q 'Setup ends with exit code 0' <(log_text "$root/fresh/ZUVA/install.log")
run reg delete "$uninstall_root\\ZUVA" /f

# ---- a fresh installation that fails at its last step (ZUVA.ini cannot be written, a folder has
# that name) leaves nothing behind: no files, no folders, no uninstall entry
mkdir -p "$root/freshfail/ZUVA/ZUVA.ini"
run "$setup" "/AUTO=$winroot\\freshfail\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\freshfail.log"
code=$?
expect "the failing fresh install exits 1603 (status $code)" test $code -eq $failed_status
expect "the files of the failed fresh install were written first" grep -q 'Written "C:\\zu\\freshfail\\ZUVA\\ZUVA.exe"' <(log_text "$root/freshfail.log")
expect "nothing is left but what was there" test "$(cd "$root/freshfail" && find . | sort | tr '\n' ' ')" = ". ./ZUVA ./ZUVA/ZUVA.ini "
expect "the failed fresh install left no uninstall entry" test -z "$(reg_text "$uninstall_root\\ZUVA")"
expect "the log says the installation's files were removed" grep -q 'The files of this installation were removed' <(log_text "$root/freshfail.log")

clear_data
# ---- update from 3.90 of the older generation, two users
d3=$root/g3/ZUVA
python3 "$make_old" 3900 "$d3" --user "$me=$(appdata_of "$me")" --user "alice=$(appdata_of alice)" >"$work/g3.files"
# Known times, to be found again in the archive.
find "$d3" "$(appdata_of "$me")/ZUVA3" "$(appdata_of alice)/ZUVA3" -type f -exec touch -d '2024-03-09 17:05:42' {} +
old_menu=$(cat "$(appdata_of alice)/ZUVA3/ZUVA3_menu.ini")
run reg add "$uninstall_root\\ZUVA3" /v InstallPath /d 'C:\zu\g3\ZUVA\' /f
run "$setup" "/AUTO=$winroot\\g3\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\g3.log"
code=$?
expect "update from 3.90 exits 0 (got $code)" test $code -eq 0
expect "3.90 is updated in place" grep -q 'options Auto,Update,Silent' <(log_text "$root/g3.log")
for user in "$me" alice; do
  new=$(appdata_of "$user")/ZUVA
  expect "$user: data folder moved from ZUVA3 to ZUVA" test -d "$new" -a ! -e "$(appdata_of "$user")/ZUVA3"
  for name in ZUVA.zdb ZUVA_menu.ini ZUVA.ini ZUVATagEditor.ini ZUVAConverter.ini zuva_custom_covers.db Playlists/Favourites.zpl; do
    expect "$user: $name present after the update" test -f "$new/$name"
  done
  for name in ZUVA3_skin.layout ZUVA3.ini.bak ZUVA3_menu.ini.bak ZUVA3.zdb.bak zuva_albumart.db zuva_albumart_cache.db ZUVA3.zdb; do
    expect "$user: $name gone" test ! -e "$new/$name"
  done
done
expect "the renamed menu settings keep their content" test "$(cat "$(appdata_of alice)/ZUVA/ZUVA_menu.ini")" = "$old_menu"
expect "the ignored .bak profile got no data folder" test ! -e "$(appdata_of ghost)/ZUVA"
expect "ZUVA3.ini gone from the installation" test ! -e "$d3/ZUVA3.ini"
config=$(ini_text "$d3/ZUVA.ini")
expect "ZUVA.ini carries the old integration choices and the new version" \
  bash -c 'grep -qx CB1=1 <<<"$1" && grep -qx Version=5050 <<<"$1" && ! grep -q Skin= <<<"$1"' _ "$config"
expect "obsolete plug-ins, the old skin, the cache and the updater are gone" \
  test -z "$(cd "$d3" && find Plugins -type f 2>/dev/null; ls Skins/Classic.zskin zuva_waveform.cache ZUVAUpdater.exe 2>/dev/null)"
expect "the new program is installed" cmp -s "$product/ZUVA.exe" "$d3/ZUVA.exe"
expect "3.90: the update made the new desktop and start-menu shortcuts" \
  test -f "$drive/users/Public/Desktop/ZUVA.lnk" -a -f "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/ZUVA/ZUVA.lnk"
expect "3.90: the update called the integration program" grep -q '/REG=L1' "$d3/Registrar.log"
rm -rf "$drive/users/Public/Desktop/ZUVA.lnk" "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/ZUVA"
registry=$(reg_text "$uninstall_root")
expect "the ZUVA3 entry of this folder is removed, ZUVA written" \
  bash -c '! grep -q "Uninstall\\\\ZUVA3$" <<<"$1" && grep -q "Uninstall\\\\ZUVA$" <<<"$1"' _ "$registry"
archive=$(only_archive "$d3")
expect "the archive is named after the version and time" grep -qE 'z Before install 5\.05 \[[0-9]{4}\.[0-9]{2}\.[0-9]{2} [0-9]{2}-[0-9]{2}-[0-9]{2}\]\.zip$' <<<"$archive"
listing=$(zip_listing "$archive")
expect "zipfile reads every entry back with its CRC" bash -c '! grep -q "^bad" <<<"$1" && test -n "$1"' _ "$listing"
expect "every entry: UTF-8 flag, Deflate, the file's time" \
  test "$(grep -c '|utf8=1|method=8|time=2024-03-09 17:05:42|' <<<"$listing")" -eq "$(wc -l <<<"$listing")"
expect "entry names use / and the Program\\ and Profiles\\<user>\\ prefixes" \
  bash -c 'grep -q "^Program/System/zuva_menu32.dll|" <<<"$1" && grep -q "^Profiles/alice/Playlists/Favourites.zpl|" <<<"$1" && grep -q "^Profiles/$2/ZUVA3.zdb|" <<<"$1" && ! grep -q "\\\\" <<<"$1"' _ "$listing" "$me"
expect "the cache and the updater are not archived" bash -c '! grep -qE "zuva_waveform.cache|ZUVAUpdater.exe" <<<"$1"' _ "$listing"
expect "the archive holds all other files of the installation and the users" \
  test "$(wc -l <<<"$listing")" -eq $(($(wc -l <"$work/g3.files") - 2))
run reg delete "$uninstall_root\\ZUVA" /f

clear_data
# ---- update from 4.50 portable
d45=$root/p45/ZUVA
python3 "$make_old" 4500 "$d45" >/dev/null
# The run's own log lies in the installation folder: neither archived nor deleted.
run "$setup" "/AUTO=$winroot\\p45\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\p45\\ZUVA\\update.log"
code=$?
cp "$d45/update.log" "$root/p45.log" 2>/dev/null
expect "update from 4.50 portable exits 0 (got $code)" test $code -eq 0
expect "the update ran as a portable one" grep -q 'options Auto,Portable,Update,Silent' <(log_text "$root/p45.log")
for name in Profile/ZUVA.ini Profile/zuva_custom_covers.db "Profile/Playlists/Road trip.zpl" \
  Plugins/zuva_visualizer_user/visualizer.dll Icons/mine.ico Skins/Sunset.zskin System/Encoders/flac.ini; do
  expect "portable: $name kept" test -f "$d45/$name"
done
for name in Profile/zuva_albumart_cache.db Profile/zuva_albumart_user.db Plugins/zuva_scheduler Plugins/zuva_lyrics_old \
  Plugins/zuva_telemetry; do
  expect "portable: $name gone" test ! -e "$d45/$name/" -a ! -f "$d45/$name"
done
expect "portable: ZUVA.ini says UserMode=0" grep -qx 'UserMode=0' <(ini_text "$d45/ZUVA.ini")
listing=$(zip_listing "$(only_archive "$d45")")
expect "portable archive names are relative to the folder" \
  bash -c 'grep -q "^Profile/Playlists/Road trip.zpl|" <<<"$1" && grep -q "^ZUVA.exe|" <<<"$1" && ! grep -q "^Program/" <<<"$1"' _ "$listing"
expect "portable: the run's log is not in the archive" bash -c '! grep -q "update.log" <<<"$1"' _ "$listing"
expect "portable: the run's log is complete" grep -q 'Setup ends with exit code 0' <(log_text "$d45/update.log")
expect "portable: no uninstall entry" test -z "$(reg_text "$uninstall_root\\ZUVA")"

clear_data
# ---- update from 5.02, with five archives present before
d50=$root/m50/ZUVA
python3 "$make_old" 5020 "$d50" --user "$me=$(appdata_of "$me")" >/dev/null
data_before=$(fingerprint "$(appdata_of "$me")/ZUVA")
mkdir -p "$d50/!Backup"
for day in 01 02 03 04 05; do cp "$(only_archive "$d3")" "$d50/!Backup/z Before install 5.00 [2020.01.$day 10-00-00].zip"; done
run reg add "$uninstall_root\\ZUVA" /v InstallPath /d 'C:\zu\m50\ZUVA\' /f
run "$setup" "/AUTO=$winroot\\m50\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\m50.log"
code=$?
expect "update from 5.02 exits 0 (got $code)" test $code -eq 0
data=$(appdata_of "$me")/ZUVA
expect "5.02: the data folder stays as it was (the album-art steps are for versions below 5.02)" \
  test "$(fingerprint "$data")" = "$data_before"
expect "5.02: zuva_lyrics_old goes (below 5.03), the scheduler was never there" test ! -e "$d50/Plugins/zuva_lyrics_old/zuva_lyrics_old.dll"
archives=$(cd "$d50/!Backup" && ls)
expect "three archives are kept: the two newest old ones and the new one" \
  bash -c 'test "$(wc -l <<<"$1")" -eq 3 && grep -q "2020.01.04" <<<"$1" && grep -q "2020.01.05" <<<"$1" && grep -q "5.05" <<<"$1"' _ "$archives"

clear_data
# ---- the update band: 3.50 and 5.09 may be updated, 3.49 and 5.10 may not
for case in 3499:no 3500:yes 5099:yes 5100:no; do
  clear_data
  version=${case%:*}
  band=$root/band$version
  mkdir -p "$band"
  printf '[System]\r\nUserMode=1\r\nVersion=%s\r\n' "$version" >"$band/ZUVA.ini"
  run "$setup" "/AUTO=$winroot\\band$version" /UPDATE /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\band$version.log"
  code=$?
  if [ "${case#*:}" = yes ]; then
    expect "installed version $version is updated (got $code)" test $code -eq 0
  else
    expect "installed version $version is refused (status $code)" test $code -eq $failed_status
    expect "the refusal names v${version:0:1}.${version:1:2}" grep -q "Cannot install update on v${version:0:1}.${version:1:2}" <(log_text "$root/band$version.log")
  fi
done
run reg delete "$uninstall_root\\ZUVA" /f

# ---- an installation over a copy outside the update band replaces its files and keeps every
# user's data folder as it was
clear_data
dnew=$root/newer/ZUVA
mkdir -p "$dnew" "$(appdata_of "$me")/ZUVA/Playlists"
printf '[System]\r\nUserMode=1\r\nVersion=5100\r\n' >"$dnew/ZUVA.ini"
echo "the library of 5.10" >"$(appdata_of "$me")/ZUVA/ZUVA.zdb"
echo "a playlist" >"$(appdata_of "$me")/ZUVA/Playlists/Mine.zpl"
data_before=$(fingerprint "$(appdata_of "$me")/ZUVA")
run "$setup" "/AUTO=$winroot\\newer\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\newer.log"
code=$?
expect "over 5.10 without an update: exits 0 (got $code)" test $code -eq 0
expect "over 5.10: the data folder is byte for byte as before" test "$(fingerprint "$(appdata_of "$me")/ZUVA")" = "$data_before"
expect "over 5.10: it was archived all the same" \
  python3 -c 'import sys, zipfile; sys.exit(0 if any(n.endswith("Playlists/Mine.zpl") for n in zipfile.ZipFile(sys.argv[1]).namelist()) else 1)' "$(only_archive "$dnew")"
run reg delete "$uninstall_root\\ZUVA" /f

# ---- where /AUTO without a folder installs: the ZUVA entry, else ZUVA3, else a running copy
mkdir -p "$root/found-zuva3" "$root/running"
run reg add "$uninstall_root\\ZUVA" /v InstallPath /d 'C:\zu\deleted-folder\' /f
run reg add "$uninstall_root\\ZUVA3" /v InstallPath /d 'C:\zu\found-zuva3\' /f
run "$setup" /AUTO /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\find1.log"
expect "a ZUVA entry of a deleted folder gives way to the ZUVA3 entry" test -f "$root/found-zuva3/ZUVA.exe"
run reg add "$uninstall_root\\ZUVA" /v InstallPath /d 'C:\zu\found-zuva3\' /f
rm -rf "$root/found-zuva3"/*
mkdir -p "$root/found-zuva"
run reg add "$uninstall_root\\ZUVA" /v InstallPath /d 'C:\zu\found-zuva\' /f
run "$setup" /AUTO /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\find2.log"
expect "the ZUVA entry comes first" test -f "$root/found-zuva/ZUVA.exe" -a ! -e "$root/found-zuva3/ZUVA.exe"
for key in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$key" /f; done
# Only a running copy where administrators put programs counts.
running=$drive/Program\ Files/ZUVA\ running
mkdir -p "$running"
cp "$player" "$running/ZUVA.exe"
timeout 120 "$wine_run" 'C:\Program Files\ZUVA running\ZUVA.exe' >/dev/null 2>&1 &
player_pid=$!
sleep 4
run "$setup" /AUTO /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\find3.log"
expect "without entries, the folder of a running main window in the program files is used" test -f "$running/Registrar.exe"
kill "$player_pid" 2>/dev/null
wait "$player_pid" 2>/dev/null
rm -rf "$running"
for key in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$key" /f; done
# A copy any user can start from a folder of their own, with a shell-menu library beside it: the
# setup installs into its default folder and never loads that library (its removal would delete
# the value it registered).
planted=$(appdata_of "$me")/Planted
mkdir -p "$planted/System"
cp "$player" "$planted/ZUVA.exe"
cp "$menu_library" "$planted/System/zuva_menu64.dll"
run reg add 'HKCU\Software\ZUVA Test' /v zuva_menu64.dll /d planted /f
planted_before=$(fingerprint "$planted")
timeout 120 "$wine_run" "C:\\users\\$me\\AppData\\Roaming\\Planted\\ZUVA.exe" >/dev/null 2>&1 &
player_pid=$!
sleep 4
run "$setup" /AUTO /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\find4.log"
kill "$player_pid" 2>/dev/null
wait "$player_pid" 2>/dev/null
expect "a copy running from a user's folder is ignored: the default folder is used" \
  test -f "$drive/Program Files/ZUVA/ZUVA.exe" -a ! -e "$planted/Registrar.exe"
expect "the user's folder is as it was" test "$(fingerprint "$planted")" = "$planted_before"
expect "the library beside it was never loaded" grep -q planted <(reg_text 'HKCU\Software\ZUVA Test')
expect "the log says why the running copy was ignored" grep -q 'lies outside the program-files folders' <(log_text "$root/find4.log")
rm -rf "$planted" "$drive/Program Files/ZUVA"
run reg delete 'HKCU\Software\ZUVA Test' /v zuva_menu64.dll /f
for key in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$key" /f; done

clear_data
# ---- the 2 GiB limit: refused before anything is written or deleted
dbig=$root/big/ZUVA
python3 "$make_old" 5020 "$dbig" >/dev/null
truncate -s 2G "$dbig/huge.dat"
before=$(fingerprint "$dbig")
run "$setup" "/AUTO=$winroot\\big\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\big.log"
code=$?
expect "2 GiB of files to back up: exit 1603 (status $code)" test $code -eq $failed_status
expect "the log says there are too many files to back up" grep -q 'There are too many files to back up' <(log_text "$root/big.log")
expect "no backup folder was made" test ! -e "$dbig/!Backup"
expect "nothing of the installation changed" test "$(fingerprint "$dbig")" = "$before"
rm -rf "$root/big"

clear_data
# ---- an update that fails after the old files were deleted: everything comes back
dfail=$root/fail/ZUVA
python3 "$make_old" 5020 "$dfail" --user "$me=$(appdata_of "$me")" >/dev/null
# Four older archives, of which the update prunes two: a failed update keeps them all.
mkdir -p "$dfail/!Backup"
for day in 01 02 03 04; do cp "$(only_archive "$d3")" "$dfail/!Backup/z Before install 5.00 [2020.02.$day 10-00-00].zip"; done
run reg add "$uninstall_root\\ZUVA" /v InstallPath /d 'C:\zu\fail\ZUVA\' /f
run reg add "$uninstall_root\\ZUVA" /v DisplayVersion /d '5.02' /f
run attrib +r 'C:\zu\fail\ZUVA\Readme.txt'
registry_before=$(reg_text "$uninstall_root\\ZUVA")
before=$(fingerprint "$dfail")
data_before=$(fingerprint "$(appdata_of "$me")/ZUVA")
hold 'C:\zu\fail\ZUVA\System\Data\Formats.ini' 'C:\zu\held' 'C:\zu\release'
expect "another program holds Formats.ini open" test -e "$root/held"
run "$setup" "/AUTO=$winroot\\fail\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\fail.log"
code=$?
release
log=$(log_text "$root/fail.log")
expect "the failed update exits 1603 (status $code)" test $code -eq $failed_status
expect "the old files had been deleted before the failure" grep -q 'Deleted "C:\\zu\\fail\\ZUVA\\ZUVA.exe"' <<<"$log"
expect "the log says the previous installation was restored" grep -q 'The previous installation was restored from the backup' <<<"$log"
expect "the installation folder is byte for byte as before" test "$(fingerprint "$dfail")" = "$before"
expect "the user's data folder is byte for byte as before" test "$(fingerprint "$(appdata_of "$me")/ZUVA")" = "$data_before"
expect "attributes come back (Readme.txt read-only)" grep -q 'R.*Readme.txt' <(timeout 60 "$wine_run" cmd /c attrib 'C:\zu\fail\ZUVA\Readme.txt' 2>/dev/null)
expect "the uninstall entry is as before" test "$(reg_text "$uninstall_root\\ZUVA")" = "$registry_before"
expect "the pruned archives are back, the new one kept" \
  test "$(ls "$dfail/!Backup" | grep -c '^z Before install 5.00 \[2020.02')" -eq 4 -a "$(ls "$dfail/!Backup" | wc -l)" -eq 5
if [ "$(fingerprint "$dfail")" != "$before" ]; then diff <(echo "$before") <(fingerprint "$dfail") | head -20; fi

# The same without a backup: nothing to put back, and the error says so.
hold 'C:\zu\fail\ZUVA\System\Data\Formats.ini' 'C:\zu\held' 'C:\zu\release'
run "$setup" "/AUTO=$winroot\\fail\\ZUVA" /SILENT /SUPPRESSMSGBOXES /NOBACKUP "/LOG=$winroot\\nobackup.log"
code=$?
release
expect "the failed update without backup exits 1603 (status $code)" test $code -eq $failed_status
expect "its error says the previous installation could not be restored" \
  grep -q 'Error: .*The previous installation could not be restored: no backup of it was made' <(log_text "$root/nobackup.log")

# ---- a failed update from 3.90 for two users: the new data folders go, the old ones, the
# renamed files and the ZUVA3 entry come back
clear_data
for key in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$key" /f; done
dg=$root/g3fail/ZUVA
python3 "$make_old" 3900 "$dg" --user "$me=$(appdata_of "$me")" --user "alice=$(appdata_of alice)" >/dev/null
run reg add "$uninstall_root\\ZUVA3" /v InstallPath /d 'C:\zu\g3fail\ZUVA\' /f
# A shell-menu library that registers itself, and the old generation's links on the common
# desktop and in the common start menu: the pre-install tasks remove them, the rollback must not.
cp "$menu_library" "$dg/System/zuva_menu32.dll"
menu_value='HKCU\Software\ZUVA Test'
run reg add "$menu_value" /v zuva_menu32.dll /d 'C:\zu\g3fail\ZUVA\System\zuva_menu32.dll' /f
common_desktop=$drive/users/Public/Desktop
common_menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs"
mkdir -p "$common_desktop" "$common_menu/ZUVA3"
menu_win='C:\ProgramData\Microsoft\Windows\Start Menu\Programs'
run "$make_link" 'C:\users\Public\Desktop\ZUVA3.lnk' 'C:\zu\g3fail\ZUVA\ZUVA.exe'
run "$make_link" "$menu_win\\ZUVA3\\ZUVA3.lnk" 'C:\zu\g3fail\ZUVA\ZUVA.exe'
run "$make_link" "$menu_win\\ZUVA3\\Readme.lnk" 'C:\zu\g3fail\ZUVA\Readme.txt'
# A link of the user's own in the product's folder points elsewhere: it is no link of this copy.
run "$make_link" "$menu_win\\ZUVA3\\Mine.lnk" 'C:\windows\notepad.exe'
links_before=$(cat "$common_desktop/ZUVA3.lnk" "$common_menu/ZUVA3/ZUVA3.lnk" "$common_menu/ZUVA3/Readme.lnk")
expect "3.90: the old links were made" test -n "$links_before" -a -f "$common_menu/ZUVA3/Mine.lnk"
registry_before=$(reg_text "$uninstall_root")
before=$(fingerprint "$dg")
mine_before=$(fingerprint "$(appdata_of "$me")/ZUVA3")
alice_before=$(fingerprint "$(appdata_of alice)/ZUVA3")
hold 'C:\zu\g3fail\ZUVA\System\Data\Formats.ini' 'C:\zu\held' 'C:\zu\release'
run "$setup" "/AUTO=$winroot\\g3fail\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\g3fail.log"
code=$?
release
expect "the failed update from 3.90 exits 1603 (status $code)" test $code -eq $failed_status
expect "the old data folders had been moved before the failure" grep -q 'Copied "C:\\users\\alice\\AppData\\Roaming\\ZUVA3' <(log_text "$root/g3fail.log")
expect "3.90: the installation folder is as before" test "$(fingerprint "$dg")" = "$before"
expect "3.90: $me's old data folder is as before" test "$(fingerprint "$(appdata_of "$me")/ZUVA3")" = "$mine_before"
expect "3.90: alice's old data folder is as before" test "$(fingerprint "$(appdata_of alice)/ZUVA3")" = "$alice_before"
expect "3.90: no new data folder is left" test ! -e "$(appdata_of "$me")/ZUVA" -a ! -e "$(appdata_of alice)/ZUVA"
expect "3.90: the uninstall entries are as before (ZUVA3 back, no ZUVA)" test "$(reg_text "$uninstall_root")" = "$registry_before"
g3log=$(log_text "$root/g3fail.log")
expect "3.90: the pre-install tasks unregistered the shell-menu library" grep -q 'Called DllUnregisterServer of "C:\\zu\\g3fail\\ZUVA\\System\\zuva_menu32.dll"' <<<"$g3log"
expect "3.90: the rollback registered it again" grep -q 'Called DllRegisterServer of "C:\\zu\\g3fail\\ZUVA\\System\\zuva_menu32.dll"' <<<"$g3log"
expect "3.90: the library's registration is back" grep -q 'zuva_menu32.dll' <(reg_text "$menu_value")
expect "3.90: the desktop and start-menu links are back as they were" \
  test "$(cat "$common_desktop/ZUVA3.lnk" "$common_menu/ZUVA3/ZUVA3.lnk" "$common_menu/ZUVA3/Readme.lnk" 2>/dev/null)" = "$links_before"
expect "3.90: the links had been taken away during the run" grep -q 'Deleted "C:\\users\\Public\\Desktop\\ZUVA3.lnk" (held' <<<"$g3log"
expect "3.90: the user's own link in that folder was left alone" grep -q 'Shortcut ".*Mine.lnk" left alone' <<<"$g3log"
expect "3.90: they were held in a private folder of the system's temporary folder" \
  grep -qi 'ZUVA3.lnk" (held in "C:\\windows\\temp\\ZUVA-' <<<"$g3log"
pending=$(timeout 120 "$wine_run" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
expect "3.90: the links put back are no longer to be deleted at the next restart" \
  bash -c '! grep -qi "_ZUVA3.lnk" <<<"$1"' _ "$pending"
rm -rf "$common_desktop/ZUVA3.lnk" "$common_menu/ZUVA3"
run reg delete "$menu_value" /f

# ---- /AUTO /UPDATE /SUPPRESSMSGBOXES with the wizard shown over a file another program holds:
# nobody can answer the locked-file question, so the run ends, rolled back, well within 90 s
clear_data
for key in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$key" /f; done
dh=$root/held5/ZUVA
python3 "$make_old" 5020 "$dh" --user "$me=$(appdata_of "$me")" >/dev/null
run reg add "$uninstall_root\\ZUVA" /v InstallPath /d 'C:\zu\held5\ZUVA\' /f
before=$(fingerprint "$dh")
data_before=$(fingerprint "$(appdata_of "$me")/ZUVA")
hold 'C:\zu\held5\ZUVA\ZUVA.exe' 'C:\zu\held' 'C:\zu\release'
started=$(date +%s)
timeout 90 "$wine_run" "$setup" "/AUTO=$winroot\\held5\\ZUVA" /UPDATE /SUPPRESSMSGBOXES "/LOG=$winroot\\held5.log" >/dev/null 2>&1 </dev/null
code=$?
elapsed=$(($(date +%s) - started))
release
expect "the held ZUVA.exe ends the wizard run with 1603 (status $code, $elapsed s)" test $code -eq $failed_status
expect "the log says nobody could be asked" grep -q 'nobody can be asked (message boxes are suppressed), abort' <(log_text "$root/held5.log")
expect "held: the installation folder is byte for byte as before" test "$(fingerprint "$dh")" = "$before"
expect "held: the user's data folder is byte for byte as before" test "$(fingerprint "$(appdata_of "$me")/ZUVA")" = "$data_before"
expect "held: no journal is left" test ! -e "$dh/!Backup/Setup.journal"

# ---- the same run killed while its locked-file question waits (old files deleted): the next
# run rolls it back from the journal it left, then updates the restored 5.02
hold 'C:\zu\held5\ZUVA\ZUVA.exe' 'C:\zu\held' 'C:\zu\release'
rm -f "$root/killed.log"
timeout 200 "$wine_run" "$setup" "/AUTO=$winroot\\held5\\ZUVA" /UPDATE "/LOG=$winroot\\killed.log" >/dev/null 2>&1 </dev/null &
setup_pid=$!
for _ in $(seq 1 120); do [ -e "$root/killed.log" ] && grep -q 'Cannot rename' <(log_text "$root/killed.log") && break; sleep 0.5; done
sleep 2
run taskkill /F /IM "$(basename "$setup")"
wait "$setup_pid" 2>/dev/null
release
expect "killed: the run had deleted old files" grep -q 'Deleted "C:\\zu\\held5\\ZUVA\\Readme.txt"' <(log_text "$root/killed.log")
expect "killed: the run left its journal" test -f "$dh/!Backup/Setup.journal"
expect "killed: the installation is half done" test ! -e "$dh/Readme.txt" -o "$(fingerprint "$dh")" != "$before"
run "$setup" "/AUTO=$winroot\\held5\\ZUVA" /UPDATE /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\recovered.log"
code=$?
recovered=$(log_text "$root/recovered.log")
expect "recovered: the next /UPDATE exits 0 (got $code)" test $code -eq 0
expect "recovered: it rolled the killed run back first" grep -q 'did not end: rolling it back from its journal' <<<"$recovered"
expect "recovered: from the killed run's backup" grep -q 'Recovery: The previous installation was restored from the backup' <<<"$recovered"
expect "recovered: the update found 5.02 again" grep -q 'Version=5050' <(ini_text "$dh/ZUVA.ini")
expect "recovered: no journal is left" test ! -e "$dh/!Backup/Setup.journal"
newest=$(ls -t "$dh"/\!Backup/*.zip | head -n 1)
expect "recovered: its own backup holds the restored 5.02 files" \
  python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); sys.exit(0 if any(n.replace("\\", "/").endswith("Program/Readme.txt") and b"5020" in z.read(n) for n in z.namelist()) else 1)' "$newest"
expect "recovered: the user's data folder is kept" test -n "$(ls "$(appdata_of "$me")/ZUVA" 2>/dev/null)"

clear_data
for key in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$key" /f; done
# ---- a user's data folders that are links (which a standard user makes with mklink /J): the
# folders they lead to are neither archived, nor moved into, nor deleted, in a 3.90 update whose
# ZUVA3 and ZUVA are links to two folders elsewhere, and in a 5.02 update whose ZUVA is one
outside=$root/outside
rm -rf "$outside"
mkdir -p "$outside/old/Playlists" "$outside/new"
echo "not the player's" >"$outside/old/ZUVA3.zdb"
echo "a playlist elsewhere" >"$outside/old/Playlists/Other.zpl"
echo "a third folder" >"$outside/new/keep.txt"
outside_before=$(fingerprint "$outside")
# An update whose user's data folders are links: label, generation, folder below the root, the
# uninstall entry that names it, then data folder names and where each link leads.
linked_update() {
  local label=$1 generation=$2 name=$3 key=$4
  shift 4
  clear_data
  for old in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$old" /f; done
  local dest=$root/$name/ZUVA
  python3 "$make_old" "$generation" "$dest" >/dev/null
  while [ $# -gt 0 ]; do ln -s "$2" "$(appdata_of "$me")/$1"; shift 2; done
  run reg add "$uninstall_root\\$key" /v InstallPath /d "$winroot\\$name\\ZUVA\\" /f
  run "$setup" "/AUTO=$winroot\\$name\\ZUVA" /SILENT /SUPPRESSMSGBOXES "/LOG=$winroot\\$name.log"
  local code=$?
  expect "$label: the update exits 0 (got $code)" test $code -eq 0
  expect "$label: the folders the links lead to are untouched" test "$(fingerprint "$outside")" = "$outside_before"
  expect "$label: the links are still there" test -L "$(appdata_of "$me")/ZUVA"
  expect "$label: the archive holds the program, no user data" \
    bash -c 'grep -q "^Program/ZUVA.exe|" <<<"$1" && ! grep -q "^Profiles/" <<<"$1"' _ "$(zip_listing "$(only_archive "$dest")")"
  expect "$label: the log says the user's data was skipped" \
    grep -q "is a link or is reached through one; the user's data is skipped" <(log_text "$root/$name.log")
}
linked_update "3.90 with linked data folders" 3900 glink ZUVA3 ZUVA3 "$outside/old" ZUVA "$outside/new"
expect "3.90 with linked data folders: the old generation's link is still there" test -L "$(appdata_of "$me")/ZUVA3"
linked_update "5.02 with a linked data folder" 5020 m50link ZUVA ZUVA "$outside/new"
clear_data

for key in ZUVA ZUVA3; do run reg delete "$uninstall_root\\$key" /f; done
run reg delete "$profile_list\\S-1-5-21-0-0-0-1001" /f
run reg delete "$profile_list\\S-1-5-21-0-0-0-1002.bak" /f
cp "$root"/*.log "$work/" 2>/dev/null
echo "$failures failure(s)"
[ $failures -eq 0 ]

#!/usr/bin/env bash
# The built setup deployed the way winget's validation and an Intune deployment deploy a program,
# in a fresh Wine prefix: the winget manifests the build wrote are checked against the setup; then,
# for the product's default folder and for a folder whose name holds a blank, the machine is
# snapshotted (uninstall keys, program files, ProgramData, user folders), the setup installs with
# the manifest's silent switches while a watchdog fails on any window that appears, the uninstall
# key is checked against the manifest and the installed files, the same setup runs again with the
# upgrade switches (still exactly one key), the key's QuietUninstallString runs exactly as written
# (through cmd /c), and the key, every installed file and every other change must be gone. Last,
# two setups run at once: the second ends with 1618 and changes nothing.
set -uo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --wine) wine_run=$2 ;;
    --setup) setup=$2 ;;
    --ipk5) ipk5=$2 ;;
    --script) script=$2 ;;
    --manifests) manifests=$2 ;;
    --arch) arch=$2 ;;
    --watcher) watcher=$2 ;;
    --runner) runner=$2 ;;
    --player) player=$2 ;;
    --work) work=$2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

here=$(dirname "${BASH_SOURCE[0]}")
source "$here/e2e_common.sh"

# A machine that no earlier run has touched.
/usr/lib/wine/wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
rm -rf "$work/run"
mkdir -p "$work/run"

# ---- the manifests, read as YAML, against the built setup (hash, version, switches)
"$ipk5" settings "$script" ProductName Publisher ProductVersion ProductVersionNo >"$work/run/settings.txt"
if values=$(python3 "$here/winget_manifest.py" "$manifests" "$setup" "$work/run/settings.txt" "$arch"); then
  pass "the three winget manifests fit the built setup"
  eval "$values"
else
  echo "$values"
  fail "the three winget manifests fit the built setup"
  echo "$failures failure(s)"
  exit 1
fi

uninstall_root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
key="$uninstall_root\\$product_code"
run reg query "$uninstall_root" # also prepares the prefix
drive=$WINEPREFIX/drive_c
mkdir -p "$drive/conformance-logs"
logs='C:\conformance-logs'
setup_win="Z:${setup//\//\\}"

# The files Windows deletes at the next restart, as paths below the drive, one a line.
pending_deletions() {
  timeout 120 "$wine_run" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *PendingFileRenameOperations *REG_MULTI_SZ *//p' | sed 's/\\0/\n/g' |
    sed -n 's/^\\??\\[Cc]:\\//p' | tr '\\' /
}
# Everything a setup may change on the machine, as text; the logs lie elsewhere, and what the next
# restart deletes counts as gone.
snapshot() {
  for view in "$uninstall_root" 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
    timeout 120 "$wine_run" reg query "$view" /s 2>/dev/null | tr -d '\r'
  done
  local pending
  pending=$(pending_deletions)
  (cd "$drive" && find "Program Files" "Program Files (x86)" ProgramData users -printf '%p %y %s\n' 2>/dev/null | sort) |
    while IFS= read -r line; do
      grep -qxF "${line% * *}" <<<"$pending" || echo "$line"
    done
}
# One value of the product's key as reg prints it (a DWORD in hexadecimal).
reg_value() {
  timeout 120 "$wine_run" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
# How many keys of the uninstall list name the product.
product_keys() {
  timeout 120 "$wine_run" reg query "$uninstall_root" /s 2>/dev/null | tr -d '\r' |
    grep -c "^ *DisplayName *REG_SZ *$display_name\$"
}
# Runs the setup with a command line written as a package manager passes it; returns its status.
run_setup() {
  ZUVA_COMMAND_LINE="\"$setup_win\" $1" run "$runner"
}
ends_with() { # log, code: the log's last line of the setup's end names the code
  log_text "$1" | grep 'Setup ends with exit code' | tail -n 1 | grep -q "exit code $2\$"
}

# The files the uninstall log names, as paths below the prefix's drive (one a line).
logged_files() {
  local folder=$1 unix=$2
  rm -rf "$work/run/dat" && mkdir -p "$work/run/dat"
  "$ipk5" extract "$unix/Uninstall.dat" -o "$work/run/dat" >/dev/null || return 1
  ini_text "$work/run/dat/Uninstall.ini" | sed -n '/^\[Uninstall\]/,/^\[/{s/^[0-9][0-9]*=//p}' |
    while IFS= read -r entry; do
      case $entry in
        [A-Za-z]:*) path=$entry ;;
        *) path="$folder$entry" ;;
      esac
      path=${path#C:\\}
      echo "$drive/${path//\\//}"
    done
}

# The watchdog: start_watch <name> records every window that appears until stop_watch <name>.
start_watch() {
  rm -f "$work/run/$1.windows"* "$work/run/$1.stop"
  timeout 400 "$wine_run" "$watcher" "Z:${work//\//\\}\\run\\$1.windows" "Z:${work//\//\\}\\run\\$1.stop" \
    >/dev/null 2>&1 &
  watcher_pid=$!
  for _ in $(seq 1 60); do [ -e "$work/run/$1.windows.ready" ] && return 0; sleep 0.5; done
  return 1
}
stop_watch() {
  touch "$work/run/$1.stop"
  wait "$watcher_pid" 2>/dev/null
}

conform() { # label, folder (Windows, trailing backslash), location switch or ""
  local label=$1 folder=$2 location=$3
  local unix="$drive/${folder#C:\\}"
  unix=${unix//\\//}
  local before after code
  before=$(snapshot)

  # -- install with the manifest's silent switches, watched for windows
  expect "$label: the watchdog is watching" start_watch "$label"
  run_setup "$silent ${log//<LOGPATH>/$logs\\$label-install.log}${location:+ $location}"
  code=$?
  stop_watch "$label"
  expect "$label: the silent installation exits 0 (status $code)" ends_with "$drive/conformance-logs/$label-install.log" 0
  expect "$label: no window appeared during the silent installation$(tr '\t\r\n' '  ;' <"$work/run/$label.windows" 2>/dev/null)" \
    test ! -s "$work/run/$label.windows"

  # -- the key against the manifest and the installed files
  expect "$label: exactly one key names the product" test "$(product_keys)" -eq 1
  expect "$label: DisplayName is the manifest's" test "$(reg_value DisplayName)" = "$display_name"
  expect "$label: Publisher is the manifest's" test "$(reg_value Publisher)" = "$publisher"
  expect "$label: DisplayVersion is the manifest's" test "$(reg_value DisplayVersion)" = "$display_version"
  expect "$label: InstallLocation is the folder ($(reg_value InstallLocation))" test "$(reg_value InstallLocation)" = "$folder"
  expect "$label: InstallPath is the folder" test "$(reg_value InstallPath)" = "$folder"
  expect "$label: UninstallString is the quoted uninstaller" \
    test "$(reg_value UninstallString)" = "\"${folder}Uninstall.exe\""
  expect "$label: QuietUninstallString adds the unattended switches" \
    test "$(reg_value QuietUninstallString)" = "\"${folder}Uninstall.exe\" /AUTO /SILENT /SUPPRESSMSGBOXES"
  local major=${display_version%%.*} rest=${display_version#*.}
  local minor=${rest%%.*}
  expect "$label: VersionMajor and VersionMinor come from $display_version" \
    test "$(reg_value VersionMajor) $(reg_value VersionMinor)" = "$(printf '0x%x 0x%x' $((10#$major)) $((10#$minor)))"
  local files bytes=0 missing=0 path
  files=$(logged_files "$folder" "$unix")
  while IFS= read -r path; do
    if [ -f "$path" ]; then bytes=$((bytes + $(stat -c %s "$path"))); else missing=$((missing + 1)); fi
  done <<<"$files"
  expect "$label: every file of the uninstall log is installed ($(grep -c . <<<"$files") files)" \
    test "$missing" -eq 0 -a -n "$files"
  expect "$label: EstimatedSize is the KiB of those files ($(reg_value EstimatedSize))" \
    test "$(reg_value EstimatedSize)" = "$(printf '0x%x' $(((bytes + 1023) / 1024)))"

  # -- the same setup again, as an upgrade
  # The setup reads no /SILENT beside /UPDATE and shows its progress window, which the watchdog must
  # see: that shows it would have seen a window during the installation too.
  start_watch "$label-upgrade"
  run_setup "$silent $upgrade ${log//<LOGPATH>/$logs\\$label-upgrade.log}"
  stop_watch "$label-upgrade"
  expect "$label: the upgrade exits 0" ends_with "$drive/conformance-logs/$label-upgrade.log" 0
  expect "$label: the watchdog saw the upgrade's progress window (control)" test -s "$work/run/$label-upgrade.windows"
  expect "$label: the upgrade updated the installation in its folder" \
    grep -qF "destination \"$folder\"" <(log_text "$drive/conformance-logs/$label-upgrade.log")
  expect "$label: still exactly one key names the product" test "$(product_keys)" -eq 1

  # -- the removal, exactly as the key says
  local quiet
  quiet=$(reg_value QuietUninstallString)
  ZUVA_COMMAND_LINE="cmd /c $quiet" run "$runner"
  code=$?
  expect "$label: QuietUninstallString through cmd /c exits 0 (status $code)" test $code -eq 0
  expect "$label: the key is gone" bash -c '! timeout 120 "$1" reg query "$2" >/dev/null 2>&1' _ "$wine_run" "$key"
  missing=0
  while IFS= read -r path; do [ -e "$path" ] && missing=$((missing + 1)); done <<<"$files"
  expect "$label: every installed file is gone ($missing left)" test $missing -eq 0
  # Kept by design: the configuration (the user's settings, removed only with the user content)
  # and what the product's own programs wrote (the stand-ins' records), with the folders holding
  # them. Anything else that differs is a change the removal did not undo.
  after=$(snapshot)
  local rel=${unix#"$drive"/} unexpected
  rel=${rel%/}
  unexpected=$(diff <(echo "$before") <(echo "$after") | grep '^[<>]' |
    grep -vxE "> $rel( d [0-9]+|/ZUVA\.ini f [0-9]+|/Registrar\.log f [0-9]+|/System d [0-9]+|/System/[^/]+\.marker f [0-9]+)")
  expect "$label: the machine is as before the installation${unexpected:+: $(tr '\n' ';' <<<"$unexpected")}" \
    test -z "$unexpected"
  expect "$label: the kept configuration is the only file of the install left" \
    test "$(find "${unix%/}" -type f ! -name '*.marker' ! -name Registrar.log 2>/dev/null)" = "${unix%/}/ZUVA.ini"
  # The next installation of this script starts from a clean folder.
  rm -rf "$unix"
}

conform default "C:\\Program Files\\$product_code\\" ""
blank_folder='C:\Tools\Media Players\ZUVA\'
conform blank "$blank_folder" "${location//<INSTALLPATH>/${blank_folder%\\}}"

# ---- two setups at once: the first holds the lock while it waits for a running player to close
# (the player ignores the request), the second must end with 1618 and change nothing. The player
# runs from a copy inside the prefix, and both setups are given their folder: a running copy is
# where a setup without a folder would install.
mkdir -p "$drive/conformance-player"
cp "$player" "$drive/conformance-player/ZUVA.exe"
start_watch player
timeout 300 "$wine_run" 'C:\conformance-player\ZUVA.exe' /KEEPOPEN >/dev/null 2>&1 &
player_pid=$!
for _ in $(seq 1 60); do grep -q '^TZUVAMainForm' "$work/run/player.windows" 2>/dev/null && break; sleep 0.5; done
stop_watch player
expect "the player's window is open" grep -q '^TZUVAMainForm' "$work/run/player.windows"
twice="$silent ${location//<INSTALLPATH>/C:\\Program Files\\$product_code}"
ZUVA_COMMAND_LINE="\"$setup_win\" $twice ${log//<LOGPATH>/$logs\\first.log}" timeout 300 "$wine_run" "$runner" \
  >/dev/null 2>&1 &
first_pid=$!
for _ in $(seq 1 120); do
  [ -f "$drive/conformance-logs/first.log" ] &&
    grep -q 'Closing running programs, pass 1' <(log_text "$drive/conformance-logs/first.log") && break
  sleep 0.5
done
expect "the first setup waits for the player, holding the lock" \
  grep -q 'Run lock .* taken' <(log_text "$drive/conformance-logs/first.log")
before=$(snapshot)
run_setup "$twice ${log//<LOGPATH>/$logs\\second.log}"
code=$?
second=$(log_text "$drive/conformance-logs/second.log")
expect "the second setup exits 1618 (status $code)" \
  bash -c '[ "$1" -eq $((1618 % 256)) ] && grep -q "Setup ends with exit code 1618" <<<"$2"' _ "$code" "$second"
expect "the second setup ran no action" test -z "$(grep -E 'Written|Deleted|Registry:' <<<"$second")"
after=$(snapshot)
expect "the second setup changed nothing" test "$after" = "$before"
[ "$after" = "$before" ] || diff <(echo "$before") <(echo "$after") | head -20
kill "$player_pid" 2>/dev/null
wait "$player_pid" 2>/dev/null
wait "$first_pid" 2>/dev/null
expect "the first setup goes on once the player is gone and succeeds" ends_with "$drive/conformance-logs/first.log" 0
expect "exactly one key names the product after both" test "$(product_keys)" -eq 1

cp "$drive/conformance-logs/"*.log "$work/run/" 2>/dev/null
/usr/lib/wine/wineserver -k 2>/dev/null || true
echo "$failures failure(s)"
[ $failures -eq 0 ]

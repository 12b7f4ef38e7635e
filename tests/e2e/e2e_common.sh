# Shared by the end-to-end scripts, sourced after they have read their arguments (wine_run, work):
# the Wine environment, the check counters and the readers of what the setup writes.

export WINEPREFIX=${WINEPREFIX:-$work/wineprefix}
# The language the setup preselects follows the user interface language, which Wine takes from LANG.
export LANG=en_US.UTF-8
unset LC_ALL
# Wine hands the Windows exit code to the shell as a Unix exit status, which keeps its low 8 bits:
# 1603 arrives as 67. The log holds the full code.
failed_status=$((1603 % 256))
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
expect() { # description, command...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
# Runs a Windows program; prints nothing, returns its exit code. A box nobody answers would hang
# the run: the time limit turns that into a failure.
run() { timeout 300 "$wine_run" "$@" >/dev/null 2>&1; }
# A log written by the program, as UTF-8 text without carriage returns.
log_text() { tr -d '\r' <"$1" 2>/dev/null; }
# An INI text as the program writes it (UTF-16 with byte-order mark, or UTF-8), as UTF-8.
ini_text() {
  if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'
  else
    sed '1s/^\xEF\xBB\xBF//' "$1" | tr -d '\r'
  fi
}
# Content, size and modification time (seconds) of every file below a folder, except the backup
# folder and logs: what "as before the run" means.
fingerprint() { (cd "$1" 2>/dev/null && find . -type f ! -path './!Backup/*' ! -name '*.log' -printf '%P %s %T@\n' \
  | awk '{ split($3, t, "."); print $1, $2, t[1] }' | sort && find . -type f ! -path './!Backup/*' ! -name '*.log' \
  -print0 | sort -z | xargs -0 -r sha1sum); }
# Another program (the holder, $holder) holds a file open until the release marker appears:
# hold <file> <ready marker> <release marker> (Windows paths) returns once it is held; release
# lets it go and waits for it to end.
hold() {
  local ready release_marker
  ready=$(winepath_unix "$2")
  release_marker=$(winepath_unix "$3")
  rm -f "$ready" "$release_marker"
  timeout 300 "$wine_run" "$holder" "$1" "$2" "$3" >/dev/null 2>&1 &
  holder_pid=$!
  holder_release=$release_marker
  for _ in $(seq 1 60); do [ -e "$ready" ] && break; sleep 0.5; done
  [ -e "$ready" ]
}
release() { touch "$holder_release"; wait "$holder_pid" 2>/dev/null; }
# A Windows path on drive C: as the host path in the Wine prefix.
winepath_unix() { local p=${1#[Cc]:}; echo "$WINEPREFIX/drive_c${p//\\//}"; }

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

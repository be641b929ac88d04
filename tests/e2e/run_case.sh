#!/usr/bin/env bash
# Runs one program file through the interpreter in a fresh temporary directory
# and compares what it left with what the case expects.
#
#   run_case.sh TAV32-BINARY CASE.tav
#
# Beside CASE.tav (all optional):
#   CASE.args      option words, replacing the default "-LOG run.log"
#   CASE.setup     bash script run in the work directory before the run; its
#                  exit code 77 skips the case (something it needs is missing)
#   CASE.env       environment settings for the interpreter's run only, one
#                  NAME=VALUE a line
#   CASE.log       expected LOG file (run.log), LF line ends; the LOG file must
#                  end every line with CR LF
#   CASE.debuglog  expected debug log, compared the same way
#   CASE.stdout    expected standard output
#   CASE.stderr    expected standard error
#   CASE.exit      expected exit code (default 0)
#   CASE.check     bash script run in the work directory after the run; a
#                  nonzero exit fails the case
#   CASE.posix-only, CASE.windows-only
#                  the case runs only on that build; the file says why
#   CASE.windows.log, CASE.windows.debuglog, CASE.windows.stdout,
#   CASE.windows.stderr, CASE.windows.exit
#                  what the Windows build gives instead, where the systems'
#                  own texts differ (the reason a command could not start)
#   CASE.wine-differs
#                  the case follows Windows' documented behaviour, which Wine
#                  does not; skipped under Wine; the file says how Wine differs
# In expected texts, @WORK@ stands for the work directory. The run sees
# WORK (the work directory), WINDIR (WORK/windows, which holds the debug log)
# and TAV32_REGISTRY (WORK/registry).
#
# With TAV32_E2E_WINE=1 the binary is a Windows build run under Wine (in
# $WINEPREFIX): @WORK@ stands for the work directory as Windows names it, and
# the separators after it on the same line are backslashes; the run sees WORK
# in that form too; WINDIR is the prefix's Windows directory (its debug log
# and WIN.INI are removed before and after the case); "POSIX build" in the
# start banner reads "Windows build". A skipped case exits with 77.
set -u
binary=$(readlink -f "$1")
program=$(readlink -f "$2")
base=${program%.tav}
name=$(basename "$program")

wine=${TAV32_E2E_WINE:-0}
skip() { echo "SKIPPED: $1: $(cat "$1")"; exit 77; }
if [ "$wine" = 1 ]; then
  [ -f "$base.posix-only" ] && skip "$base.posix-only"
  [ -f "$base.wine-differs" ] && skip "$base.wine-differs"
else
  [ -f "$base.windows-only" ] && skip "$base.windows-only"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tav32-e2e.XXXXXX")
export WORK=$work WINDIR=$work/windows TAV32_REGISTRY=$work/registry
shown_work=$work
if [ "$wine" = 1 ]; then
  shown_work="Z:${work//\//\\}"
  WINDIR=$WINEPREFIX/drive_c/windows
  clean_windir() { rm -f "$WINDIR/DEBUGLOG.TAV" "$WINDIR/WIN.INI" "$WINDIR/win.ini"; }
  clean_windir
  trap 'rm -rf "$work"; clean_windir' EXIT
else
  trap 'rm -rf "$work"' EXIT
fi
export CASE_DIR=$(dirname "$program")
mkdir -p "$WINDIR" "$work/windows"
cp "$program" "$work/$name"
cd "$work"

fail=0
complain() { echo "FAIL: $*"; fail=1; }

if [ -f "$base.setup" ]; then
  bash -e "$base.setup"
  status=$?
  [ $status -eq 77 ] && { echo "SKIPPED: the setup script finds something missing"; exit 77; }
  [ $status -ne 0 ] && { echo "FAIL: setup script failed"; exit 1; }
fi
settings=()
if [ -f "$base.env" ]; then
  while IFS= read -r setting; do
    [ -n "$setting" ] && settings+=("${setting//@WORK@/$work}")
  done <"$base.env"
fi

# The expectation of this build: a Windows build's own where there is one.
side() {
  if [ "$wine" = 1 ] && [ -f "$base.windows.$1" ]; then echo "$base.windows.$1"; else echo "$base.$1"; fi
}

# An expected text as this run shows it.
expected() {
  if [ "$wine" = 1 ]; then
    SHOWN=$shown_work perl -pe 's{\@WORK\@(.*)}{ (my $t = $1) =~ tr|/|\\|; "$ENV{SHOWN}$t" }e; s/POSIX build/Windows build/' "$1"
  else
    sed "s|@WORK@|$work|g" "$1"
  fi
}

if [ -f "$base.args" ]; then
  read -r -a options < <(expected "$base.args")
else
  options=(-LOG run.log)
fi
if [ "$wine" = 1 ]; then
  # Without a display Wine makes no windows, so the run uses the console
  # (its windows are tested by tests/gui/run.sh).
  env -u DISPLAY -u WAYLAND_DISPLAY "${settings[@]}" WORK="$shown_work" wine "$binary" "$name" "${options[@]}" </dev/null >"$work/.stdout" 2>"$work/.stderr"
else
  env "${settings[@]}" "$binary" "$name" "${options[@]}" </dev/null >"$work/.stdout" 2>"$work/.stderr"
fi
code=$?

expected_code=0
[ -f "$(side exit)" ] && expected_code=$(tr -d '[:space:]' <"$(side exit)")
[ "$code" = "$expected_code" ] || complain "exit code $code, expected $expected_code"

# Compares a file with CR LF line ends against an expectation written with LF.
compare_crlf() {
  local actual=$1 expected=$2 what=$3
  if [ ! -f "$actual" ]; then complain "$what was not written"; return; fi
  if [ -s "$actual" ] && [ "$(tail -c 2 "$actual" | od -An -c | tr -d ' ')" != '\r\n' ]; then
    complain "$what does not end with CR LF"
  fi
  if grep -q $'[^\r]$' "$actual" 2>/dev/null || grep -q $'^$' "$actual" 2>/dev/null; then
    complain "$what has a line without CR LF"
  fi
  diff -u <(expected "$expected") <(tr -d '\r' <"$actual") || complain "$what differs"
}
compare_plain() {
  local actual=$1 expected=$2 what=$3
  diff -u <(expected "$expected") "$actual" || complain "$what differs"
}

[ -f "$(side log)" ] && compare_crlf "$work/run.log" "$(side log)" "LOG file"
[ -f "$(side debuglog)" ] && compare_crlf "$WINDIR/DEBUGLOG.TAV" "$(side debuglog)" "debug log"
[ -f "$(side stdout)" ] && compare_plain "$work/.stdout" "$(side stdout)" "standard output"
[ -f "$(side stderr)" ] && compare_plain "$work/.stderr" "$(side stderr)" "standard error"
if [ -f "$base.check" ]; then
  bash -e "$base.check" || complain "check script failed"
fi

if [ $fail -ne 0 ]; then
  echo "--- stdout"; cat "$work/.stdout"; echo "--- stderr"; cat "$work/.stderr"
  exit 1
fi
exit 0

#!/usr/bin/env bash
# The GUI cases of the Windows build: runs tav32.exe under Wine on the X
# display in $DISPLAY (Xvfb will do), looks at and presses its windows with
# wintool.exe, and keeps screenshots.
#
#   tests/gui/run.sh BUILD_DIR ARTEFACT_DIR [CASE ...]
#
# BUILD_DIR holds tav32.exe, spawn.exe and wintool.exe (the windows preset's
# build-win). ARTEFACT_DIR receives the screenshots (CASE.png), and for each
# case its standard output and error, and on a failure the list of windows
# (CASE.windows.txt) and a screenshot (CASE-failure.png). With CASE names
# only those cases run. TAV32_GUI_EXE names another program to test instead
# of BUILD_DIR/tav32.exe.
#
# Wine runs in its own prefix, BUILD_DIR/wineprefix-gui, made on the first
# run. Its registry tells Wine to draw the windows' captions and frames
# itself (X11 Driver, Managed=N), since a bare X server has no window manager
# to draw them. Prints PASS or FAIL for each case and exits 1 when one
# failed, 2 when it cannot start. Every run sets the prefix's scaling to 100 %
# (LogPixels 96) first; the dpi case also runs at 150 % and 200 %.
set -u

if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR ARTEFACT_DIR [CASE ...]" >&2
  exit 2
fi
build=$(readlink -f "$1")
mkdir -p "$2"
artefacts=$(readlink -f "$2")
shift 2
here=$(dirname "$(readlink -f "$0")")
exe=$(readlink -f "${TAV32_GUI_EXE:-$build/tav32.exe}")
exe_name=$(basename "$exe")
wintool=$build/wintool.exe
for file in "$exe" "$wintool"; do
  [ -f "$file" ] || { echo "missing $file" >&2; exit 2; }
done
if [ -z "${DISPLAY:-}" ]; then
  echo "DISPLAY is not set: start an X server (Xvfb) first" >&2
  exit 2
fi
export WINEPREFIX=$build/wineprefix-gui WINEDEBUG=-all
gui_display=$DISPLAY

# The prefix, once; a server that stays up between the cases saves Wine's
# start-up in each.
if [ ! -f "$WINEPREFIX/.tav32-gui-made" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  timeout 300 wineboot -i </dev/null >/dev/null 2>&1
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || {
    echo "cannot set up the Wine prefix" >&2
    exit 2
  }
  timeout 60 wineserver -w
  touch "$WINEPREFIX/.tav32-gui-made"
fi

# The scaling the windows are drawn for: Wine reads the user's LogPixels when
# its server starts, which is restarted for a change. Every run starts at 96
# dots per inch (100 %); the dpi case goes through 144 and 192 and back.
current_dpi=
set_dpi() {
  [ "$current_dpi" = "$1" ] && return 0
  wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null
  timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    </dev/null >/dev/null 2>&1 || { echo "cannot set LogPixels to $1" >&2; return 1; }
  wineserver -p 300 </dev/null >/dev/null 2>&1 || true
  current_dpi=$1
}
set_dpi 96 || exit 2
# A program left running by an earlier run would show windows of the same
# names.
timeout 30 wine taskkill /f /im "$exe_name" </dev/null >/dev/null 2>&1

# wintool, with its output's line ends made Unix ones. Every subcommand that
# waits has its own time-out; this one only guards against a hung Wine.
wt() { timeout 90 wine "$wintool" "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

shot() { import -window root "$artefacts/$1.png" 2>/dev/null || echo "  (no screenshot $1.png)"; }

# The line number of the first line of a case's program file that begins with
# TEXT.
line_of() { grep -n -m1 "^$2" "$here/$1" | cut -d: -f1; }

# --- one run of the program under test -----------------------------------

run_pid=
work=
# Starts the program on PROGRAM (a file in this folder) with OPTIONS, in a
# fresh work directory, in the background. It gets at most 120 s.
start_run() {
  local program=$1
  shift
  work=$(mktemp -d "${TMPDIR:-/tmp}/tav32gui.XXXXXX")
  cp "$here/$program" "$work/"
  (cd "$work" && exec timeout 120 wine "$exe" "$program" "$@" </dev/null \
     >"$artefacts/$case.stdout" 2>"$artefacts/$case.stderr") &
  run_pid=$!
}

# Lets a program file's "wintool waitfile go.txt" end.
release() { touch "$work/go.txt"; }

# Waits at most SECONDS for the run to end; sets run_code (124 on time-out,
# when the run is ended).
finish_run() {
  local seconds=$1 waited=0
  while kill -0 "$run_pid" 2>/dev/null && [ "$waited" -lt $((seconds * 10)) ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  if kill -0 "$run_pid" 2>/dev/null; then
    stop_run
    run_code=124
    return
  fi
  wait "$run_pid"
  run_code=$?
  run_pid=
}

# Ends a run that is still going, and whatever of it is left in Wine.
stop_run() {
  if [ -n "$run_pid" ]; then
    timeout 30 wine taskkill /f /im "$exe_name" </dev/null >/dev/null 2>&1
    kill "$run_pid" 2>/dev/null
    wait "$run_pid" 2>/dev/null
    run_pid=
  fi
}

# --- checks ------------------------------------------------------------------

# The first failure of a case keeps the windows as they are then: their list
# and a screenshot.
ok=1
fail() {
  echo "  $case: $*"
  if [ $ok -eq 1 ]; then
    wt list >"$artefacts/$case.windows.txt"
    shot "$case-failure"
  fi
  ok=0
}
expect() { [ "$2" = "$3" ] || fail "$1: '$2', expected '$3'"; }

# Waits at most SECONDS until control ID of the window TITLE shows TEXT.
wait_text() {
  local title=$1 id=$2 want=$3 seconds=$4 start=$SECONDS got=
  while [ $((SECONDS - start)) -lt "$seconds" ]; do
    got=$(wt text "$title" "$id") && [ "$got" = "$want" ] && return 0
    sleep 0.3
  done
  fail "control $id of \"$title\" shows '$got', not '$want', after $seconds s"
  return 1
}

# Waits at most SECONDS until control ID of the window TITLE is enabled.
wait_enabled() {
  local title=$1 id=$2 seconds=$3 start=$SECONDS
  while [ $((SECONDS - start)) -lt "$seconds" ]; do
    [ "$(wt enabled "$title" "$id")" = enabled ] && return 0
    sleep 0.3
  done
  fail "control $id of \"$title\" not enabled after $seconds s"
  return 1
}

# The rectangle "left,top,right,bottom" of a line of wintool wait.
rect_of() { sed -n 's/.* rect=\([-0-9,]*\) .*/\1/p' <<<"$1"; }

# Waits at most SECONDS until the LOG file has TEXT.
wait_log() {
  local text=$1 seconds=$2 start=$SECONDS
  while [ $((SECONDS - start)) -lt "$seconds" ]; do
    [ -f "$work/run.log" ] && tr -d '\r' <"$work/run.log" | grep -qF -- "$text" && return 0
    sleep 0.2
  done
  fail "the LOG file lacks '$text' after $seconds s"
  return 1
}

log_has() {
  [ -f "$work/run.log" ] || { fail "no LOG file"; return; }
  tr -d '\r' <"$work/run.log" | grep -qF -- "$1" || fail "the LOG file lacks '$1'"
}
log_lacks() {
  [ -f "$work/run.log" ] && tr -d '\r' <"$work/run.log" | grep -qF -- "$1" && fail "the LOG file has '$1'"
}

status_dialog() {
  wt wait '#32770' TAV32 "${1:-40}" >/dev/null && return 0
  fail "no status dialog \"TAV32\""
  return 1
}
question='TAV32 1.21 User Interruption'

# --- the cases ---------------------------------------------------------------

case_status_and_output() {
  local program=status_and_output.tav
  start_run $program -OUTPUT -LOG run.log
  # The intro picture comes first and closes itself after 5 s.
  # (Without it, the dialog that follows it has had its time already.)
  local dialog_wait=40
  wt wait TAV32SimpleWin - 40 >/dev/null || { fail "no intro picture window"; dialog_wait=5; }
  status_dialog $dialog_wait || return
  local dialog out
  dialog=$(wt wait '#32770' TAV32 5)
  out=$(wt wait TAV32OutputWindow - 10) || { fail "no output window"; return; }

  # While the external command runs, the line number is its line and the
  # output window's title tells of the command.
  wait_text TAV32 109 "$(line_of $program 'wintool waitfile')" 60 || return
  if wt wait TAV32OutputWindow 'TAV32 Output Window' 0 >/dev/null; then
    fail "the output window's title does not change while a command runs"
  fi
  release

  # Pause: the title is back, the line number is the Pause's.
  wait_text TAV32 109 "$(line_of $program Pause)" 60 || return
  wt gone TAV32SimpleWin - 10 >/dev/null || fail "the intro picture is still shown"
  wt wait TAV32OutputWindow 'TAV32 Output Window' 5 >/dev/null ||
    fail "the output window's title is not \"TAV32 Output Window\" after the command"
  local file time1 time2
  file=$(wt text TAV32 111)
  [[ ${file,,} == *status_and_output* ]] || fail "program file (111) shows '$file'"
  time1=$(wt text TAV32 106)
  [[ $time1 =~ ^[0-9][0-9]:[0-5][0-9]:[0-5][0-9]$ ]] || fail "elapsed time (106) shows '$time1'"
  [ "$time1" != 00:00:00 ] || fail "elapsed time (106) still 00:00:00 after the command"
  sleep 2.2
  time2=$(wt text TAV32 106)
  [ "$time2" != "$time1" ] || fail "elapsed time (106) stands at $time1"
  [ -n "$(wt text TAV32 100)" ] || fail "the status text (100) is empty"

  # The output window lies 10 pixels right of the dialog, at its top.
  dialog=$(rect_of "$dialog")
  out=$(rect_of "$out")
  expect "output window's left edge" "${out%%,*}" "$(( $(cut -d, -f3 <<<"$dialog") + 10 ))"
  expect "output window's top edge" "$(cut -d, -f2 <<<"$out")" "$(cut -d, -f2 <<<"$dialog")"
  shot status-and-output

  wt type TAV32OutputWindow ' ' >/dev/null || fail "cannot type into the output window"
  finish_run 30
  expect "exit code" "$run_code" 0
  log_has "Third line of the output window"
  log_has Done
}

case_typed_keys() {
  local program=typed_keys.tav
  start_run $program -OUTPUT -LOG run.log
  status_dialog || return
  wt wait TAV32OutputWindow - 10 >/dev/null || { fail "no output window"; return; }
  # Typed only once the command runs and reads.
  wait_text TAV32 109 "$(line_of $program 'wintool readline')" 20 || return
  sleep 1
  wt type TAV32OutputWindow 'dir\r' >/dev/null || fail "cannot type into the output window"
  finish_run 30
  expect "exit code" "$run_code" 0
  if [ -f "$work/typed.txt" ]; then
    expect "line the command read" "$(cat "$work/typed.txt")" dir
  else
    fail "the command wrote no typed.txt (it read no line)"
  fi
  log_has Done
}

case_abort_yes() {
  local program=abort_yes.tav
  start_run $program -OUTPUT -LOG run.log
  status_dialog || return
  wait_text TAV32 109 "$(line_of $program 'wintool sleep')" 30 || return
  wait_enabled TAV32 113 10 || return
  wt click TAV32 113 >/dev/null || fail "cannot press Abort"
  wt wait '#32770' "$question" 10 >/dev/null || { fail "no abort question"; return; }
  expect "status text (100) while asking" "$(wt text TAV32 100)" "User abort"
  shot abort-yes
  local text
  text=$(wt answer "$question" yes 5) || fail "cannot answer Yes"
  expect "question" "$text" "Are you sure you want to abort?"
  finish_run 20
  expect "exit code" "$run_code" 17
  log_lacks "Not aborted"
  # The command that ran is ended with the run.
  sleep 1
  pgrep -f 'wintool(\.exe)? sleep 40' >/dev/null && fail "the running command outlived the abort"
}

case_abort_no() {
  local program=abort_no.tav
  start_run $program -OUTPUT -LOG run.log
  status_dialog || return
  wait_text TAV32 109 "$(line_of $program 'wintool waitfile')" 60 || return
  wait_enabled TAV32 113 30 || return
  local before
  before=$(wt text TAV32 100)
  wt click TAV32 113 >/dev/null || fail "cannot press Abort"
  wt wait '#32770' "$question" 10 >/dev/null || { fail "no abort question"; return; }
  wt answer "$question" no 5 >/dev/null || fail "cannot answer No"
  wt gone '#32770' "$question" 10 >/dev/null || fail "the question stays open"
  expect "status text (100) after No" "$(wt text TAV32 100)" "$before"
  expect "Abort button after No" "$(wt enabled TAV32 113)" enabled
  release
  finish_run 60
  expect "exit code" "$run_code" 0
  log_has "Went on after the question"
}

case_noabort() {
  local program=noabort.tav
  start_run $program -OUTPUT -NOABORT -LOG run.log
  status_dialog || return
  wait_text TAV32 109 "$(line_of $program 'wintool waitfile')" 60 || return
  expect "Abort button with -NOABORT" "$(wt enabled TAV32 113)" disabled
  # Neither closing the dialog nor the button's own command asks anything:
  # each is sent and waited for until the dialog has handled it, which it
  # would not have while a question it opened were waiting for an answer.
  # The command holds the run meanwhile, however slowly this goes.
  wt close '#32770' TAV32 60 >/dev/null || fail "closing the dialog is not handled (does it ask to abort?)"
  wt wait '#32770' "$question" 0 >/dev/null && { fail "closing the dialog asks to abort"; wt answer "$question" no 5 >/dev/null; }
  wt wait '#32770' TAV32 0 >/dev/null || fail "closing the dialog hid it"
  wt command TAV32 113 60 >/dev/null || fail "the Abort command is not handled (does it ask to abort?)"
  wt wait '#32770' "$question" 0 >/dev/null && { fail "the Abort command asks to abort"; wt answer "$question" no 5 >/dev/null; }
  expect "Abort button with -NOABORT, later" "$(wt enabled TAV32 113)" disabled
  release
  finish_run 120
  expect "exit code" "$run_code" 0
  log_has "Went on to the end"
}

# The picture windows stand centred on the 1024x768 screen, at their
# pictures' sizes: the intro 360x240, the hidden one 300x200.
case_about() {
  start_run about.tav -LOG run.log
  local intro hidden
  intro=$(wt wait TAV32SimpleWin - 40) || { fail "no intro picture window"; return; }
  shot intro
  expect "intro picture's place" "$(rect_of "$intro")" 332,264,692,504
  status_dialog 10 || return
  wt click TAV32 114 >/dev/null || fail "cannot press Info"
  wt wait '#32770' 'About TAV32' 10 >/dev/null || { fail "no About box"; return; }
  local about
  about=$(wt text 'About TAV32' 201)
  [[ $about == *TAV32*1.21*26-APR-98* ]] || fail "the About text (201) reads '$about'"
  wt gone TAV32SimpleWin - 10 >/dev/null || fail "the intro picture is still shown"
  shot about
  # A wrong letter in the middle shows nothing; the whole word shows the
  # hidden picture for 10 s. (The wrong try stops before the last letter,
  # which is also Dismiss's mnemonic and would close the box.)
  wt keys 'About TAV32' 200 MARBLXWOO >/dev/null || fail "cannot type into the About box"
  wt wait TAV32SimpleWin - 2 >/dev/null && fail "a wrong letter still showed the hidden picture"
  wt keys 'About TAV32' 200 MARBLEWOOD >/dev/null
  hidden=$(wt wait TAV32SimpleWin - 5) || { fail "the hidden word shows no picture"; return; }
  expect "hidden picture's place" "$(rect_of "$hidden")" 362,284,662,484
  shot hidden-picture
  wt gone TAV32SimpleWin - 15 >/dev/null || fail "the hidden picture stays after 10 s"
  # The word's last letter is also Dismiss's mnemonic.
  wt gone '#32770' 'About TAV32' 2 >/dev/null || wt click 'About TAV32' 200 >/dev/null
  wt gone '#32770' 'About TAV32' 5 >/dev/null || fail "the About box does not close"
  release
  finish_run 60
  expect "exit code" "$run_code" 0
  log_has Done
}

# A command prints 40,000 lines at once. Once they are all in the LOG file
# the line number shows the next statement within seconds (the status texts
# do not wait until the output window has drawn them), and once the last
# statement is done the run ends within seconds, its text all drawn. Before
# the output was gathered, each took a minute.
case_output_heavy() {
  local program=output_heavy.tav
  start_run $program -OUTPUT -LOG run.log
  status_dialog || return
  wait_log "All lines printed" 120 || return
  wait_text TAV32 109 "$(line_of $program 'wintool waitfile')" 10 || return
  shot output-heavy
  release
  wait_log Done 60 || return
  finish_run 10
  expect "exit code (124: the run went on after its last statement)" "$run_code" 0
  log_has "Output line 40000 of 40000"
}

# At 100 %, 150 % and 200 % scaling, every text of the status dialog and the
# About box fits its control in the control's own font, and none looks lost
# in it (wintool fit: the measurements land in dpi-N.fit.txt); a screenshot
# of each dialog at each.
case_dpi() {
  local dpi fits
  for dpi in 96 144 192; do
    set_dpi $dpi || { fail "cannot set the scaling to $dpi dots per inch"; break; }
    start_run dpi.tav -LOG run.log
    status_dialog || break
    wait_text TAV32 109 "$(line_of dpi.tav 'wintool waitfile')" 60 || break
    wt gone TAV32SimpleWin - 30 >/dev/null || fail "the intro picture is still shown"
    fits=$(wt fit TAV32) || fail "at $dpi dots per inch the status dialog cuts: $(grep -v ' fits$' <<<"$fits")"
    echo "$fits" >"$artefacts/dpi-$dpi.fit.txt"
    shot dpi-$dpi
    wt click TAV32 114 >/dev/null || fail "cannot press Info"
    if wt wait '#32770' 'About TAV32' 30 >/dev/null; then
      fits=$(wt fit 'About TAV32') || fail "at $dpi dots per inch the About box cuts: $(grep -v ' fits$' <<<"$fits")"
      echo "$fits" >>"$artefacts/dpi-$dpi.fit.txt"
      shot dpi-$dpi-about
      wt click 'About TAV32' 200 >/dev/null
      wt gone '#32770' 'About TAV32' 30 >/dev/null || fail "the About box does not close"
    else
      fail "no About box"
    fi
    release
    finish_run 60
    expect "exit code at $dpi dots per inch" "$run_code" 0
    [ $ok -eq 1 ] && rm -rf "$work"
  done
  stop_run
  set_dpi 96
}

case_quiet() {
  start_run quiet.tav -OUTPUT -QUIET -LOG run.log
  # Watched for longer than the run takes (its command waits 5 s).
  local seen
  seen=$(wt nowindow "$exe_name" 8) || fail "$seen"
  finish_run 30
  expect "exit code" "$run_code" 0
  log_has "Quiet run done"
}

case_console() {
  # Without a display Wine makes no windows; the run falls back to the
  # console. The case gets a Wine server started afresh without a display,
  # as the end-to-end tests' is, so that no desktop process of the earlier
  # cases is around.
  wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null
  local saved=$DISPLAY
  unset DISPLAY
  start_run console.tav -OUTPUT -LOG run.log
  finish_run 60
  export DISPLAY=$saved
  expect "exit code" "$run_code" 0
  log_has "Console run done"
  wineserver -p 300 </dev/null >/dev/null 2>&1 || true
}

# --- running them ------------------------------------------------------------

# Stopped from outside (a CI time-out): nothing of the run stays behind.
trap 'stop_run; wineserver -k 2>/dev/null; exit 130' INT TERM

cases=(status-and-output typed-keys abort-yes abort-no noabort about output-heavy dpi quiet console)
[ $# -gt 0 ] && cases=("$@")
passed=0
failed=0
for case in "${cases[@]}"; do
  if ! declare -F "case_${case//-/_}" >/dev/null; then
    echo "no such case: $case" >&2
    exit 2
  fi
  ok=1
  run_pid=
  run_code=
  export DISPLAY=$gui_display
  rm -f "$artefacts/$case.windows.txt" "$artefacts/$case-failure.png"
  "case_${case//-/_}"
  stop_run
  # Nothing of one case may be left for the next: windows of the same names
  # would be taken for the next run's.
  if ! wt gone '#32770' TAV32 10 >/dev/null || ! wt gone TAV32OutputWindow - 1 >/dev/null; then
    timeout 30 wine taskkill /f /im "$exe_name" </dev/null >/dev/null 2>&1
  fi
  if [ $ok -eq 1 ]; then
    echo "PASS: $case"
    passed=$((passed + 1))
    rm -rf "$work"
  else
    echo "FAIL: $case (work directory $work, output in $artefacts/$case.stdout and .stderr)"
    failed=$((failed + 1))
  fi
done

timeout 30 wine taskkill /f /im "$exe_name" </dev/null >/dev/null 2>&1
wineserver -k 2>/dev/null
echo "GUI: $passed passed, $failed failed"
[ $failed -eq 0 ]

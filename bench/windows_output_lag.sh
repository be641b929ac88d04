#!/usr/bin/env bash
# How much the windows slow down a run that prints a lot: runs an
# output-heavy program file with -OUTPUT under Wine, once with the windows
# and once with -QUIET (no windows), RUNS times each, and prints the median
# wall times and their ratio, and how long the windowed run went on after its
# LOG file was complete.
#
#   DISPLAY=:N bench/windows_output_lag.sh BUILD_DIR [LINES] [RUNS]
#
# BUILD_DIR is the windows preset's build-win (tav32.exe, spawn.exe,
# wintool.exe); its GUI test prefix (wineprefix-gui, made by tests/gui/run.sh)
# is used. LINES (default 5000) is what the command prints, besides a
# recursive directory listing of the Windows directory.
set -u
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [LINES] [RUNS]" >&2; exit 2; }
build=$(readlink -f "$1")
lines=${2:-5000}
runs=${3:-3}
[ -n "${DISPLAY:-}" ] || { echo "DISPLAY is not set" >&2; exit 2; }
export WINEPREFIX=$build/wineprefix-gui WINEDEBUG=-all
work=$(mktemp -d "${TMPDIR:-/tmp}/tav32lag.XXXXXX")
trap 'rm -rf "$work"' EXIT
cat >"$work/lag.tav" <<TAV
Echo Output-heavy run
wintool lines $lines
cmd /c dir /s C:\\windows
Echo End of the output-heavy run
TAV
wineserver -p 300 </dev/null >/dev/null 2>&1 || true

# One run; prints its wall time in seconds and, after a blank, how long the
# process lived after the LOG file had its last line.
one_run() {
  rm -f "$work/run.log"
  local start end logged=
  start=$(date +%s.%N)
  (cd "$work" && PATH=$build:$PATH timeout 600 wine "$build/tav32.exe" lag.tav -OUTPUT -LOG run.log "$@" \
     </dev/null >/dev/null 2>&1) &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$logged" ] && [ -f "$work/run.log" ] && grep -q "End of the output-heavy run" "$work/run.log"; then
      logged=$(date +%s.%N)
    fi
    sleep 0.05
  done
  wait "$pid"
  end=$(date +%s.%N)
  [ -n "$logged" ] || logged=$end
  echo "$(echo "$end - $start" | bc) $(echo "$end - $logged" | bc)"
}

median() { sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }

quiet=() windowed=() after=()
for _ in $(seq "$runs"); do
  read -r t _ < <(one_run -QUIET); quiet+=("$t")
  read -r t a < <(one_run); windowed+=("$t"); after+=("$a")
done
q=$(printf '%s\n' "${quiet[@]}" | median)
w=$(printf '%s\n' "${windowed[@]}" | median)
a=$(printf '%s\n' "${after[@]}" | median)
echo "lines printed: $lines plus the listing; median of $runs runs"
echo "without windows (-QUIET): ${q} s   (runs: ${quiet[*]})"
echo "with windows:             ${w} s   (runs: ${windowed[*]})"
echo "ratio: $(echo "scale=2; $w / $q" | bc)   the windowed run lived ${a} s after its LOG was complete"

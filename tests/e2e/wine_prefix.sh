#!/usr/bin/env bash
# Makes the Wine prefix that the Windows build's tests run in ($WINEPREFIX),
# once, and starts a Wine server and Wine's own services that stay up between
# the tests, so that each test does not pay for Wine's start-up. They are
# started here with no output attached: started by a test, they would hold on
# to its output and the test would not end until they do.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
# (A server that is already running keeps running; that is no failure.)
wineserver -p 600 </dev/null >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/.tav32-made" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.tav32-made"
fi
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
# The profile that the tests write into the Windows directory starts empty.
rm -f "$WINEPREFIX/drive_c/windows/win.ini"
test -d "$WINEPREFIX/drive_c/windows"

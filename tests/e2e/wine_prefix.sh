#!/usr/bin/env bash
# Makes the Wine prefix that the Windows build's tests run in ($WINEPREFIX),
# once, and starts a Wine server that stays up between the tests, so that each
# test does not pay for Wine's start-up.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
# Wine's background processes must not hold on to the test's output, or the
# test would not end until they do.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w
fi
# The profile that the tests write into the Windows directory starts empty.
rm -f "$WINEPREFIX/drive_c/windows/win.ini"
wineserver -p 600 </dev/null >/dev/null 2>&1
test -f "$WINEPREFIX/system.reg"

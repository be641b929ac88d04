#!/usr/bin/env bash
# CI for the Windows build's windows: cross-build tav32.exe and wintool.exe,
# start a virtual X server and run the GUI cases under Wine on it
# (tests/gui/run.sh). Screenshots land in build-win/gui-artefacts.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing.sh cmake ninja-build g++-mingw-w64-x86-64 wine wine64 libgtest-dev xvfb xdotool imagemagick nlohmann-json3-dev

start=$(date +%s)
cmake --preset windows -DTAV32_WERROR=ON
cmake --build --preset windows

# The first display from :97 (or $TAV32_GUI_DISPLAY) on that no X server
# holds.
display=${TAV32_GUI_DISPLAY:-97}
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
stop_xvfb() { kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; }
trap stop_xvfb EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || { echo "Xvfb did not start on :$display"; exit 1; }

status=0
DISPLAY=":$display" timeout 1200 bash tests/gui/run.sh build-win build-win/gui-artefacts || status=$?
# What a run cut short by the time-out left in Wine.
WINEPREFIX=$PWD/build-win/wineprefix-gui wineserver -k 2>/dev/null || true
echo "Windows GUI tests under Wine: $(( $(date +%s) - start )) s"
exit $status

#!/usr/bin/env bash
# CI for the Windows build: cross-build tav32.exe, spawn.exe and the unit
# tests with mingw-w64, then run the unit tests and the end-to-end program
# files under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing.sh cmake ninja-build g++-mingw-w64-x86-64 wine wine64 libgtest-dev perl nlohmann-json3-dev

start=$(date +%s)
cmake --preset windows -DTAV32_WERROR=ON
cmake --build --preset windows
status=0
timeout 1200 ctest --preset windows -j2 --timeout 600 || status=$?
# The Wine server the tests left running is no longer needed.
WINEPREFIX=$PWD/build-win/wineprefix wineserver -k 2>/dev/null || true
echo "Windows build and tests under Wine: $(( $(date +%s) - start )) s"
exit $status

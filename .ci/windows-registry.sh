#!/usr/bin/env bash
# CI: the Windows registry and profile layer. Runs after the Windows build:
# builds it with the "windows" preset when it is missing, then shows that a
# registry state that the POSIX build stores imports into the Windows registry
# (under Wine) as the Windows build writes it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing.sh cmake ninja-build g++ g++-mingw-w64-x86-64 wine wine64 locales nlohmann-json3-dev

[ -x build/tav32 ] || { cmake -B build -G Ninja && cmake --build build --target tav32; }
[ -f build-win/tav32.exe ] || { cmake --preset windows && cmake --build --preset windows --target tav32; }

bash tests/interop/registry_import.sh build/tav32 build-win/tav32.exe

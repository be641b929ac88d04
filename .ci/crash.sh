#!/usr/bin/env bash
# CI: a shorter crash-injection run (about 120 kills) against the build that
# .ci/run made. The full run is tests/crash/run.sh with its default count.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/tests/tav32_crash ] || { cmake -B build -G Ninja && cmake --build build; }
tests/crash/run.sh 120 build

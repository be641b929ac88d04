#!/usr/bin/env bash
# Crash injection: kills the interpreter (SIGKILL) at random moments while it
# changes a 20 MB INI file, writes into registry stores of 30,000 and 100,000
# values (in journal appends and in checkpoints) and
# synchronises a directory that it overwrites and deletes in, and checks after
# each kill that every file is its old or its new version, that no update the
# LOG file reported as done is missing, and that no temporary file is left
# once a later run has finished.
#
#   tests/crash/run.sh [KILLS] [BUILD-DIRECTORY] [SEED]
#
# KILLS defaults to 1,000 (the full run, five to ten minutes); the
# build directory (default: build) must hold tav32 and tests/tav32_crash.
set -euo pipefail
kills=${1:-1000}
build=$(readlink -f "${2:-build}")
seed=${3:-$RANDOM}
for f in "$build/tav32" "$build/tests/tav32_crash"; do
  [ -x "$f" ] || { echo "missing $f: build first (cmake --build $build)"; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tav32-crash.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/tests/tav32_crash" "$build/tav32" "$work" "$kills" "$seed"

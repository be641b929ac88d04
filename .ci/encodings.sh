#!/usr/bin/env bash
# CI: the text-encoding cases that need a locale of their own (Windows-1252,
# Shift_JIS). The suite skips them where the locale sources are missing; here
# they are installed and the cases must run and pass.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! dpkg -s locales >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq locales
fi
[ -x build/tav32 ] || { cmake -B build -G Ninja && cmake --build build; }
for case in cp1252_locale shift_jis_paths; do
  bash tests/e2e/run_case.sh build/tav32 "tests/programs/encoding/$case.tav"
done

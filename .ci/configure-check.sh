#!/usr/bin/env bash
# The configure choices a user meets: without GoogleTest and Google Benchmark
# the default configure succeeds and leaves tests and benchmarks out, asking
# for the tests then fails, and warnings are errors only when asked for.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "configure check: $*" >&2; exit 1; }
without=(-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)

cmake -S . -B "$dir/bare" -G Ninja "${without[@]}" >/dev/null || fail "a build without test libraries does not configure"
grep -q 'build tav32:' "$dir/bare/build.ninja" || fail "no interpreter target"
if grep -qE 'build (tav32_tests|core_bench):' "$dir/bare/build.ninja"; then fail "tests or benchmarks without their libraries"; fi
if grep -q -- '-Werror' "$dir/bare/build.ninja"; then fail "warnings are errors by default"; fi
if cmake -S . -B "$dir/asked" -G Ninja -DTAV32_TESTS=ON "${without[@]}" >/dev/null 2>&1; then
  fail "tests asked for without GoogleTest, and the configure succeeded"
fi
cmake -S . -B "$dir/strict" -G Ninja -DTAV32_WERROR=ON >/dev/null
grep -q -- '-Werror' "$dir/strict/build.ninja" || fail "TAV32_WERROR=ON does not make warnings errors"
grep -q 'build tav32_tests:' "$dir/strict/build.ninja" || fail "tests left out although GoogleTest is installed"
echo "configure check: passed"

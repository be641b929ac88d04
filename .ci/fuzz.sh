#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang with the address and undefined-
# behaviour sanitizers) and runs each from its seed corpus for a bounded time,
# two at a time. A crash, a sanitizer report, a broken property or a hang
# fails the script; the input that caused it is kept in build-fuzz/artifacts/.
# FUZZ_SECONDS sets the time per harness (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/bootstrap.sh clang libclang-rt-14-dev

seconds=${FUZZ_SECONDS:-60}
cmake --preset fuzz
cmake --build build-fuzz

out=build-fuzz/runs
mkdir -p "$out" build-fuzz/artifacts
run_one() {
  local name=$1
  local dict=()
  [ -f "fuzz/$name.dict" ] && dict=("-dict=fuzz/$name.dict")
  mkdir -p "$out/corpus-$name"
  "build-fuzz/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$name-" "${dict[@]}" \
    "$out/corpus-$name" "fuzz/corpus/$name" >"$out/$name.log" 2>&1
}

names=()
for dir in fuzz/corpus/*/; do names+=("$(basename "$dir")"); done
failed=()
for ((i = 0; i < ${#names[@]}; i += 2)); do
  pids=()
  for name in "${names[@]:i:2}"; do
    run_one "$name" &
    pids+=("$!:$name")
  done
  for entry in "${pids[@]}"; do
    wait "${entry%%:*}" || failed+=("${entry#*:}")
  done
done

for name in "${names[@]}"; do
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log" | tail -1)
  echo "fuzz $name: ${runs:-?} executions in ${seconds}s"
done
for name in "${failed[@]}"; do
  echo "fuzz $name FAILED:" >&2
  grep -v '^#' "$out/$name.log" | tail -40 >&2
done
[ ${#failed[@]} -eq 0 ]

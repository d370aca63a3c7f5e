#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds (default 60) from the committed corpus in fuzz/corpus,
# and prints the runs each made. The committed corpus is only read: what a run finds goes to
# build/fuzz-work/<target>, and an input that breaks a property to build/fuzz-artifacts/.
#   tools/fuzz.sh 3       # what tools/test.sh does
#   tools/fuzz.sh 1800    # a long run
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds="${1:-60}"
[ -d build/clang/fuzz ] || { echo "fuzz: build/clang is not built (tools/build.sh)" >&2; exit 1; }
mkdir -p build/fuzz-artifacts
status=0
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")
  work="build/fuzz-work/$target"
  mkdir -p "$work"
  log="build/fuzz-work/$target.log"
  "build/clang/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="build/fuzz-artifacts/$target-" "$work" "$corpus" >"$log" 2>&1
  code=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$code" -eq 0 ]; then
    echo "fuzz: $target: ${runs:-?} runs, no failure"
  else
    echo "fuzz: $target: FAILED after ${runs:-?} runs (exit $code); see $log"
    grep -E "property broken|ERROR|SUMMARY" "$log" | head -5
    status=1
  fi
done
exit $status

#!/usr/bin/env bash
# Installs what is missing, builds every target (and the clang build) and runs every test: native
# unit tests (also under ASan and UBSan), the unit tests as a Windows program under Wine (64-bit,
# and 32-bit under emulation), the end-to-end tests on Linux (real JVM) and Windows (Wine under
# Xvfb; for the 32-bit launcher a smoke set under emulation), the ARM64 executables' inspection,
# and each fuzz target briefly.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tools/setup.sh || exit 1
tools/build.sh || exit 1

mkdir -p build/test-logs
total_passed=0
total_failed=0
status=0
# The 32-bit build runs its unit tests and a smoke set under emulation; the ARM64 build is
# inspected as files only.
declare -A only=([win32]='^(unit|e2e_win32_)' [winarm64]='^e2e_winarm64_')
for dir in linux win64 win32 winarm64; do
  echo "test: $dir"
  log="build/test-logs/$dir.log"
  ctest --test-dir "build/$dir" --output-on-failure -j "${JOBS:-2}" --timeout 900 \
    ${only[$dir]:+-R "${only[$dir]}"} | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$summary" ]; then
    failed=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    count=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
    total_passed=$((total_passed + count - failed))
    total_failed=$((total_failed + failed))
  else
    status=1
  fi
done
echo "test: fuzz (a few seconds a target)"
if tools/fuzz.sh 3 | tee build/test-logs/fuzz.log; then
  total_passed=$((total_passed + 1))
else
  total_failed=$((total_failed + 1))
  status=1
fi
echo "all: $total_passed passed, $total_failed failed"
[ "$total_passed" -gt 0 ] || status=1
exit $status

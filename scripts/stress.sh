#!/usr/bin/env bash
# Runs the crash test many times in a row under AddressSanitizer and UndefinedBehaviorSanitizer,
# where the writer is slowest and a kill lands between the most steps; each run draws new kill
# moments. Not part of CI: run it after changing the store's writes or backups.
#   scripts/stress.sh [runs]     (30 by default)
# A failing run prints its seed and the command that repeats it.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-30}"
scripts/install-deps.sh
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$(nproc)" --target tst_crash

passed=0
failed=0
for ((run = 1; run <= runs; run++)); do
    if ctest --preset asan -R '^tst_crash$' --output-on-failure >"build/asan/stress-$run.log" 2>&1; then
        passed=$((passed + 1))
        echo "run $run: passed"
    else
        failed=$((failed + 1))
        echo "run $run: FAILED (build/asan/stress-$run.log)"
        grep -E 'FAIL!|to repeat them' "build/asan/stress-$run.log" || true
    fi
done
echo "stress: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

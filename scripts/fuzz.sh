#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time on a copy of its seeds (those of
# fuzz/corpus/<target>, and those the target makes itself, such as diary files), so the
# repository never gains corpus files. Prints the inputs each target ran; fails on any finding.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

# The files the targets write (diary files, synced to the disk after each write) go to memory where
# there is a memory file system: on a disk the syncs would take most of the time.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
findings="build/fuzz/findings"
failed=0
fuzzer=build/fuzz/fuzz/brimvale_fuzz
for target in $(BRIMVALE_FUZZ_TARGET=list "$fuzzer"); do
    mkdir -p "$work/$target/corpus" "$work/$target/found"
    if [ -d "fuzz/corpus/$target" ]; then
        cp "fuzz/corpus/$target/"* "$work/$target/corpus/"
    fi
    log="$work/$target/log"
    if ! BRIMVALE_FUZZ_TARGET="$target" BRIMVALE_FUZZ_SEEDS="$work/$target/corpus" "$fuzzer" >"$log" 2>&1; then
        failed=1
        printf '%-18s FAILED to make its seeds:\n' "$target"
        tail -n 30 "$log"
        continue
    fi
    if BRIMVALE_FUZZ_TARGET="$target" ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        "$fuzzer" -max_total_time="$seconds" -timeout=10 \
        -artifact_prefix="$work/$target/found/" "$work/$target/corpus" >"$log" 2>&1; then
        runs="$(grep -oE 'Done [0-9]+ runs' "$log" | tail -n 1 | grep -oE '[0-9]+' || echo '?')"
        printf '%-18s %12s inputs fuzzed, no finding\n' "$target" "$runs"
    else
        failed=1
        mkdir -p "$findings/$target"
        cp "$work/$target/found/"* "$findings/$target/" 2>/dev/null || true
        printf '%-18s FAILED; the last lines of its log:\n' "$target"
        tail -n 30 "$log"
        echo "The input that failed is in $findings/$target/; keep it in fuzz/regressions/$target/."
    fi
done
exit "$failed"

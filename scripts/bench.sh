#!/usr/bin/env bash
# Builds the benchmark in Release and runs it: every action of the section window on diaries of
# 1,000 to 100,000 entries against its floor, then start-up time and peak memory against a bare
# Qt program, then the export of a full diary as a book and a large import. Arguments go to the
# benchmark (e.g. --reps 41 --sizes 32767; --book-only, last, for the book alone).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)" >/dev/null
exec build/bench/bench/brimvale_bench "$@"

#!/usr/bin/env bash
# Builds Brimvale and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target brimvale -j"$(nproc)"
exec build/default/brimvale "$@"

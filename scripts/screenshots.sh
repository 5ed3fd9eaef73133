#!/usr/bin/env bash
# Renders the README's pictures of the main, section (also locked and unlocked), find, History,
# Bring Back Entries, About and exit windows under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target brimvale brimvale_screenshots -j"$(nproc)"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" build/default/brimvale_screenshots docs/images

#!/usr/bin/env bash
# Builds the Debian package in Release, unpacks it into a scratch root, starts the unpacked
# program under Xvfb and checks that its main window appears.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls -t build/release/brimvale_*.deb | head -n 1)
echo "Package: $deb"
dpkg-deb --field "$deb" Package Version Depends

scratch=$(mktemp -d)
trap 'kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
test -L "$scratch/root/usr/bin/brimvale"
test -f "$scratch/root/usr/lib/brimvale/defaultdiary.dll"

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
mkdir -m 700 "$scratch/home" "$scratch/runtime"
HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" DISPLAY="$display" \
    "$scratch/root/usr/bin/brimvale" >/dev/null 2>&1 &
app=$!
for _ in $(seq 1 50); do
    if DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -q '"Brimvale v2.05"'; then
        echo "The installed program shows its main window."
        exit 0
    fi
    sleep 0.2
done
echo "The installed program showed no main window." >&2
exit 1

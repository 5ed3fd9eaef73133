#!/usr/bin/env bash
# Builds Brimvale in Release, installs it into a temporary prefix and builds the Debian package.
# Both are then tried as a user would under Xvfb: the installed program and the unpacked package
# each show their main window, and on the installed one Continue into a section puts the starter
# diary in place.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
command -v xdotool >/dev/null || { echo "package.sh needs xdotool (apt-get install xdotool)" >&2; exit 1; }
cmake --preset package >/dev/null
cmake --build --preset package -j"$(nproc)"
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls -t build/package/brimvale_*.deb | head -n 1)

scratch=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
sleep 1

# Starts a program with a home of its own and waits for its main window (its id in $window).
start() {
    local program=$1 home=$2
    mkdir -p -m 700 "$home" "$home/runtime"
    HOME="$home" XDG_RUNTIME_DIR="$home/runtime" "$program" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 1 50); do
        window=$(xdotool search --name '^Brimvale v2\.05$' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && return 0
        sleep 0.2
    done
    echo "no main window from $program" >&2
    return 1
}

echo "== cmake --install into a temporary prefix"
cmake --install build/package --prefix "$scratch/prefix" >/dev/null
test -L "$scratch/prefix/bin/brimvale"
start "$scratch/prefix/bin/brimvale" "$scratch/home1"
echo "The installed program shows its main window."
# Keyboard only: Tab from Continue to "Spell Section", Space chooses it, Alt+C continues.
xdotool windowfocus --sync "$window"
xdotool key --window "$window" Tab space alt+c
diary="$scratch/home1/.local/share/Brimvale/updatediary.dll"
for _ in $(seq 1 50); do [ -s "$diary" ] && break; sleep 0.2; done
cmp "$diary" "$scratch/prefix/lib/brimvale/defaultdiary.dll"
echo "Continue found the starter diary beside the installed program and copied it into place."
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true

echo "== Debian package $deb"
dpkg-deb --field "$deb" Package Version Depends
dpkg-deb -x "$deb" "$scratch/root"
test -L "$scratch/root/usr/bin/brimvale"
test -f "$scratch/root/usr/lib/brimvale/defaultdiary.dll"
test -f "$scratch/root/usr/share/applications/org.brimvale.Brimvale.desktop"
test -f "$scratch/root/usr/share/metainfo/org.brimvale.Brimvale.metainfo.xml"
test -f "$scratch/root/usr/share/icons/hicolor/scalable/apps/org.brimvale.Brimvale.svg"
test -f "$scratch/root/usr/share/icons/hicolor/48x48/apps/org.brimvale.Brimvale.png"
start "$scratch/root/usr/bin/brimvale" "$scratch/home2"
echo "The unpacked package shows its main window."

# On a machine of your own (e.g. a fresh container) the package can be installed for real.
if [ "${BRIMVALE_INSTALL_PACKAGE:-0}" = 1 ]; then
    echo "== apt-get install $deb"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get install -y -qq "./$deb" >/dev/null
    start /usr/bin/brimvale "$scratch/home3"
    echo "The installed package shows its main window."
fi

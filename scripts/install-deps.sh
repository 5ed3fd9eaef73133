#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Brimvale need, when missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins libgl-dev
    libsqlcipher-dev sqlcipher sqlite3 libssl-dev libsodium-dev
    libcsv-dev libcmark-dev poppler-utils
    fonts-dejavu-core
    xvfb xauth x11-utils xdotool dbus-daemon
    desktop-file-utils appstream dpkg-dev file xdg-utils
    clang libclang-rt-14-dev clang-format-14
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

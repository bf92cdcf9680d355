#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and `make run` need, when any is missing.
# Safe to run again: it does nothing when everything is there.
#   install-deps.sh        what the build, the tests and `make run` need
#   install-deps.sh fuzz   that, and clang with its libFuzzer for `make fuzz`
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format ccache
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
    qt6-qpa-plugins libbenchmark-dev libx11-dev
    xvfb xauth x11-utils xdotool imagemagick fonts-noto-cjk
    file desktop-file-utils appstream lintian
    libqt6sql6-sqlite libqt6sql6-psql postgresql poppler-utils
)
if [ "${1:-}" = fuzz ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "Missing packages (${missing[*]}) and no sudo: install them as root, then try again." >&2
    exit 1
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

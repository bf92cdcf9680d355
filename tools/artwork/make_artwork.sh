#!/usr/bin/env bash
# Redraws the committed artwork in resources/runtime. Run from anywhere after a build:
#   tools/artwork/make_artwork.sh [build folder]
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$top/build/dev}"
cmake --build "$build" --target pellix-artwork
QT_QPA_PLATFORM=offscreen "$build/bin/pellix-artwork" "$top/resources/runtime"

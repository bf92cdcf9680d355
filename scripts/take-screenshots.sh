#!/usr/bin/env bash
# Takes the screenshots shipped with the package (resources/screenshots) from the real windows
# under a virtual X server. Run after a build:
#   scripts/take-screenshots.sh [build folder]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/dev}"
out="$top/resources/screenshots"
mkdir -p "$out"
export HOME_FOR_SHOTS
HOME_FOR_SHOTS="$(mktemp -d)"
trap 'rm -rf "$HOME_FOR_SHOTS"' EXIT

# name and launcher button index (empty: the launcher itself)
shots=("launcher:" "manual:4" "cny-tester:2" "hardware-test:0")

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -euo pipefail
    exe="$1"; out="$2"; shift 2
    for shot in "$@"; do
        name="${shot%%:*}"; index="${shot#*:}"
        XDG_CONFIG_HOME="$HOME_FOR_SHOTS" XDG_RUNTIME_DIR="$HOME_FOR_SHOTS" "$exe" & pid=$!
        launcher="$(xdotool search --sync --onlyvisible --name "^HOPPER SW TOOL$" | head -1)"
        sleep 1
        if [ -n "$index" ]; then
            # The picture buttons stand in one column, 48 pixels apart, 248 pixels from the left.
            xdotool mousemove --window "$launcher" 290 $((48 * index + 24)) click 1
            sleep 2
            window="$(xdotool search --onlyvisible --pid "$pid" | tail -1)"
        else
            window="$launcher"
        fi
        xdotool mousemove 1270 1010  # no tooltip or hover in the picture
        sleep 1
        import -window "$window" "$out/$name.png"
        kill -TERM "$pid"; wait "$pid" || true
    done
' _ "$build/bin/pellix-kit" "$out" "${shots[@]}"
ls -l "$out"

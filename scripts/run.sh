#!/usr/bin/env bash
# Starts the tool. Without a display it runs under a virtual X server, saves a screenshot of the
# launcher and says where, so a headless machine still shows it working.
set -euo pipefail
exe="$1"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$exe"
fi

shot="${PELLIX_SCREENSHOT:-$PWD/screenshots/launcher.png}"
mkdir -p "$(dirname "$shot")"
echo "No display found: starting the tool under a virtual X server (xvfb-run)."
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" & pid=$!
    sleep 3
    import -window root "$2"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
' _ "$exe" "$shot"
echo "Screenshot of the launcher saved to $shot"

#!/usr/bin/env bash
# `make demo` in short: the emulator and the tool start, every port exists and answers, and once
# the tool stops nothing is left running and the ports are gone.
set -euo pipefail
build="$1"
source_dir="$2"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT

status=0
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
    "$source_dir/scripts/demo.sh" "$build" --smoke >"$out" 2>&1 || status=$?
cat "$out"

# Whatever happened, nothing the demo started may outlive it.
left=0
for what in emulator tool; do
    pid="$(sed -n "s/^$what pid //p" "$out")"
    if [ -z "$pid" ]; then
        echo "FAIL: no $what started"
        left=1
    elif kill -0 "$pid" 2>/dev/null; then
        echo "FAIL: the $what (pid $pid) is still running"
        kill "$pid"
        left=1
    fi
done
[ "$status" -eq 0 ] || { echo "FAIL: the demo ended with status $status"; exit 1; }
[ "$left" -eq 0 ] || exit 1
[ "$(grep -c '^ok: ' "$out")" -eq 4 ] || { echo "FAIL: not every port answered"; exit 1; }
ports="$(sed -n 's/^ports in //p' "$out")"
[ ! -e "$ports" ] || { echo "FAIL: $ports is left behind"; exit 1; }
echo "demo started, answered and stopped cleanly"

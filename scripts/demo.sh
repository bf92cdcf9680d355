#!/usr/bin/env bash
# make demo: four emulated hoppers, one per interface, and the tool with COM5 to COM8 mapped to
# them. Stopping the tool stops the hoppers. Without a display it runs under a virtual X server,
# drives each window once and saves a screenshot of it under screenshots/.
#   scripts/demo.sh BUILD_DIR            interactive (needs a display)
#   scripts/demo.sh BUILD_DIR --headless what `make demo` runs when there is no display
#   scripts/demo.sh BUILD_DIR --smoke    the test's quick look: every port answers, then stop
set -euo pipefail
build="$1"
mode="${2:-}"
emulator="$build/bin/pellix-hopper-emulator"
tool="$build/bin/pellix-kit"
here="$(cd "$(dirname "$0")" && pwd)"

if [ -z "$mode" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running the demo under a virtual X server (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$build" --headless
fi

# Under the virtual X server the windows must really be drawn there, whatever the caller set.
[ -n "$mode" ] && unset QT_QPA_PLATFORM

work="$(mktemp -d "${TMPDIR:-/tmp}/pellix-demo.XXXXXX")"
emulator_pid=""
tool_pid=""
cleanup() {
    # Only what this script started, by its process id.
    if [ -n "$tool_pid" ]; then
        kill "$tool_pid" 2>/dev/null || true
        wait "$tool_pid" 2>/dev/null || true
    fi
    if [ -n "$emulator_pid" ]; then
        kill "$emulator_pid" 2>/dev/null || true
        wait "$emulator_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The demo keeps its own settings, so it never touches the remembered port of a real bench;
# the coin number setting window opens its remembered port at once, so that is COM5.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Pellix"
printf '[Setting]\nCOMPORT=5\n' >"$XDG_CONFIG_HOME/Pellix/Pellix kit.conf"

links="$work/ports"
echo "ports in $links"
if [ -n "$mode" ]; then
    "$emulator" --link-dir "$links" --power-on all </dev/null >"$work/emulator.log" 2>&1 &
else
    # Commands typed in this terminal go to the emulator (help lists them).
    "$emulator" --link-dir "$links" --power-on all 0<&0 &
fi
emulator_pid=$!
echo "emulator pid $emulator_pid"

for _ in $(seq 100); do
    [ -e "$links/coinsetting" ] && [ -e "$links/tzv" ] && [ -e "$links/cny" ] &&
        [ -e "$links/hwtest" ] && break
    kill -0 "$emulator_pid" 2>/dev/null || { echo "The emulator did not start." >&2; exit 1; }
    sleep 0.1
done
export PELLIX_COM5="$links/coinsetting" PELLIX_COM6="$links/tzv"
export PELLIX_COM7="$links/cny" PELLIX_COM8="$links/hwtest"

cat <<EOF

Four emulated hoppers are switched on. In the tool (launcher "HOPPER SW TOOL"):
  TZV Protocol Coin Number Setting  opens COM5 by itself: the coin numbers arrive; edit, Save
  TZV Protocol Testing              pick COM6, then Start up / Dispense
  China Interface Testing           pick COM7 (Address 0), then any command button
  Hopper HardWare Testing           pick COM8: the self-test runs; DIP_Finish, Read_Flash
Type emulator commands here (help lists them). Closing the tool stops the hoppers.

EOF

if [ "$mode" = --smoke ]; then
    "$tool" &
    tool_pid=$!
    echo "tool pid $tool_pid"
    # shellcheck source=scripts/demo-drive.sh
    source "$here/demo-drive.sh"
    wait_window "HOPPER SW TOOL" >/dev/null
    smoke_ports "$links" "$work/emulator.log"
    stop_tool
    exit 0
fi

if [ -z "$mode" ]; then
    "$tool" &
    tool_pid=$!
    wait "$tool_pid" || true
    tool_pid=""
    exit 0
fi

# --- headless: drive each window once and take its picture ---------------------------------
shots="${PELLIX_SCREENSHOTS:-$PWD/screenshots}"
mkdir -p "$shots"
# shellcheck source=scripts/demo-drive.sh
source "$here/demo-drive.sh"
drive_all "$tool" "$shots"
echo "Screenshots saved under $shots:"
ls -1 "$shots"/demo-*.png | sed 's/^/  /'
echo "Emulator log:"
sed 's/^/  /' "$work/emulator.log"

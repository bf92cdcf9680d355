# Drives the real tool under a virtual X server for `make demo` (sourced by demo.sh): opens each
# window from the launcher, picks its port, presses a few buttons and saves a screenshot.
# Positions are the windows' own layout in twips (15 twips = 1 pixel).

px() { echo $(($1 / 15)); }

# Prints the id of the visible window titled exactly $1, waiting up to 30 s for it (a first
# start on a busy machine is slow).
wait_window() {
    local id
    for _ in $(seq 300); do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)" || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "window \"$1\" did not appear" >&2
    return 1
}

# click WINDOW X_TWIPS Y_TWIPS: a left click at the centre of a control's top-left area.
click() {
    xdotool mousemove --window "$1" "$(px "$2")" "$(px "$3")" click 1
    sleep 0.4
}

# pick_entry WINDOW X_TWIPS Y_TWIPS N: opens a drop-down list and takes its entry N (1-based)
# with the keyboard of its open list, so only the chosen entry is ever activated.
pick_entry() {
    click "$1" "$2" "$3"
    local i
    for ((i = 1; i < $4; i++)); do
        xdotool key Down
    done
    xdotool key Return
    sleep 0.6
}

type_into() {
    click "$1" "$2" "$3"
    xdotool key ctrl+a
    xdotool type --delay 30 "$4"
}

shot() {
    sleep 0.8
    import -window "$1" "$2"
    echo "  $(basename "$2")"
}

start_tool() {
    "$1" &
    tool_pid=$!
    launcher="$(wait_window "HOPPER SW TOOL")"
}

stop_tool() {
    kill "$tool_pid" 2>/dev/null || true
    wait "$tool_pid" 2>/dev/null || true
    tool_pid=""
}

# open_from_launcher BUTTON_INDEX TITLE: the launcher's image buttons sit one above the other.
open_from_launcher() {
    click "$launcher" $((3720 + 660)) $((720 * $1 + 360))
    window="$(wait_window "$2")"
}

drive_all() {
    local tool="$1" shots="$2"
    echo "Driving the tool:"

    start_tool "$tool"
    shot "$launcher" "$shots/demo-launcher.png"

    # Coin number setting: opens its remembered COM5 at once and takes the power-on block.
    open_from_launcher 3 "Hopper Setting Tool"
    sleep 1
    # Channel 1 := 1234, Save: the hopper acknowledges and sends its numbers back. (The window
    # has a menu bar above its form, hence the offset.)
    type_into "$window" 2220 840 1234
    click "$window" 3300 4875
    shot "$window" "$shots/demo-coinsetting.png"
    stop_tool

    start_tool "$tool"
    open_from_launcher 1 "TZV Protocol Simulation"
    pick_entry "$window" $((1320 + 300)) $((2880 + 150)) 6
    click "$window" $((240 + 500)) $((480 + 180))   # Start up
    click "$window" $((2400 + 500)) $((480 + 180))  # Dispense
    shot "$window" "$shots/demo-tzv.png"
    stop_tool

    start_tool "$tool"
    open_from_launcher 2 "HOPPER CNY MODE"
    pick_entry "$window" $((1440 + 300)) $((3360 + 150)) 7
    cny_buttons
    shot "$window" "$shots/demo-cny.png"
    stop_tool

    start_tool "$tool"
    open_from_launcher 0 "PX_TEST"
    pick_entry "$window" $((1035 + 300)) $((1440 + 150)) 8
    sleep 1
    click "$window" $((120 + 400)) $((5760 + 150))  # DIP_Finish
    hwtest_read_flash
    shot "$window" "$shots/demo-hwtest.png"
    stop_tool
}

# CNY: a status query, then a payout of 3 coins with a reply per coin, then the remain coins.
cny_buttons() {
    click "$window" $((120 + 600)) $((1440 + 250))  # Request Status
    type_into "$window" $((2760 + 600)) $((720 + 250)) 3
    click "$window" $((120 + 600)) $((840 + 250))   # PayoutCoin Reply
    sleep 0.5
    click "$window" $((120 + 600)) $((2040 + 250))  # Request Remain Coin
}

hwtest_read_flash() {
    click "$window" $((9360 + 600)) $((3870 + 600 + 180))  # Read_Flash
}

# expect_reply LINK HEX_SENT HEX_EXPECTED: what the hopper behind LINK answers to the bytes.
expect_reply() {
    local link="$1" sent="$2" expected="$3" got
    exec 3<>"$link"
    stty -F "$link" raw -echo 2>/dev/null || true
    [ -n "$sent" ] && printf "$(echo "$sent" | sed 's/\([0-9A-Fa-f]\{2\}\) */\\x\1/g')" >&3
    got="$(timeout 3 head -c "$(($(echo "$expected" | wc -w)))" <&3 | od -An -tx1 | tr -s ' \n' ' ')"
    exec 3>&-
    if [ "$(echo $got)" != "$(echo "$expected" | tr 'A-F' 'a-f')" ]; then
        echo "FAIL: $link answered \"$got\", expected \"$expected\"" >&2
        return 1
    fi
    echo "ok: $(basename "$link") answers"
}

# The demo's four ports exist and answer the way their windows expect.
smoke_ports() {
    local links="$1" log="$2"
    expect_reply "$links/coinsetting" "" "3A 01 00 04 50 58 33 30"
    expect_reply "$links/cny" "05 10 00 11 00 26" "05 01 00 04 00 0A"
    expect_reply "$links/hwtest" "" "3A 1F 2E 08"
    exec 3<>"$links/tzv"
    printf '\x80' >&3
    sleep 0.5
    exec 3>&-
    grep -q '\[tzv\] start-up' "$log" || { echo "FAIL: tzv did not take the start-up" >&2; return 1; }
    echo "ok: tzv answers"
}

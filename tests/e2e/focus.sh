#!/usr/bin/env bash
# End-to-end checks that afficheur-display's windows never take the keyboard from the cash
# register: on a virtual X server with openbox, a stand-in for the register (xev, active, printing
# every key it gets) must stay active and receive what is typed (a barcode scanner types as a
# keyboard does) whatever the display's window does.
#
# Usage: focus.sh CASE
#   window      the plain window: at start, moved, resized, shown a message, clicked
#   fullscreen  the full-screen window on the customer's monitor beside the cashier's: at start,
#               the customer's monitor unplugged and plugged back, a change of resolution,
#               a click on the customer's screen
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# The display's ($display_pid) shown windows.
display_windows() { xdotool search --onlyvisible --pid "$display_pid" --name afficheur-display 2>/dev/null; }
display_shown() { [ -n "$(display_windows)" ]; }
display_hidden() { ! display_shown; }

# display_at WxH+X+Y: a shown window of the display has that size at that place.
display_at() {
    local w
    for w in $(display_windows); do
        [ "$(xwininfo -id "$w" 2>/dev/null | awk '
            /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
            /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print w "x" h "+" x "+" y }')" = "$1" ] &&
            DISPLAY_WID=$w && return 0
    done
    return 1
}

# start_display OPTION...: afficheur-display with a window, on a free loopback port.
start_display() {
    e2e_spawn display "$AFFICHEUR_DISPLAY" --log --listen 127.0.0.1:0 "$@"
    display_pid=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" grep -qs '"kind":"listening"' "$E2E_TMP/display.out" ||
        e2e_fail "the display did not start"
    display_port=$(sed -n 's/.*"address":"127\.0\.0\.1:\([0-9]*\)".*/\1/p' "$E2E_TMP/display.out" | head -n 1)
}

send() { "$AFFICHEUR_SEND" --to "127.0.0.1:$display_port" "$@" >/dev/null || e2e_fail "afficheur-send $*"; }

# click X Y: a press of the first button at that place of the whole screen, then back over the
# register (openbox focuses under the pointer only when told to, but a pointer left over the
# display must not matter either way).
click() { xdotool mousemove --sync "$1" "$2" click 1; sleep 0.5; }

case_window() {
    e2e_start_x
    e2e_start_register 300x200+700+600
    start_display
    e2e_wait_until "$E2E_PATIENCE" display_shown || e2e_fail "the display's window did not appear"
    DISPLAY_WID=$(display_windows | head -n 1)
    sleep 1  # what a window manager does with a new window, it has done by now
    e2e_register_keeps_keyboard "at the display's start" 12

    xdotool windowmove --sync "$DISPLAY_WID" 40 40
    xdotool windowsize --sync "$DISPLAY_WID" 640 240
    send "Bonjour"
    sleep 0.5
    e2e_register_keeps_keyboard "after a move, a resize and a message" 34

    click 200 140
    e2e_register_keeps_keyboard "after a click on the display's window" 56
}

case_fullscreen() {
    command -v xrandr >/dev/null 2>&1 || e2e_missing "xrandr is not installed (x11-xserver-utils)"
    E2E_SCREEN=3200x1080x24 e2e_start_x
    xrandr --setmonitor CASHIER 1920/508x1080/286+0+0 screen >/dev/null ||
        e2e_fail "xrandr cannot make the cashier's monitor"
    xrandr --setmonitor CUSTOMER 1280/339x1024/271+1920+0 none >/dev/null ||
        e2e_fail "xrandr cannot make the customer's monitor"
    xrandr --output screen --primary >/dev/null 2>&1 || true
    e2e_log "monitors: $(xrandr --listmonitors | tail -n +2 | tr -s ' ' | paste -sd ';')"
    e2e_start_register 300x200+700+600

    start_display --fullscreen
    e2e_wait_until "$E2E_PATIENCE" display_at 1280x1024+1920+0 ||
        e2e_fail "the window does not cover the customer's monitor: $(display_windows)"
    sleep 1
    e2e_register_keeps_keyboard "at the display's start" 12

    xrandr --delmonitor CUSTOMER >/dev/null || e2e_fail "xrandr cannot remove the monitor"
    e2e_wait_until "$E2E_PATIENCE" display_hidden || e2e_fail "the window did not hide"
    xrandr --setmonitor CUSTOMER 1280/339x1024/271+1920+0 none >/dev/null
    e2e_wait_until "$E2E_PATIENCE" display_at 1280x1024+1920+0 ||
        e2e_fail "the window did not come back on the customer's monitor"
    sleep 1
    e2e_register_keeps_keyboard "after the customer's monitor came back" 34

    # The customer's monitor at another resolution.
    xrandr --delmonitor CUSTOMER >/dev/null
    xrandr --setmonitor CUSTOMER 1024/271x768/203+1920+0 none >/dev/null
    e2e_wait_until "$E2E_PATIENCE" display_at 1024x768+1920+0 ||
        e2e_fail "the window did not follow the new resolution"
    sleep 1
    e2e_register_keeps_keyboard "after a change of resolution" 56

    send "Bonjour"
    click 2400 400
    e2e_register_keeps_keyboard "after a message and a click on the customer's screen" 78
}

e2e_init
e2e_require_x
e2e_require_display
[ -n "${AFFICHEUR_SEND:-}" ] && [ -x "$AFFICHEUR_SEND" ] ||
    e2e_missing "afficheur-send is not built (${AFFICHEUR_SEND:-unset})"
case "${1:-}" in
window) case_window ;;
fullscreen) case_fullscreen ;;
*) e2e_fail "unknown case '${1:-}'" ;;
esac
echo "PASS: $1"

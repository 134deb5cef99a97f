#!/usr/bin/env bash
# End-to-end checks of the window-position keeper: the built afficheur on a virtual X server
# with openbox, moved and maximized from outside, its record read from [PositionFenetre] of
# the settings file, and the window found where it was left after a restart.
#
# Usage: position.sh CASE
#   move       a moved window is saved (outer bounds in twips, state 0, visible) and reopens
#              at the same place and width
#   maximized  a window left maximized reopens maximized
#   idle       a window left alone causes no write after its first save
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# The keeper ticks once a second; its first tick restores, the later ones save.
TICK_PATIENCE=10

# outer_geometry: "LEFT TOP WIDTH HEIGHT" of the client window in pixels (it draws its own
# frame, so the X window is the whole outer window).
outer_geometry() {
    xwininfo -id "$E2E_WID" | awk '
        /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
        END { print x, y, w, h }'
}

# saved_positions_are LEFT TOP: the saved record starts with these outer bounds in twips.
saved_positions_are() {
    local value
    value=$(e2e_ini_get PositionFenetre Positions) || return 1
    [ "$(echo "$value" | cut -d'|' -f1 | tr -d ' ')" = "$1" ] &&
        [ "$(echo "$value" | cut -d'|' -f2 | tr -d ' ')" = "$2" ]
}

state_saved_is() { [ "$(e2e_ini_get PositionFenetre PositionsTaille | tr -d ' ')" = "$1" ]; }
at_pixels() { [ "$(outer_geometry | cut -d' ' -f1-2)" = "$1 $2" ]; }
maximized() { e2e_wm_state | grep -q _NET_WM_STATE_MAXIMIZED_VERT; }

start() {
    e2e_require_x
    e2e_require_client
    e2e_start_x
    e2e_write_ini "[system]" "admin=JQ"
}

case_move() {
    start
    e2e_start_client
    xdotool windowmove "$E2E_WID" 300 200
    e2e_wait_until "$TICK_PATIENCE" saved_positions_are 4500 3000 ||
        e2e_fail "no record of the move: Positions=$(e2e_ini_get PositionFenetre Positions)"
    read -r _ _ width height < <(outer_geometry)
    local value
    value=$(e2e_ini_get PositionFenetre Positions)
    [ "$value" = "4500| 3000| $((width * 15))| $((height * 15))" ] ||
        e2e_fail "Positions is '$value', not the outer bounds in number text"
    state_saved_is 0 || e2e_fail "PositionsTaille is not 0"
    [ "$(e2e_ini_get PositionFenetre Visible)" = "OUI" ] || e2e_fail "Visible is not OUI"

    e2e_stop "$E2E_CLIENT_PID"
    e2e_start_client
    e2e_wait_until "$TICK_PATIENCE" at_pixels 300 200 ||
        e2e_fail "reopened at $(outer_geometry), not at 300 200"
    read -r _ _ reopenedWidth _ < <(outer_geometry)
    [ "$reopenedWidth" = "$width" ] || e2e_fail "reopened $reopenedWidth wide, not $width"
    e2e_height_near 3180 || e2e_fail "the administrator layout's height was not kept"
}

case_maximized() {
    start
    command -v wmctrl >/dev/null 2>&1 || e2e_missing "wmctrl is not installed"
    e2e_start_client
    wmctrl -i -r "$E2E_WID" -b add,maximized_vert,maximized_horz
    e2e_wait_until "$TICK_PATIENCE" state_saved_is 2 || e2e_fail "the maximized state was not saved"
    e2e_stop "$E2E_CLIENT_PID"
    e2e_start_client
    e2e_wait_until "$TICK_PATIENCE" maximized || e2e_fail "the window did not reopen maximized"
}

case_idle() {
    start
    e2e_start_client
    e2e_wait_until "$TICK_PATIENCE" e2e_ini_get PositionFenetre Visible >/dev/null ||
        e2e_fail "the first save never came"
    sleep 1.5  # past any save that a last settling of the window may cause
    local before after
    before=$(stat -c '%Y.%y %i %s' "$E2E_INI"; md5sum <"$E2E_INI")
    sleep 4    # four ticks
    after=$(stat -c '%Y.%y %i %s' "$E2E_INI"; md5sum <"$E2E_INI")
    [ "$before" = "$after" ] || e2e_fail "the settings file changed while the window was left alone"
}

e2e_init
case "${1:-}" in
    move) case_move ;;
    maximized) case_maximized ;;
    idle) case_idle ;;
    *) e2e_fail "unknown case '${1:-}'" ;;
esac

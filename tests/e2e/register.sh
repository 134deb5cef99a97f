#!/usr/bin/env bash
# End-to-end checks of the window as a cashier meets it beside the cash register: the
# built afficheur on a virtual X server with openbox, next to a stand-in for the register
# (xev, which prints every key it gets), handled with the mouse through xdotool and read with
# xprop, xwininfo, wmctrl and the pixels of the window (xwd).
#
# Usage: register.sh CASE
#   keyboard      the register keeps the keyboard when the window appears
#   record        damaged or foreign window records: the window still shows, usable
#   minimized     minimize by the caption button, back to normal: the restricted layout
#                 holds; the keeper never records the minimized state; a window started
#                 minimized comes back restricted too
#   frame         maximize by a double-click on the caption, restore by its button, a wider
#                 window by the right edge, the caption's active and inactive colours
#   quick-presses two buttons pressed about 10 ms apart, the window held meanwhile: each text
#                 followed by its own colour, in press order, none lost
#   link-mark     the caption's status mark: neutral, then delivered, then failed
#   wayland       without an X server, the client runs as a Wayland client (weston, headless)
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# The keeper ticks once a second; its first tick restores, the later ones save.
TICK_PATIENCE=10
# The caption strip (client/Form1.h, client/CaptionStrip.cpp): 1 pixel of border, 22 high,
# buttons of 22 x 22 from the right end (close, restore while maximized, minimize), the
# status mark (14 wide) left of them.
CAPTION_Y=12

window_width() { xwininfo -id "$E2E_WID" | sed -n 's/^ *Width: *\([0-9]*\).*/\1/p'; }
window_left() { xwininfo -id "$E2E_WID" | sed -n 's/^ *Absolute upper-left X: *\(-*[0-9]*\).*/\1/p'; }
maximized() { e2e_wm_state | grep -q _NET_WM_STATE_MAXIMIZED_VERT; }
not_maximized() { ! maximized; }
minimized() { xprop -id "$E2E_WID" WM_STATE 2>/dev/null | grep -q 'window state: Iconic'; }
normal_state() { xprop -id "$E2E_WID" WM_STATE 2>/dev/null | grep -q 'window state: Normal'; }
saved_state_is() { [ "$(e2e_ini_get PositionFenetre PositionsTaille | tr -d ' ')" = "$1" ]; }

# The X of a caption button's middle, counted from the right: 1 close, 2 the next...
caption_button_x() { echo $(($(window_width) - 1 - 22 * $1 + 11)); }
click_caption_button() {
    xdotool mousemove --sync --window "$E2E_WID" "$(caption_button_x "$1")" "$CAPTION_Y" click 1
}
# The status mark's middle, left of the buttons shown ($1 of them).
mark_x() { echo $(($(window_width) - 1 - 22 * $1 - 7)); }

# pixel X Y: the colour of the window's pixel as "R G B".
pixel() {
    xwd -silent -id "$E2E_WID" | xwdtopnm 2>/dev/null |
        pamcut -left "$1" -top "$2" -width 1 -height 1 | pnmtoplainpnm | tail -n +4 | xargs
}

# start [--no-click-grab]: the X server and openbox (see e2e_start_x), once the tools and the
# client are there.
start() {
    e2e_require_x
    e2e_require_client
    e2e_start_x "$@"
}

case_keyboard() {
    start
    e2e_start_display shop
    e2e_write_ini "[ecran]" "ip=127.0.0.1" "port=$shop_port" "[system]" "admin=JQ"
    e2e_start_register
    e2e_start_client
    sleep 1  # past the keeper's first tick, which shows the window once more
    e2e_is_active "$REGISTER" ||
        e2e_fail "the window took the keyboard: active is $(e2e_active_window), the register $((REGISTER))"
    e2e_wm_state | grep -q _NET_WM_STATE_ABOVE || e2e_fail "the window is not above the others"
    xdotool type --delay 20 'qz'
    e2e_wait_until "$E2E_PATIENCE" e2e_register_got z || e2e_fail "typed keys did not reach the register"
    e2e_register_got q || e2e_fail "the first typed key did not reach the register"
    e2e_log "the register kept the keyboard"
}

# Records that a damaged file or another screen leave: the window must show, within reach,
# with its captions filled. Each row: name; Positions; PositionsTaille; what to check (shown
# and recorded with that width in twips, reached: moved onto the screen and recorded there,
# as stored: left where the record says, at that left in pixels); "logged" when the keeper's
# start must log the refused record.
RECORDS=(
    "no width or height;1500|1500;0;shown 1950;"
    "state out of range; 1500| 1500| 1950| 3180;7;shown 1950;logged"
    "negative width; 1500| 1500|-300| 3180;0;shown 1950;logged"
    "right of every screen; 19200| 1500| 1950| 3180;0;reached;"
    "below every screen; 1500| 16000| 1950| 3180;0;reached;"
    "partly visible; 18000| 1500| 1950| 3180;0;as stored 1200;"
)

case_record() {
    start
    e2e_start_display shop
    local row name positions state check logged
    for row in "${RECORDS[@]}"; do
        IFS=';' read -r name positions state check logged <<<"$row"
        e2e_write_ini "[ecran]" "ip=127.0.0.1" "port=$shop_port" \
            "[boutons]" "0=Bonjour" "[deroulant]" "texte=Promo" "[system]" "admin=JQ" \
            "[PositionFenetre]" "PositionsTaille=$state" "Positions=$positions"
        e2e_start_client
        sleep 1.5  # the keeper's first tick applies the record once more
        read -r left top width height < <(xwininfo -id "$E2E_WID" | awk '
            /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
            /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print x, y, w, h }')
        case "$check" in
        shown*)
            [ "$width" -ge 130 ] || e2e_fail "$name: the window is $width pixels wide"
            e2e_wait_until "$TICK_PATIENCE" eval \
                "e2e_ini_get PositionFenetre Positions | cut -d'|' -f3 | grep -qx ' *${check#shown }'" ||
                e2e_fail "$name: the keeper recorded $(e2e_ini_get PositionFenetre Positions)"
            ;;
        reached)
            [ "$((left + width))" -le 1280 ] && [ "$((top + 23))" -le 1024 ] && [ "$left" -ge 0 ] ||
                e2e_fail "$name: the window stands at $left,$top (${width}x$height), off the screen"
            e2e_wait_until "$TICK_PATIENCE" eval \
                "e2e_ini_get PositionFenetre Positions | grep -q '^ *$((left * 15))|'" ||
                e2e_fail "$name: the new place was not recorded: $(e2e_ini_get PositionFenetre Positions)"
            ;;
        as\ stored*)
            [ "$left" -eq "${check#as stored }" ] || e2e_fail "$name: moved to $left"
            ;;
        esac
        e2e_height_near 3180 || e2e_fail "$name: the height is $(e2e_outer_height_twips) twips"
        # The captions were filled: the button and the scrolling text send what is stored.
        local before
        before=$(e2e_message_count "$shop_log")
        e2e_click_command1 0
        e2e_click_command2
        e2e_wait_messages "$shop_log" $((before + 3)) || e2e_fail "$name: the presses sent nothing"
        [ "$(e2e_message_bytes "$shop_log" | sed -n "$((before + 1))p")" = "426F6E6A6F7572" ] ||
            e2e_fail "$name: button 0 did not send its stored text"
        [ "$(e2e_message_bytes "$shop_log" | sed -n "$((before + 3))p")" = "FF3150726F6D6F" ] ||
            e2e_fail "$name: the scrolling text sent was not the stored one"
        if [ -n "$logged" ]; then
            grep -q 'SavePosition.INIT stopped: error 380' "$E2E_TMP/client.err" ||
                e2e_fail "$name: the refused record was not logged"
        fi
        e2e_log "$name: shown at $left,$top ${width}x$height, usable"
        e2e_stop "$E2E_CLIENT_PID"
    done
}

case_minimized() {
    start
    e2e_write_ini "[system]" "admin=NON"
    e2e_start_client
    e2e_height_near 1300 || e2e_fail "not restricted at start"
    e2e_wait_until "$TICK_PATIENCE" e2e_ini_get PositionFenetre Visible >/dev/null ||
        e2e_fail "the keeper's first save never came"
    click_caption_button 2
    e2e_wait_until "$E2E_PATIENCE" minimized || e2e_fail "the minimize button did not minimize"
    sleep 2.5  # a few ticks of the keeper: X11 keeps a minimized window's bounds
    saved_state_is 0 || e2e_fail "the keeper recorded state $(e2e_ini_get PositionFenetre PositionsTaille)"
    xdotool windowactivate "$E2E_WID" 2>/dev/null || true  # as a task bar would
    e2e_wait_until "$E2E_PATIENCE" normal_state || e2e_fail "the window did not come back"
    e2e_wait_until "$E2E_PATIENCE" e2e_height_near 1300 ||
        e2e_fail "back from minimized, $(e2e_outer_height_twips) twips high, not 1300"

    # Closed while minimized: it reopens normal.
    click_caption_button 2
    e2e_wait_until "$E2E_PATIENCE" minimized || e2e_fail "the window did not minimize again"
    e2e_stop "$E2E_CLIENT_PID"
    e2e_start_client
    normal_state || e2e_fail "a window closed minimized did not reopen normal"

    # A record that says minimized (from another system): back to normal, still restricted.
    e2e_stop "$E2E_CLIENT_PID"
    e2e_ini_set PositionFenetre PositionsTaille 1
    e2e_home
    e2e_spawn client env HOME="$E2E_HOME" XDG_CONFIG_HOME="$E2E_HOME/config" \
        QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 "$AFFICHEUR_CLIENT"
    E2E_CLIENT_PID=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" find_any_client_window || e2e_fail "no window for the client"
    e2e_wait_until "$E2E_PATIENCE" minimized || e2e_fail "the window did not start minimized"
    xdotool windowactivate "$E2E_WID" 2>/dev/null || true
    e2e_wait_until "$E2E_PATIENCE" normal_state || e2e_fail "the window did not come back"
    e2e_wait_until "$E2E_PATIENCE" e2e_height_near 1300 ||
        e2e_fail "started minimized, back $(e2e_outer_height_twips) twips high, not 1300"
}

# The client's window, mapped or not: the one the window manager manages (Qt also makes a
# hidden leader window of the same name).
find_any_client_window() {
    local w
    for w in $(xdotool search --pid "$E2E_CLIENT_PID" --name '^Afficheur$' 2>/dev/null); do
        xprop -id "$w" WM_STATE 2>/dev/null | grep -q 'window state' && E2E_WID=$w && return 0
    done
    return 1
}

case_frame() {
    start
    command -v xev >/dev/null 2>&1 || e2e_missing "xev is not installed (x11-utils)"
    e2e_write_ini "[system]" "admin=JQ"
    e2e_start_register
    e2e_start_client
    local width
    width=$(window_width)

    # Inactive beside the register, active once clicked: the caption's colours follow.
    local inactive active
    inactive=$(pixel 60 3)
    e2e_click_at 60 60  # the client area, left of the controls
    e2e_wait_until "$E2E_PATIENCE" e2e_is_active "$E2E_WID" || e2e_fail "a click did not activate the window"
    e2e_wait_until "$E2E_PATIENCE" eval '[ "$(pixel 60 3)" != "$inactive" ]' ||
        e2e_fail "the caption looks the same active and inactive ($inactive)"
    active=$(pixel 60 3)
    e2e_log "caption inactive $inactive, active $active"

    # Double-click on the caption: maximized; the restore button brings it back.
    xdotool mousemove --sync --window "$E2E_WID" 30 "$CAPTION_Y" click --repeat 2 --delay 80 1
    e2e_wait_until "$E2E_PATIENCE" maximized || e2e_fail "a double-click on the caption did not maximize"
    e2e_wait_until "$E2E_PATIENCE" eval '[ "$(window_width)" -gt 600 ]' || e2e_fail "maximized but narrow"
    sleep 0.3
    click_caption_button 2
    e2e_wait_until "$E2E_PATIENCE" not_maximized || e2e_fail "the restore button did not restore"
    e2e_wait_until "$E2E_PATIENCE" eval '[ "$(window_width)" -eq "$width" ]' ||
        e2e_fail "restored $(window_width) wide, not $width"
    e2e_wait_until "$E2E_PATIENCE" e2e_height_near 3180 || e2e_fail "restored at the wrong height"

    # The right edge makes it wider; the height snaps back.
    local right=$(($(window_left) + width - 2)) y
    y=$(xwininfo -id "$E2E_WID" | sed -n 's/^ *Absolute upper-left Y: *\([0-9]*\).*/\1/p')
    xdotool mousemove --sync "$right" $((y + 100)) mousedown 1 sleep 0.2 \
        mousemove --sync $((right + 30)) $((y + 140)) sleep 0.2 \
        mousemove --sync $((right + 60)) $((y + 160)) sleep 0.2 mouseup 1
    e2e_wait_until "$E2E_PATIENCE" eval '[ "$(window_width)" -ge $((width + 40)) ]' ||
        e2e_fail "dragging the right edge left the width at $(window_width)"
    e2e_wait_until "$E2E_PATIENCE" e2e_height_near 3180 || e2e_fail "the height did not snap back"
    e2e_log "wider by the edge: $width -> $(window_width)"
}

case_quick_presses() {
    # About 10 ms between presses: openbox's click grab would lose some of them in the X server
    # whenever openbox answers late (see e2e_start_x), before any reach the window.
    start --no-click-grab
    e2e_start_display shop
    e2e_write_ini "[ecran]" "ip=127.0.0.1" "port=$shop_port" \
        "[boutons]" "0=Un" "0 couleur=1" "1=Deux" "1 couleur=2" "[system]" "admin=JQ"
    e2e_start_client
    local rounds=5 per=4 r i expected=()
    for ((r = 0; r < rounds; r++)); do
        # Held while the presses queue up, as on a busy machine: the window then meets the
        # later presses inside the first one's procedure.
        local args=()
        for ((i = 0; i < per; i++)); do
            args+=(mousemove --window "$E2E_WID" 64 $((E2E_CLIENT_Y + (120 + 240 * (i % 2) + 127) / 15))
                click --delay 5 1 sleep 0.005)
            if ((i % 2 == 0)); then expected+=(556E FF3231); else expected+=(44657578 FF3232); fi
        done
        kill -STOP "$E2E_CLIENT_PID"
        xdotool "${args[@]}"
        kill -CONT "$E2E_CLIENT_PID"
        e2e_wait_messages "$shop_log" "${#expected[@]}" ||
            e2e_fail "round $r: $(e2e_message_count "$shop_log") messages, not ${#expected[@]}"
    done
    local got
    got=$(e2e_message_bytes "$shop_log" | xargs)
    [ "$got" = "${expected[*]}" ] || e2e_fail "the messages are $got, not ${expected[*]}"
    e2e_log "$((rounds * per)) presses, each text followed by its own colour"
}

# The mark's colour: neutral grey, green or red (client/StatusMark.cpp).
mark_is() {
    local p
    p=$(pixel "$(mark_x 2)" "$CAPTION_Y")
    case "$1" in
    delivered) [ "$p" = "46 160 67" ] ;;
    failed) [ "$p" = "211 47 47" ] ;;
    neutral) [ "$p" != "46 160 67" ] && [ "$p" != "211 47 47" ] ;;
    esac
}

case_link_mark() {
    start
    e2e_start_display shop
    e2e_write_ini "[ecran]" "ip=127.0.0.1" "port=$shop_port" "[system]" "admin=JQ"
    e2e_start_client
    mark_is neutral || e2e_fail "the mark is not neutral at start: $(pixel "$(mark_x 2)" "$CAPTION_Y")"
    e2e_click_command3
    e2e_wait_until "$E2E_PATIENCE" mark_is delivered ||
        e2e_fail "the mark does not show a delivery: $(pixel "$(mark_x 2)" "$CAPTION_Y")"
    e2e_stop "$shop_pid"
    e2e_click_command3
    e2e_wait_until "$E2E_PATIENCE" mark_is failed ||
        e2e_fail "the mark does not show a failure: $(pixel "$(mark_x 2)" "$CAPTION_Y")"
    e2e_log "neutral, delivered, failed"
}

case_wayland() {
    e2e_require_client
    command -v weston >/dev/null 2>&1 || e2e_missing "weston is not installed"
    local platforms
    platforms=$(dirname "$(dirname "$(find /usr/lib -path '*qt6/plugins/platforms/libqxcb.so' 2>/dev/null | head -n 1)")")
    [ -e "$platforms/platforms/libqwayland-generic.so" ] ||
        e2e_missing "Qt's Wayland platform is not installed (qt6-wayland)"
    export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    e2e_spawn weston weston --backend=headless-backend.so --socket=afficheur-e2e --idle-time=0
    e2e_wait_until "$E2E_PATIENCE" test -S "$XDG_RUNTIME_DIR/afficheur-e2e" ||
        e2e_fail "weston did not start"
    e2e_write_ini "[system]" "admin=JQ"
    e2e_spawn client env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY=afficheur-e2e \
        HOME="$E2E_HOME" XDG_CONFIG_HOME="$E2E_HOME/config" "$AFFICHEUR_CLIENT"
    E2E_CLIENT_PID=$E2E_LAST_PID
    e2e_wait_until "$TICK_PATIENCE" eval 'e2e_ini_get PositionFenetre Visible | grep -qx OUI' ||
        e2e_fail "the window never showed"
    e2e_client_alive || e2e_fail "the client ended"
    [ "$(grep -c 'cannot be kept on top' "$E2E_TMP/client.err")" -eq 1 ] ||
        e2e_fail "not one log line about the lost stay-on-top"
    e2e_log "$(grep 'cannot be kept' "$E2E_TMP/client.err")"
}

e2e_init
case "${1:-}" in
keyboard) case_keyboard ;;
record) case_record ;;
minimized) case_minimized ;;
frame) case_frame ;;
quick-presses) case_quick_presses ;;
link-mark) case_link_mark ;;
wayland) case_wayland ;;
*) e2e_fail "unknown case '${1:-}'" ;;
esac
echo "PASS: $1"

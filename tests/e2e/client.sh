#!/usr/bin/env bash
# End-to-end checks of the built afficheur against afficheur-display on a virtual X server
# with openbox, clicking with xdotool and reading the result from the display's log, the
# settings file and the window's X properties.
#
# Usage: client.sh CASE
#   messages      the bytes of every message kind, and what the buttons store
#   first-start   the settings file after a first start with none; a press without [ecran]
#   on-top        the window stays above a window activated after it
#   layouts       outer heights 3180 and 1300 twips; Command2 stays disabled once restricted
#   hex-port      port text "&H1F90" reaches port 8080 (skipped when 8080 is taken)
#   port-change   a changed [ecran] port is used at the next press, without restart
#   refused       the window keeps answering while the display refuses connections
#   stalled       the window keeps answering while the display takes connections and never
#                 reads them
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# The bound on "at once" for a window that must keep answering: generous, the point is that
# it answers, not how fast (bench/ measures that).
ANSWER_SECONDS=5

# hex TEXT: the Windows-1252 bytes of a UTF-8 text, as the display logs them.
hex() { printf '%s' "$1" | iconv -f UTF-8 -t WINDOWS-1252 | od -An -tx1 -v | tr -d ' \n' | tr a-f A-F; }

declare -A seen=()

# expect_next LOG WHAT HEX...: the next messages in the display's log are exactly these
# bytes, in this order, each whole (ended by the sender) and from loopback.
expect_next() {
    local log=$1 what=$2
    shift 2
    local before=${seen[$log]:-0}
    local want=$((before + $#))
    e2e_wait_messages "$log" "$want" ||
        e2e_fail "$what: $# message(s) expected, $(($(e2e_message_count "$log") - before)) arrived"
    local n=$before expected got
    for expected in "$@"; do
        n=$((n + 1))
        got=$(e2e_message_bytes "$log" | sed -n "${n}p")
        [ "$got" = "$expected" ] || e2e_fail "$what: message $((n - before)) is $got, not $expected"
        [ "$(e2e_message "$log" "$n" end)" = closed ] ||
            e2e_fail "$what: message $((n - before)) ended $(e2e_message "$log" "$n" end)"
        case "$(e2e_message "$log" "$n" peer)" in
        127.0.0.1:*) ;;
        *) e2e_fail "$what: message from $(e2e_message "$log" "$n" peer)" ;;
        esac
    done
    seen[$log]=$want
    e2e_log "$what: $*"
}

# expect_setting SECTION KEY VALUE: the settings file holds it (waits, the write may follow
# the press by a moment).
expect_setting() {
    e2e_wait_until "$E2E_PATIENCE" setting_is "$@" ||
        e2e_fail "[$1] $2 is '$(e2e_ini_get "$1" "$2")', not '$3'"
}
setting_is() { [ "$(e2e_ini_get "$1" "$2")" = "$3" ] && e2e_ini_get "$1" "$2" >/dev/null; }

expect_height() {
    e2e_wait_until "$E2E_PATIENCE" e2e_height_near "$1" ||
        e2e_fail "outer height is $(e2e_outer_height_twips) twips, not $1"
    e2e_log "outer height $(e2e_outer_height_twips) twips (wanted $1, within one pixel)"
}

window_width() { xwininfo -id "$E2E_WID" | sed -n 's/^ *Width: *\([0-9]*\).*/\1/p'; }

# Asks the window manager for another height; the window puts its own back.
disturb_height() { xdotool windowsize "$E2E_WID" "$(window_width)" 150; }

# The window answers: a resize snaps back to the layout's height at once, and the process
# lives.
expect_answering() {
    local height=$1 what=$2
    e2e_client_alive || e2e_fail "$what: the client ended"
    disturb_height
    e2e_wait_until "$ANSWER_SECONDS" e2e_height_near "$height" ||
        e2e_fail "$what: the window did not answer a resize within ${ANSWER_SECONDS}s"
    e2e_log "$what: the window still answers"
}

standard_settings() {
    e2e_write_ini \
        "[ecran]" "ip=127.0.0.1" "port=$1" \
        "[boutons]" "0=Café" "0 couleur=12" "2=Promo du jour" "2 couleur=&HA" \
        "[deroulant]" "texte=Soldes d'été" \
        "[NomCaisse]" "texte=Caisse 1" \
        "[system]" "admin=${2:-JQ}"
}

case_messages() {
    e2e_start_x
    e2e_start_display shop
    standard_settings "$shop_port"
    e2e_start_client

    e2e_click_command1 0
    expect_next "$shop_log" "message button 0" "$(hex 'Café')" "FF32$(hex 12)"
    e2e_click_command1 1
    expect_next "$shop_log" "message button 1 without settings" "$(hex Erreur)" "FF3230"
    expect_setting boutons "1 couleur" "0"
    e2e_ini_get boutons 1 >/dev/null && e2e_fail "[boutons] 1 was written"
    e2e_click_command1 2
    expect_next "$shop_log" "message button 2" "$(hex 'Promo du jour')" "FF32$(hex '&HA')"

    e2e_click_command2
    expect_next "$shop_log" "scrolling text from the settings" "FF31$(hex "Soldes d'été")"
    e2e_click_text1
    e2e_replace_text ""
    e2e_click_command2
    expect_next "$shop_log" "empty scrolling text" "FF31"
    expect_setting deroulant texte ""
    e2e_click_text1
    e2e_replace_text "Fin de serie"
    e2e_click_command2
    expect_next "$shop_log" "typed scrolling text" "FF31$(hex 'Fin de serie')"
    expect_setting deroulant texte "Fin de serie"

    e2e_click_command3
    expect_next "$shop_log" "register name from the settings" "FF33$(hex 'Caisse 1')"
    e2e_click_text2
    e2e_replace_text "Caisse 7"
    e2e_click_command3
    expect_next "$shop_log" "typed register name" "FF33$(hex 'Caisse 7')"
    expect_setting NomCaisse texte "Caisse 7"
}

case_first_start() {
    e2e_start_x
    e2e_require_display
    e2e_home
    [ -e "$E2E_INI" ] && e2e_fail "the settings file exists before the start"
    e2e_start_client
    expect_setting system admin JQ
    expect_setting deroulant texte ""
    expect_setting NomCaisse texte Caisse
    e2e_ini_has_section boutons && e2e_fail "a first start wrote [boutons]"
    e2e_ini_has_section ecran && e2e_fail "a first start wrote [ecran]"
    expect_height 3180

    # A press with no display configured sends nothing, says on stderr what to set, and
    # leaves the window running.
    e2e_click_command1 0
    e2e_wait_until "$E2E_PATIENCE" grep -q 'ecran' "$E2E_TMP/client.err" ||
        e2e_fail "no log line tells the user to set [ecran]"
    expect_answering 3180 "after a press without [ecran]"
}

case_on_top() {
    e2e_start_x
    e2e_start_display shop
    standard_settings "$shop_port"
    e2e_start_client
    e2e_wait_until "$E2E_PATIENCE" eval 'e2e_wm_state | grep -q _NET_WM_STATE_ABOVE' ||
        e2e_fail "_NET_WM_STATE_ABOVE is not set: $(e2e_wm_state)"

    # A window shown and activated afterwards stays below it.
    e2e_spawn other "$AFFICHEUR_DISPLAY" --listen 127.0.0.1:0
    local other=$E2E_LAST_PID wid=""
    e2e_wait_until "$E2E_PATIENCE" eval \
        "wid=\$(xdotool search --onlyvisible --pid $other --name afficheur-display | head -n 1); [ -n \"\$wid\" ]" ||
        e2e_fail "the other window did not appear"
    xdotool windowactivate "$wid" 2>/dev/null || true
    e2e_wait_until "$E2E_PATIENCE" client_above "$wid" ||
        e2e_fail "the client is not above a window activated after it: $(xprop -root _NET_CLIENT_LIST_STACKING)"
    e2e_log "above a window activated after it"
}

# The client comes after the other window in the bottom-to-top stacking list.
client_above() {
    local list other_at client_at i=0 w
    list=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*#//' | tr ',' ' ')
    for w in $list; do
        i=$((i + 1))
        [ $((w)) -eq $(($1)) ] && other_at=$i
        [ $((w)) -eq $((E2E_WID)) ] && client_at=$i
    done
    [ -n "${other_at:-}" ] && [ -n "${client_at:-}" ] && [ "$client_at" -gt "$other_at" ]
}

case_layouts() {
    e2e_start_x
    e2e_start_display shop
    standard_settings "$shop_port" jq  # the access value in another case: restricted
    e2e_start_client
    expect_height 1300
    local width
    width=$(window_width)
    e2e_click_command1 0
    expect_next "$shop_log" "message button 0 in the restricted layout" \
        "$(hex 'Café')" "FF32$(hex 12)"

    # Any other height snaps back.
    expect_answering 1300 "restricted layout"

    # Back to the administrator value: the height comes back at the next resize, but
    # Command2 stays disabled, so a click on it sends nothing and the register name (clicked
    # after it) is the next message.
    e2e_ini_set system admin JQ
    disturb_height
    expect_height 3180
    [ "$(window_width)" = "$width" ] || e2e_fail "the width changed: $width -> $(window_width)"
    e2e_click_command2
    e2e_click_command3
    expect_next "$shop_log" "Command2 disabled, Command3 not" "FF33$(hex 'Caisse 1')"
}

case_hex_port() {
    e2e_port_free 8080 || e2e_skip "port 8080 is taken on loopback"
    e2e_start_x
    e2e_start_display_on fixed 8080 || e2e_skip "port 8080 could not be listened on"
    e2e_write_ini "[ecran]" "ip=127.0.0.1" "port=&H1F90" "[boutons]" "0=Huit mille"
    e2e_start_client
    e2e_click_command1 0
    expect_next "$fixed_log" "port &H1F90" "$(hex 'Huit mille')" "FF3230"
}

case_port_change() {
    e2e_start_x
    e2e_start_display first
    e2e_start_display second
    standard_settings "$first_port"
    e2e_start_client
    e2e_click_command1 0
    expect_next "$first_log" "before the change" "$(hex 'Café')" "FF32$(hex 12)"
    e2e_ini_set ecran port "$second_port"
    e2e_click_command1 2
    expect_next "$second_log" "after the change" "$(hex 'Promo du jour')" "FF32$(hex '&HA')"
    [ "$(e2e_message_count "$first_log")" -eq 2 ] || e2e_fail "the old port still got messages"
}

# Presses every button a few times while the display misbehaves, checks the window keeps
# answering, then points it at a working display and checks the next press gets there.
keeps_answering_while() {
    local what=$1
    local i
    for i in 1 2 3; do
        e2e_click_command1 0
        e2e_click_command1 1
        e2e_click_command2
        e2e_click_command3
    done
    expect_answering 3180 "$what"
    e2e_start_display working
    e2e_ini_set ecran port "$working_port"
    e2e_click_text2
    e2e_replace_text "Retour"
    e2e_click_command3
    e2e_wait_until 30 eval "e2e_message_bytes \"\$working_log\" | grep -qx 'FF33$(hex Retour)'" ||
        e2e_fail "$what: a press after the display came back never arrived"
    e2e_log "$what: the next press reached a working display"
}

case_refused() {
    e2e_start_x
    e2e_require_display
    e2e_closed_port
    standard_settings "$E2E_CLOSED_PORT"
    e2e_start_client
    keeps_answering_while "display refusing connections"
}

case_stalled() {
    e2e_start_x
    e2e_start_display hung --stall
    standard_settings "$hung_port"
    e2e_start_client
    keeps_answering_while "display that never reads"
}

e2e_init
e2e_require_x
e2e_require_client
case "${1:-}" in
messages) case_messages ;;
first-start) case_first_start ;;
on-top) case_on_top ;;
layouts) case_layouts ;;
hex-port) case_hex_port ;;
port-change) case_port_change ;;
refused) case_refused ;;
stalled) case_stalled ;;
*)
    echo "usage: $0 messages|first-start|on-top|layouts|hex-port|port-change|refused|stalled" >&2
    exit 2
    ;;
esac
echo "PASS: $1"

#!/usr/bin/env bash
# Soak run: the built afficheur on a virtual X server with openbox, its buttons pressed many
# times (20,000 presses by default, spread evenly over the three message buttons, "Changement
# Texte" and "Nom de Caisse") through real pointer events (xdotool, which drives the server's
# XTest extension), against afficheur-display --headless --log, while the position keeper
# ticks and the window is moved now and then. Checks:
#   - every message arrives, in order, byte for byte, each on a connection the client closed;
#   - memory stays flat: the client's resident size at the end is within SOAK_RSS_GROWTH_KB of
#     what it was after the first round of presses (the warm-up);
#   - no file descriptor leak: the client holds no more descriptors at the end than after the
#     warm-up;
#   - the keeper saved the window's last place.
# Prints the figures (messages, time, VmRSS/VmHWM and descriptors at start, after warm-up and
# at the end). Bounded: it fails when the whole run passes SOAK_SECONDS.
#
# Environment (all optional):
#   SOAK_PRESSES        presses in all (default 20000; rounded down to whole rounds)
#   SOAK_BATCH          presses of one button in a row before the next button (default 40)
#   SOAK_DELAY_MS       pause between two clicks of a batch (default 20). Much faster
#                       clicking (10 ms on a busy 2-core machine) lets a second press be handled
#                       inside the DoEvents between a message button's two connections, as the
#                       handler intends, so its text comes before the first press's colour and
#                       the strict order check fails: that is pace, not loss.
#   SOAK_SECONDS        bound on the whole run (default 840)
#   SOAK_RSS_GROWTH_KB  allowed growth of VmRSS after the warm-up (default 4096)
#
# Run through ctest (label soak, not part of ./test):
#   cmake --preset soak && cmake --build --preset soak && ctest --preset soak
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

PRESSES=${SOAK_PRESSES:-20000}
BATCH=${SOAK_BATCH:-40}
DELAY_MS=${SOAK_DELAY_MS:-20}
BOUND_SECONDS=${SOAK_SECONDS:-840}
RSS_GROWTH_KB=${SOAK_RSS_GROWTH_KB:-4096}

# The five buttons, as e2e_click_* in lib.sh names them: client-area twips of their middles.
BUTTONS=(c1_0 c1_1 c1_2 c2 c3)
declare -A BUTTON_Y=([c1_0]=$((120 + 127)) [c1_1]=$((120 + 240 + 127)) [c1_2]=$((120 + 480 + 127))
    [c2]=$((1440 + 127)) [c3]=$((2280 + 157)))
BUTTON_X=960
# Messages one press of each sends.
declare -A BUTTON_MESSAGES=([c1_0]=2 [c1_1]=2 [c1_2]=2 [c2]=1 [c3]=1)
# Where the window is moved to, in turn, every few rounds (outer top-left, pixels).
PLACES=("300 200" "640 120" "80 500" "900 600" "420 380")

hex() { printf '%s' "$1" | iconv -f UTF-8 -t WINDOWS-1252 | od -An -tx1 -v | tr -d ' \n' | tr a-f A-F; }

# The bytes each press sends, one hex string a line, from the settings written below.
declare -A EXPECTED
EXPECTED[c1_0]="$(hex 'Café')"$'\n'"FF32$(hex 12)"
EXPECTED[c1_1]="$(hex 'Soldes -20 %')"$'\n'"FF32$(hex '&HA')"
EXPECTED[c1_2]="$(hex 'Promo du jour')"$'\n'"FF32$(hex 3)"
EXPECTED[c2]="FF31$(hex "Soldes d'été")"
EXPECTED[c3]="FF33$(hex 'Caisse 1')"

# status_kb FIELD: VmRSS or VmHWM of the client, in kB.
status_kb() { awk -v f="$1:" '$1 == f { print $2 }' "/proc/$E2E_CLIENT_PID/status"; }
fd_count() { find "/proc/$E2E_CLIENT_PID/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }
messages_now() { grep -c '"end":' "$display_log" 2>/dev/null || true; }

# figures NAME: records VmRSS, VmHWM and the descriptor count under NAME.
declare -A RSS HWM FDS
figures() {
    RSS[$1]=$(status_kb VmRSS)
    HWM[$1]=$(status_kb VmHWM)
    FDS[$1]=$(fd_count)
}

# The descriptor count settles once the link has closed its last connection.
fds_at_most() { [ "$(fd_count)" -le "$1" ]; }

overdue() { [ "$SECONDS" -ge "$deadline" ]; }

# press BUTTON N: N clicks in its middle, through the pointer (XTest), not sent events.
press() {
    local x=$((E2E_CLIENT_X + BUTTON_X / E2E_TWIPS_PER_PIXEL))
    local y=$((E2E_CLIENT_Y + ${BUTTON_Y[$1]} / E2E_TWIPS_PER_PIXEL))
    xdotool mousemove --sync --window "$E2E_WID" "$x" "$y" click --repeat "$2" --delay "$DELAY_MS" 1
}

move_to() {
    xdotool windowmove "$E2E_WID" "$1" "$2"
    E2E_LAST_GEOMETRY=""
    e2e_wait_until "$E2E_PATIENCE" e2e_geometry_settled "$E2E_WID" ||
        e2e_fail "the window never settled after a move to $1 $2"
}

e2e_init
e2e_require_x
e2e_require_client
started=$SECONDS
deadline=$((SECONDS + BOUND_SECONDS))

e2e_start_x
e2e_start_display display
e2e_write_ini \
    "[ecran]" "ip=127.0.0.1" "port=$display_port" \
    "[boutons]" "0=Café" "0 couleur=12" "1=Soldes -20 %" "1 couleur=&HA" \
    "2=Promo du jour" "2 couleur=3" \
    "[deroulant]" "texte=Soldes d'été" \
    "[NomCaisse]" "texte=Caisse 1" \
    "[system]" "admin=JQ"
e2e_start_client
figures start

rounds=$((PRESSES / (BATCH * ${#BUTTONS[@]})))
[ "$rounds" -ge 2 ] || e2e_fail "SOAK_PRESSES=$PRESSES is less than two rounds of $BATCH per button"
expected_file="$E2E_TMP/expected.hex"
: >"$expected_file"
sent=0
presses=0
e2e_log "$rounds rounds of $BATCH presses of each of ${#BUTTONS[*]} buttons ($((rounds * BATCH * ${#BUTTONS[@]})) presses)"

for ((round = 1; round <= rounds; round++)); do
    # Now and then the window moves; the keeper's tick saves the new place.
    if ((round % 10 == 5)); then
        # shellcheck disable=SC2086
        move_to ${PLACES[$(((round / 10) % ${#PLACES[@]}))]}
    fi
    for button in "${BUTTONS[@]}"; do
        overdue && e2e_fail "over ${BOUND_SECONDS}s after $presses presses"
        press "$button" "$BATCH"
        presses=$((presses + BATCH))
        sent=$((sent + BATCH * ${BUTTON_MESSAGES[$button]}))
        for ((i = 0; i < BATCH; i++)); do printf '%s\n' "${EXPECTED[$button]}"; done >>"$expected_file"
        # One batch at a time: the link's queue (256 messages) is never the limit.
        e2e_wait_until 60 e2e_has_messages "$display_log" "$sent" ||
            e2e_fail "round $round, $button: $sent messages expected by now, $(messages_now) arrived"
        got=$(messages_now)
        [ "$got" -eq "$sent" ] ||
            e2e_fail "round $round, $button: $got messages arrived, $sent were sent"
    done
    e2e_client_alive || e2e_fail "the client ended after $presses presses"
    if ((round == 1)); then
        e2e_wait_until "$E2E_PATIENCE" fds_at_most "${FDS[start]}" || true
        figures warm
    fi
done
elapsed=$((SECONDS - started))

# Every message, in order, byte for byte.
e2e_message_bytes "$display_log" >"$E2E_TMP/received.hex"
if ! cmp -s "$expected_file" "$E2E_TMP/received.hex"; then
    first=$(cmp "$expected_file" "$E2E_TMP/received.hex" 2>&1 | head -n 1)
    line=$(diff "$expected_file" "$E2E_TMP/received.hex" | head -n 4 | tr '\n' ' ')
    e2e_fail "the messages differ from the presses: $first; $line"
fi
closed=$(grep -c '"end":"closed"' "$display_log")
[ "$closed" -eq "$sent" ] || e2e_fail "only $closed of $sent messages ended closed by the client"
foreign=$(grep '"end":' "$display_log" | grep -vc '"peer":"127\.0\.0\.1:') || true
[ "$foreign" -eq 0 ] || e2e_fail "$foreign messages came from elsewhere than loopback"
grep -q 'dropped' "$E2E_TMP/client.err" && e2e_fail "the client dropped messages: $(grep -m1 dropped "$E2E_TMP/client.err")"

# The keeper ticked through it all: its record names the window's place now.
read -r left top < <(xwininfo -id "$E2E_WID" | awk '/Absolute upper-left X/ { x = $NF }
    /Absolute upper-left Y/ { y = $NF } END { print x, y }')
keeper_saved() {
    local value
    value=$(e2e_ini_get PositionFenetre Positions) || return 1
    [ "$(echo "$value" | cut -d'|' -f1-2 | tr -d ' ')" = "$((left * 15))|$((top * 15))" ]
}
e2e_wait_until 10 keeper_saved ||
    e2e_fail "the keeper's record is '$(e2e_ini_get PositionFenetre Positions)', the window is at $left $top"

# Flat memory, no descriptor leak.
e2e_wait_until "$E2E_PATIENCE" fds_at_most "${FDS[warm]}" || true
figures end
echo "soak figures:"
echo "  presses          $presses ($rounds rounds of $BATCH per button, $DELAY_MS ms between clicks)"
echo "  messages         $sent sent, $sent arrived in order, byte for byte"
echo "  time             ${elapsed} s"
printf '  %-16s %10s %10s %10s\n' "" start warm-up end
printf '  %-16s %10s %10s %10s\n' "VmRSS (kB)" "${RSS[start]}" "${RSS[warm]}" "${RSS[end]}"
printf '  %-16s %10s %10s %10s\n' "VmHWM (kB)" "${HWM[start]}" "${HWM[warm]}" "${HWM[end]}"
printf '  %-16s %10s %10s %10s\n' "open fds" "${FDS[start]}" "${FDS[warm]}" "${FDS[end]}"
growth=$((RSS[end] - RSS[warm]))
[ "$growth" -le "$RSS_GROWTH_KB" ] ||
    e2e_fail "VmRSS grew by $growth kB after the warm-up (allowed $RSS_GROWTH_KB kB)"
[ "${FDS[end]}" -le "${FDS[warm]}" ] ||
    e2e_fail "the client holds ${FDS[end]} descriptors, ${FDS[warm]} after the warm-up"
echo "PASS: soak"

#!/usr/bin/env bash
# End-to-end checks of afficheur-display --mqtt against a real broker (Debian's mosquitto), run
# as the current user on a free loopback port of its own, with a password file and an ACL (see
# broker.sh). The board is read from the display's page (/state) and from the broker.
#
# Usage: mqtt.sh CASE
#   sale            a sale published on the display's set topic shows on its page; its state
#                   and status are retained on the broker
#   offline         status goes offline when the display stops (SIGTERM) and when it is killed
#                   (SIGKILL, its last will), and online again when it comes back
#   broker-restart  the broker stopped and started again: the display comes back, publishes
#                   its state again, and a QoS 1 message published while it was away arrives
#   group           one message on a group's set topic reaches three displays; a display's own
#                   topic reaches that display alone
#   acl             a wrong password is refused (and said, once); a display whose topics the
#                   ACL does not give it takes nothing there and publishes nothing
#   bad-payloads    payloads over the bound, not JSON, not UTF-8, with an unknown key or a value
#                   out of range are refused whole, each with its reason, the board unchanged
#   tls             mqtts:// with a CA the case makes: a sale arrives; without that CA, refused
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=broker.sh
source "$here/broker.sh"

# retained_field BROKER TOPIC FIELD: a field of the JSON retained on TOPIC.
retained_field() {
    broker_retained "$1" "$2" | python3 -c \
        'import json, sys; print(json.load(sys.stdin)[sys.argv[1]])' "$3" 2>/dev/null
}
retained_field_is() { [ "$(retained_field "$1" "$2" "$3")" = "$4" ]; }

SALE='{"lines":[["Pain","1,20"],["Lait","0,95"]],"total":["TOTAL","2,15 EUR"],"change":["RENDU","7,85 EUR"]}'
SALE_TEXT=$'Pain\t1,20\nLait\t0,95'
SALE_TOTAL=$'TOTAL\t2,15 EUR\nRENDU\t7,85 EUR'

case_sale() {
    broker_require
    broker_up shop
    broker_display d1 shop
    e2e_wait_until "$E2E_PATIENCE" broker_connected d1 || e2e_fail "d1 did not reach the broker"
    broker_pub shop afficheur/d1/set "$SALE"
    e2e_wait_until "$E2E_PATIENCE" page_shows "$d1_http" text "$SALE_TEXT" ||
        e2e_fail "the sale's lines are not on the page: $(page_field "$d1_http" text)"
    page_shows "$d1_http" total "$SALE_TOTAL" || e2e_fail "the total is not on the page"
    # What the broker keeps for whoever subscribes later: the board, and that it is online.
    e2e_wait_until "$E2E_PATIENCE" retained_field_is shop afficheur/d1/state text "$SALE_TEXT" ||
        e2e_fail "the state retained is not the board: $(broker_retained shop afficheur/d1/state)"
    retained_field_is shop afficheur/d1/state total "$SALE_TOTAL" ||
        e2e_fail "the state retained has not the total"
    broker_retained_is shop afficheur/d1/status online || e2e_fail "status is not online"
    # Several keys, one change; the next text ends the sale's total, as over TCP.
    broker_pub shop afficheur/d1/set '{"text":"Merci","colour":12,"register":"Caisse 1"}'
    e2e_wait_until "$E2E_PATIENCE" page_shows "$d1_http" text "Merci" || e2e_fail "no Merci"
    page_shows "$d1_http" total "" || e2e_fail "the text did not end the sale's total"
    page_shows "$d1_http" colour 12 || e2e_fail "the colour did not change"
    page_shows "$d1_http" register "Caisse 1" || e2e_fail "the register's name did not change"
    e2e_wait_until "$E2E_PATIENCE" retained_field_is shop afficheur/d1/state text "Merci" ||
        e2e_fail "the last change was not published"
}

case_offline() {
    broker_require
    broker_up shop
    broker_display d1 shop --mqtt-keepalive 5
    e2e_wait_until "$E2E_PATIENCE" broker_retained_is shop afficheur/d1/status online ||
        e2e_fail "status is not online"
    # Stopped as a service is: it says offline itself.
    e2e_stop "$d1_pid"
    e2e_wait_until "$E2E_PATIENCE" broker_retained_is shop afficheur/d1/status offline ||
        e2e_fail "status is not offline after SIGTERM: $(broker_retained shop afficheur/d1/status)"
    broker_display d1 shop --mqtt-keepalive 5
    e2e_wait_until "$E2E_PATIENCE" broker_retained_is shop afficheur/d1/status online ||
        e2e_fail "status is not online again"
    # Killed: the broker publishes its will once the link is gone.
    kill -KILL "$d1_pid"
    e2e_wait_until "$E2E_PATIENCE" broker_retained_is shop afficheur/d1/status offline ||
        e2e_fail "status is not offline after SIGKILL: $(broker_retained shop afficheur/d1/status)"
}

case_broker_restart() {
    broker_require
    broker_up shop
    broker_display d1 shop --mqtt-keepalive 5
    e2e_wait_until "$E2E_PATIENCE" broker_connected d1 || e2e_fail "d1 did not reach the broker"
    broker_pub shop afficheur/d1/set '{"text":"Avant"}'
    e2e_wait_until "$E2E_PATIENCE" page_shows "$d1_http" text "Avant" || e2e_fail "no Avant"
    e2e_stop "$shop_pid"
    e2e_wait_until "$E2E_PATIENCE" grep -qs "broker .*; trying again" "$E2E_TMP/d1.err" ||
        e2e_fail "the display did not say the broker went away"
    # Back, but without the display's login for now: whatever it tries, it is kept out while
    # the till publishes.
    broker_logins shop till
    broker_start shop || e2e_fail "mosquitto did not start again"
    broker_pub shop afficheur/d1/set '{"text":"Pendant"}'
    broker_pub shop afficheur/d1/state '' admin  # the retained state, gone: it must come back
    sleep 2
    page_shows "$d1_http" text "Avant" || e2e_fail "the board changed while the display was away"
    broker_logins shop till d1 d2 d3
    broker_reload shop
    e2e_wait_until 60 broker_connected d1 2 || e2e_fail "the display did not come back"
    e2e_wait_until "$E2E_PATIENCE" page_shows "$d1_http" text "Pendant" ||
        e2e_fail "the message published while it was away did not arrive"
    e2e_wait_until "$E2E_PATIENCE" retained_field_is shop afficheur/d1/state text "Pendant" ||
        e2e_fail "the state was not published again"
    broker_retained_is shop afficheur/d1/status online || e2e_fail "status is not online"
    # One line for the outage, however many tries it took.
    local outages
    outages=$(grep -c "; trying again" "$E2E_TMP/d1.err")
    [ "$outages" -eq 1 ] || e2e_fail "$outages lines for one outage"
}

case_group() {
    broker_require
    broker_up shop
    local d
    for d in d1 d2 d3; do
        broker_display "$d" shop --mqtt-group shop/all
    done
    for d in d1 d2 d3; do
        e2e_wait_until "$E2E_PATIENCE" broker_connected "$d" || e2e_fail "$d not connected"
    done
    broker_pub shop shop/all/set '{"scroll":"Soldes -20 %"}'
    for d in d1 d2 d3; do
        local http_var="${d}_http"
        e2e_wait_until "$E2E_PATIENCE" page_shows "${!http_var}" scroll "Soldes -20 %" ||
            e2e_fail "the group's message did not reach $d"
    done
    broker_pub shop afficheur/d2/set '{"text":"Pour d2"}'
    e2e_wait_until "$E2E_PATIENCE" page_shows "$d2_http" text "Pour d2" || e2e_fail "d2 no text"
    sleep 0.5
    page_shows "$d1_http" text "" && page_shows "$d3_http" text "" ||
        e2e_fail "d2's own message reached another display"
}

case_acl() {
    broker_require
    broker_up shop
    # A wrong password: refused, said once however often it tries, and the page says so.
    echo "not-the-password" >"$E2E_TMP/wrong.password"
    broker_display d1 shop --mqtt-password-file "$E2E_TMP/wrong.password"
    e2e_wait_until "$E2E_PATIENCE" grep -qs "refused: .*not authori" "$E2E_TMP/d1.err" ||
        e2e_fail "the refused login was not said"
    [ "$(page_field "$d1_http" outputs | grep -o '"kind": "mqtt"[^}]*')" = \
        '"kind": "mqtt", "address": "127.0.0.1:'"$shop_port"'", "up": false' ] ||
        e2e_fail "the page does not say the broker is not reached: $(page_field "$d1_http" outputs)"
    sleep 3
    [ "$(grep -c "trying again" "$E2E_TMP/d1.err")" -eq 1 ] || e2e_fail "more than one line"
    # d2 logged in but on d3's topics: the ACL gives it nothing there (the broker takes the
    # subscription and delivers nothing on it).
    broker_display d2 shop --mqtt-topic afficheur/d3
    e2e_wait_until "$E2E_PATIENCE" broker_connected d2 || e2e_fail "d2 did not reach the broker"
    broker_pub shop afficheur/d3/set '{"text":"Pour d3"}'
    sleep 1
    page_shows "$d2_http" text "" || e2e_fail "a display took a message the ACL keeps from it"
    [ -z "$(broker_retained shop afficheur/d3/state admin)" ] ||
        e2e_fail "a display published on topics the ACL keeps from it"
    [ -z "$(broker_retained shop afficheur/d3/status admin)" ] ||
        e2e_fail "a display published a status the ACL keeps from it"
}

case_bad_payloads() {
    broker_require
    broker_up shop
    # Each bad payload on a topic of its own, a group of d1's (which one more line of the ACL
    # lets it read), so that each refusal has its own line: the lines of one topic are limited
    # to one per 10 s.
    local -a topics=(big json utf8 key colour lines partial)
    local args=() t
    for t in "${topics[@]}"; do args+=(--mqtt-group "bad/$t"); done
    printf 'user d1\ntopic read bad/+/set\n' >>"$E2E_TMP/shop.acl"
    broker_reload shop
    sleep 0.5
    broker_display d1 shop "${args[@]}"
    e2e_wait_until "$E2E_PATIENCE" broker_connected d1 || e2e_fail "d1 did not reach the broker"
    broker_pub shop afficheur/d1/set '{"text":"Avant","colour":3}'
    e2e_wait_until "$E2E_PATIENCE" page_shows "$d1_http" text "Avant" || e2e_fail "no Avant"

    python3 -c 'print("{\"text\":\"" + "x" * 70000 + "\"}", end="")' >"$E2E_TMP/big.json"
    printf '{"text":"\xc3\x28"}' >"$E2E_TMP/utf8.json"
    local -A payload=(
        [json]='{"text":'
        [key]='{"text":"Intrus","sound":"beep"}'
        [colour]='{"colour":16}'
        [lines]='{"lines":[["Pain"]]}'
        [partial]='{"text":"Intrus","colour":99}'
    )
    local -A reason=(
        [big]="over 65536 bytes"
        [json]="not JSON"
        [utf8]="not UTF-8"
        [key]='unknown key "sound"'
        [colour]="colour wants a whole number from 0 to 15"
        [lines]="lines wants"
        [partial]="colour wants"
    )
    for t in "${topics[@]}"; do
        if [ -n "${payload[$t]:-}" ]; then
            broker_pub shop "bad/$t/set" "${payload[$t]}" admin
        else
            mosquitto_pub -h 127.0.0.1 -p "$shop_port" -u admin -P admin-pw -q 1 -t "bad/$t/set" \
                -f "$E2E_TMP/$t.json" || e2e_fail "mosquitto_pub failed"
        fi
    done
    for t in "${topics[@]}"; do
        e2e_wait_until "$E2E_PATIENCE" grep -qsF "on bad/$t/set: ${reason[$t]}" \
            "$E2E_TMP/d1.err" || e2e_fail "$t: not refused with \"${reason[$t]}\""
    done
    # Nothing of them reached the board; a good one after them does.
    broker_pub shop afficheur/d1/set '{"scroll":"Après"}'
    e2e_wait_until "$E2E_PATIENCE" page_shows "$d1_http" scroll "Après" || e2e_fail "no Après"
    page_shows "$d1_http" text "Avant" || e2e_fail "a refused payload changed the text"
    page_shows "$d1_http" colour 3 || e2e_fail "a refused payload changed the colour"
}

case_tls() {
    broker_require
    broker_up shop --tls
    # The broker's certificate names localhost: the display checks it against the case's CA.
    broker_display d1 shop --mqtt "mqtts://d1@localhost:$shop_port" --mqtt-ca "$E2E_TMP/ca.pem"
    e2e_wait_until "$E2E_PATIENCE" broker_connected d1 || e2e_fail "d1 did not reach the broker"
    mosquitto_pub -h localhost -p "$shop_port" --cafile "$E2E_TMP/ca.pem" -u till -P till-pw \
        -q 1 -t afficheur/d1/set -m "$SALE" || e2e_fail "mosquitto_pub over TLS failed"
    e2e_wait_until "$E2E_PATIENCE" page_shows "$d1_http" text "$SALE_TEXT" ||
        e2e_fail "the sale did not arrive over TLS"
    # Without the CA the broker's certificate is not trusted: never connected, said once.
    broker_display d2 shop --mqtt "mqtts://d2@localhost:$shop_port"
    e2e_wait_until "$E2E_PATIENCE" grep -qs "broker mqtts://d2@localhost:$shop_port: .*trying again" \
        "$E2E_TMP/d2.err" || e2e_fail "the untrusted broker was not said"
    broker_connected d2 && e2e_fail "d2 connected to a broker whose certificate it cannot trust"
    return 0
}

case "${1:-}" in
sale) e2e_init; case_sale ;;
offline) e2e_init; case_offline ;;
broker-restart) e2e_init; case_broker_restart ;;
group) e2e_init; case_group ;;
acl) e2e_init; case_acl ;;
bad-payloads) e2e_init; case_bad_payloads ;;
tls) e2e_init; case_tls ;;
*)
    echo "usage: $0 sale|offline|broker-restart|group|acl|bad-payloads|tls" >&2
    exit 2
    ;;
esac

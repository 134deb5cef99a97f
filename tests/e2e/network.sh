#!/usr/bin/env bash
# afficheur-display on a network that is not up yet, as at a machine's boot: in a network
# namespace of the test's own, the display is started on an address the machine does not have,
# keeps running and waiting, and takes messages once the address is given. Nothing leaves the
# namespace.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

# The shop's address, made inside the namespace only.
SHOP_ADDRESS=10.200.0.1

case_address_later() {
    e2e_require_display
    command -v unshare >/dev/null 2>&1 || e2e_missing "unshare is not installed (util-linux)"
    command -v ip >/dev/null 2>&1 || e2e_missing "ip is not installed (iproute2)"
    unshare --net true 2>/dev/null || e2e_skip "this machine refuses network namespaces"
    exec unshare --net bash "$0" address-later-inside
}

case_address_later_inside() {
    ip link set lo up || e2e_fail "cannot bring loopback up in the namespace"
    e2e_spawn shop "$AFFICHEUR_DISPLAY" --headless --log --listen "$SHOP_ADDRESS:9100" \
        --http "$SHOP_ADDRESS:8080" --allow 127.0.0.1 --allow "$SHOP_ADDRESS"
    local pid=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" grep -q 'trying again every 2 s' "$E2E_TMP/shop.err" ||
        e2e_fail "no line says the display waits for its address: $(cat "$E2E_TMP/shop.err")"
    sleep 2.5  # a retry or two while the address is missing
    kill -0 "$pid" 2>/dev/null || e2e_fail "the display ended while its address was missing"
    e2e_log "$(head -n 3 "$E2E_TMP/shop.err" | tr '\n' '|')"

    # The network comes up: within a retry the display listens, and takes messages.
    ip addr add "$SHOP_ADDRESS/32" dev lo || e2e_fail "cannot add $SHOP_ADDRESS in the namespace"
    e2e_wait_until "$E2E_PATIENCE" grep -q '"kind":"listening"' "$E2E_TMP/shop.out" ||
        e2e_fail "the display did not listen once its address was up: $(cat "$E2E_TMP/shop.err")"
    e2e_wait_until "$E2E_PATIENCE" grep -q '"kind":"http"' "$E2E_TMP/shop.out" ||
        e2e_fail "the page was not served once its address was up: $(cat "$E2E_TMP/shop.err")"
    printf 'Bonjour' >"/dev/tcp/$SHOP_ADDRESS/9100" || e2e_fail "cannot send to $SHOP_ADDRESS:9100"
    e2e_wait_messages "$E2E_TMP/shop.out" 1 || e2e_fail "the message did not arrive"
    [ "$(e2e_message "$E2E_TMP/shop.out" 1 bytes)" = "426F6E6A6F7572" ] ||
        e2e_fail "the message arrived changed: $(tail -n 1 "$E2E_TMP/shop.out")"
    [ "$(grep -c 'the address is up' "$E2E_TMP/shop.err")" -eq 2 ] ||
        e2e_fail "the address coming up was not logged once per listener: $(cat "$E2E_TMP/shop.err")"
}

case "${1:-}" in
address-later) case_address_later ;;
address-later-inside) e2e_init; case_address_later_inside ;;
*)
    echo "usage: $0 address-later" >&2
    exit 2
    ;;
esac

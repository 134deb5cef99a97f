#!/usr/bin/env bash
# afficheur-display announces its page over DNS-SD: in network and mount namespaces of the
# test's own, with its own D-Bus system bus and its own avahi-daemon on a veth pair, the page is
# found with avahi-browse under the register's name, with its address, port and path; renamed
# when the register's name changes; withdrawn when the display stops. Without a daemon the
# display says so in one line and goes on. And a tablet's way in: the window's code scanned
# from the screen (Xvfb), opened in Chromium. Nothing leaves the namespaces.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

# The shop's network, made inside the namespace only: the display's end and the other one.
SHOP_ADDRESS=10.201.0.1
PEER_ADDRESS=10.201.0.2

e2e_require_dnssd() {
    e2e_require_display
    local tool
    for tool in unshare ip dbus-daemon avahi-daemon avahi-browse; do
        command -v "$tool" >/dev/null 2>&1 ||
            e2e_missing "$tool is not installed (scripts/ensure-packages installs it)"
    done
    [ -x "${AFFICHEUR_SEND:-}" ] || e2e_missing "afficheur-send is not built"
    unshare --net --mount true 2>/dev/null || e2e_skip "this machine refuses namespaces"
}

# The namespaces' own /run (avahi-daemon keeps its pid file there), loopback and veth pair.
e2e_private_network() {
    mount -t tmpfs tmpfs /run || e2e_fail "cannot mount a private /run in the namespace"
    ip link set lo up || e2e_fail "cannot bring loopback up in the namespace"
    ip link add shop0 type veth peer name peer0 || e2e_skip "this machine refuses veth pairs"
    ip addr add "$SHOP_ADDRESS/24" dev shop0 && ip addr add "$PEER_ADDRESS/24" dev peer0 &&
        ip link set shop0 up && ip link set peer0 up || e2e_fail "cannot set the veth pair up"
}

# A system bus of the test's own, on a socket in $E2E_TMP, that lets avahi-daemon take its name.
e2e_start_bus() {
    cat >"$E2E_TMP/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$E2E_TMP/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
    e2e_spawn bus dbus-daemon --nofork --nopidfile --config-file="$E2E_TMP/bus.conf"
    e2e_wait_until "$E2E_PATIENCE" test -S "$E2E_TMP/bus" ||
        e2e_fail "the test's D-Bus did not start: $(cat "$E2E_TMP/bus.err")"
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$E2E_TMP/bus"
}

e2e_start_avahi() {
    cat >"$E2E_TMP/avahi.conf" <<CONF
[server]
host-name=afficheur-test
use-ipv4=yes
use-ipv6=no
allow-interfaces=shop0
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-workstation=no
publish-hinfo=no
CONF
    e2e_spawn avahi avahi-daemon --no-drop-root --no-chroot --no-rlimits --no-proc-title \
        -f "$E2E_TMP/avahi.conf"
    e2e_wait_until "$E2E_PATIENCE" grep -q 'Server startup complete' "$E2E_TMP/avahi.err" ||
        e2e_fail "avahi-daemon did not start: $(cat "$E2E_TMP/avahi.err")"
}

# avahi-browse's resolved lines (=;IFACE;IPv4;NAME;_http._tcp;local;HOST;ADDRESS;PORT;TXT),
# the type as it is (-k) and the name's spaces unescaped.
e2e_browse() {
    timeout 10 avahi-browse -rtpk _http._tcp 2>/dev/null | grep '^=' | sed 's/\\032/ /g'
}
e2e_announced() { e2e_browse | grep -q "$1"; }
e2e_withdrawn() { ! e2e_announced ';Afficheur '; }

case_announced() {
    e2e_require_dnssd
    exec unshare --net --mount bash "$0" announced-inside
}

case_announced_inside() {
    e2e_private_network
    e2e_start_bus
    e2e_start_avahi
    e2e_spawn shop "$AFFICHEUR_DISPLAY" --headless --log --listen 127.0.0.1:9100 \
        --http "$SHOP_ADDRESS:8080"
    local pid=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" e2e_announced ';Afficheur ' ||
        e2e_fail "the page was not found over DNS-SD: $(cat "$E2E_TMP/shop.err")"
    local line
    line=$(e2e_browse | grep ';Afficheur ' | head -n 1)
    e2e_log "$line"
    case "$line" in
    "=;shop0;IPv4;Afficheur "*";_http._tcp;local;afficheur-test.local;$SHOP_ADDRESS;8080;\"path=/\"") ;;
    *) e2e_fail "the page is announced with the wrong address, port or TXT: $line" ;;
    esac

    # The register's name becomes the service's.
    "$AFFICHEUR_SEND" --to 127.0.0.1:9100 --register "Caisse 1" ||
        e2e_fail "afficheur-send could not send the register's name"
    e2e_wait_until "$E2E_PATIENCE" e2e_announced ';Afficheur Caisse 1;' ||
        e2e_fail "the service was not renamed after the register: $(e2e_browse)"

    # The page answers at the address found.
    exec 3<>"/dev/tcp/$SHOP_ADDRESS/8080" || e2e_fail "cannot reach the page at $SHOP_ADDRESS"
    printf 'GET /state HTTP/1.1\r\nHost: %s:8080\r\n\r\n' "$SHOP_ADDRESS" >&3
    grep -q '"register":"Caisse 1"' < <(timeout 5 cat <&3) ||
        e2e_fail "the page found does not show the register's board"
    exec 3<&-

    # Stopped, the display withdraws its page.
    e2e_stop "$pid"
    e2e_wait_until "$E2E_PATIENCE" e2e_withdrawn ||
        e2e_fail "the page was still announced after the display stopped: $(e2e_browse)"
}

case_no_daemon() {
    e2e_require_dnssd
    exec unshare --net --mount bash "$0" no-daemon-inside
}

case_no_daemon_inside() {
    e2e_private_network
    e2e_start_bus  # a bus, but no avahi-daemon on it
    e2e_spawn shop "$AFFICHEUR_DISPLAY" --headless --log --listen 127.0.0.1:9100 \
        --http "$SHOP_ADDRESS:8080"
    local pid=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" grep -q 'avahi-daemon is not running' "$E2E_TMP/shop.err" ||
        e2e_fail "no line says Avahi is missing: $(cat "$E2E_TMP/shop.err")"
    "$AFFICHEUR_SEND" --to 127.0.0.1:9100 "Bonjour" || e2e_fail "the display took no message"
    e2e_wait_messages "$E2E_TMP/shop.out" 1 || e2e_fail "the message did not arrive"
    kill -0 "$pid" 2>/dev/null || e2e_fail "the display ended without Avahi"
    [ "$(grep -c 'dns-sd' "$E2E_TMP/shop.err")" -eq 1 ] ||
        e2e_fail "more than one line about Avahi: $(cat "$E2E_TMP/shop.err")"
}

# The window's pairing code on the X server's screen, as a tablet's camera reads it: its
# payload, or nothing when no code shows.
e2e_screen_code() {
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$E2E_TMP/screen.png" 2>/dev/null ||
        return 1
    timeout 20 zbarimg --quiet --raw -Sdisable -Sqrcode.enable "$E2E_TMP/screen.png" 2>/dev/null
}
e2e_screen_shows() { [ "$(e2e_screen_code)" = "$1" ]; }

# The page at url as headless Chromium has it at its load event, in $E2E_TMP/page.html; true
# when it shows the board the case sent.
e2e_open_page() {
    timeout 30 chromium --headless --no-sandbox --disable-gpu --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$E2E_TMP/chromium" --dump-dom "$1" \
        >"$E2E_TMP/page.html" 2>"$E2E_TMP/chromium.err"
    e2e_page_shows_board
}
e2e_page_shows_board() {
    grep -q '<div id="register">Caisse 1</div>' "$E2E_TMP/page.html" &&
        grep -q '>Bonjour</p>' "$E2E_TMP/page.html"
}

# The tablet's side: the code on the window scanned, the address it gives the one found over
# DNS-SD, and that address opened in Chromium shows the board; the code goes once the page
# follows, and comes back for the till's --pair.
case_tablet() {
    e2e_require_dnssd
    e2e_require_x
    local tool
    for tool in xwd xwdtopnm pnmtopng zbarimg chromium; do
        command -v "$tool" >/dev/null 2>&1 ||
            e2e_missing "$tool is not installed (scripts/ensure-packages installs it)"
    done
    exec unshare --net --mount bash "$0" tablet-inside
}

case_tablet_inside() {
    e2e_private_network
    e2e_start_bus
    e2e_start_avahi
    e2e_start_x
    e2e_spawn shop "$AFFICHEUR_DISPLAY" --log --listen 127.0.0.1:9100 --http "$SHOP_ADDRESS:8080"
    local url="http://$SHOP_ADDRESS:8080/"
    e2e_wait_until "$E2E_PATIENCE" e2e_screen_shows "$url" ||
        e2e_fail "the window shows no code of $url: '$(e2e_screen_code)' $(cat "$E2E_TMP/shop.err")"
    e2e_wait_until "$E2E_PATIENCE" e2e_announced ";$SHOP_ADDRESS;8080;" ||
        e2e_fail "the address scanned is not the one found over DNS-SD: $(e2e_browse)"

    "$AFFICHEUR_SEND" --to 127.0.0.1:9100 --register "Caisse 1" "Bonjour" ||
        e2e_fail "afficheur-send could not send"
    e2e_wait_messages "$E2E_TMP/shop.out" 2 || e2e_fail "the messages did not arrive"
    # The tablet opens the address it scanned; the page follows the display while it loads.
    # Chromium takes the page's DOM at its load event, which may come before the board's first
    # event is drawn: a few tries.
    for _ in 1 2 3 4 5; do
        e2e_open_page "$url" && break
    done
    e2e_page_shows_board ||
        e2e_fail "the page at the scanned address does not show the board: $(head -c 2000 "$E2E_TMP/page.html")"
    e2e_log "the page: $(grep -o '<div id="register">[^<]*</div>' "$E2E_TMP/page.html")" \
        "$(grep -o '<p id="text"[^>]*>[^<]*</p>' "$E2E_TMP/page.html")"
    e2e_wait_until "$E2E_PATIENCE" e2e_screen_shows "" ||
        e2e_fail "the code still shows after a page followed the display"

    "$AFFICHEUR_SEND" --to 127.0.0.1:9100 --pair || e2e_fail "afficheur-send --pair failed"
    e2e_wait_until "$E2E_PATIENCE" e2e_screen_shows "$url" ||
        e2e_fail "the code did not come back for --pair"
}

case "${1:-}" in
tablet) case_tablet ;;
tablet-inside) e2e_init; case_tablet_inside ;;
announced) case_announced ;;
announced-inside) e2e_init; case_announced_inside ;;
no-daemon) case_no_daemon ;;
no-daemon-inside) e2e_init; case_no_daemon_inside ;;
*)
    echo "usage: $0 announced|no-daemon|tablet" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# End-to-end checks of afficheur-display --lcdproc against a real LCDd (Debian's lcdproc), run
# as the current user in the foreground on a free loopback port of its own, with a
# configuration file written in the case's scratch folder. The `text` driver prints every
# frame on LCDd's stdout, which the checks read; the serialPOS driver writes to a
# pseudo-terminal made by socat, whose other end keeps the bytes a pole display would get.
#
# Usage: lcdproc.sh CASE
#   client-20x2   the real client's presses show on a 20x2 display: text centred, marquee moving
#   board-20x4    messages as the client sends them, on 20x4: the register's name on line 4,
#                 quotes and braces and accents through LCDd's parser and the ASCII charset
#   restart       LCDd absent at start, then up, stopped and started again: the board comes
#                 back each time, every message is taken meanwhile, one log line per change
#   serialpos     the serialPOS driver in Epson mode: the text reaches the serial line
#   options       a bad --lcdproc or --lcd-charset ends the program at once, saying why
#   fullscreen    --fullscreen covers the chosen monitor under Xvfb, and follows it to a new
#                 resolution
#   broker-sale   a sale published on an MQTT broker (a real mosquitto, see broker.sh) reaches
#                 the pole display as the same sale over TCP does
#   monitors      with two monitors (xrandr --setmonitor) the window covers the one that is not
#                 the primary, hides while it is away and comes back with it; with one monitor
#                 and no --screen it waits hidden and says how to choose
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=broker.sh
source "$here/broker.sh"

lcd_require() {
    e2e_require_display
    command -v LCDd >/dev/null 2>&1 || e2e_missing "LCDd is not installed (package lcdproc)"
    command -v stdbuf >/dev/null 2>&1 || e2e_missing "stdbuf is not installed (coreutils)"
    LCD_DRIVERS=$(dirname "$(dpkg -L lcdproc 2>/dev/null | grep -m1 '/lcdproc/text.so$')")
    [ -f "$LCD_DRIVERS/text.so" ] || e2e_missing "LCDd's text driver is not found"
}

# lcd_config NAME PORT DRIVER DRIVER-LINE...: writes $E2E_TMP/NAME.conf for LCDd on
# 127.0.0.1:PORT, run as the current user, reporting on stderr, no server screen.
lcd_config() {
    local name=$1 port=$2 driver=$3
    shift 3
    {
        echo "[server]"
        echo "DriverPath=$LCD_DRIVERS/"
        echo "Driver=$driver"
        echo "Bind=127.0.0.1"
        echo "Port=$port"
        echo "User=$(id -un)"
        echo "Foreground=yes"
        echo "ReportToSyslog=no"
        echo "ReportLevel=2"
        echo "ServerScreen=no"
        echo "Hello=\"\""
        echo "GoodBye=\"\""
        echo "[$driver]"
        printf '%s\n' "$@"
    } >"$E2E_TMP/$name.conf"
}

# lcd_start NAME PORT: starts LCDd with NAME.conf, its stdout line-buffered into NAME.out;
# returns 1 when it does not listen on PORT (port taken, driver failed). Sets ${NAME}_pid.
lcd_start() {
    local name=$1 port=$2
    e2e_spawn "$name" stdbuf -oL LCDd -f -c "$E2E_TMP/$name.conf" -u "$(id -un)"
    local pid=$E2E_LAST_PID
    printf -v "${name}_pid" '%s' "$pid"
    e2e_wait_until "$E2E_PATIENCE" lcd_listening_or_gone "$port" "$pid"
    kill -0 "$pid" 2>/dev/null && ! e2e_port_free "$port"
}
lcd_listening_or_gone() { ! e2e_port_free "$1" || e2e_not_running "$2"; }

# lcd_up NAME DRIVER DRIVER-LINE...: LCDd on a free port (tried up to five times, since
# another test may take the port between the probe and the start). Sets ${NAME}_port.
lcd_up() {
    local name=$1 attempt port
    shift
    for attempt in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 12000))  # below the ephemeral range
        e2e_port_free "$port" || continue
        lcd_config "$name" "$port" "$@"
        if lcd_start "$name" "$port"; then
            printf -v "${name}_port" '%s' "$port"
            e2e_log "LCDd $name ($1) on 127.0.0.1:$port"
            return 0
        fi
        e2e_stop "$E2E_LAST_PID"
    done
    e2e_fail "LCDd $name did not start: $(tail -n 3 "$E2E_TMP/$name.err")"
}

# lcd_frames FILE: every frame the text driver printed, one per line, its rows joined by tabs.
lcd_frames() {
    awk '/^\+-*\+$/ { if (n) print f; f = ""; n = 0; next }
         /^\|.*\|$/ { f = f (n ? "\t" : "") substr($0, 2, length($0) - 2); n++ }' "$1"
}

# lcd_wait_frame NAME ROW...: waits until LCDd NAME has shown a frame with exactly these rows.
lcd_wait_frame() {
    local name=$1
    shift
    local want
    want=$(printf '%s\t' "$@")
    want=${want%$'\t'}
    e2e_wait_until "$E2E_PATIENCE" lcd_has_frame "$E2E_TMP/$name.out" "$want" ||
        e2e_fail "LCDd $name never showed [$(printf '%s|' "$@")]; last frame [$(lcd_frames "$E2E_TMP/$name.out" | tail -n 1 | tr '\t' '|')]"
    e2e_log "LCDd $name showed [$(printf '%s|' "$@")]"
}
lcd_has_frame() { lcd_frames "$1" | grep -Fxq -- "$2"; }

# send PORT UTF8-TEXT [LEAD]: one message as the client sends it: one connection, the lead
# bytes (0xFF and a digit for a command) then the text in Windows-1252, then the close.
send() {
    local port=$1 text=$2 lead=${3:-}
    {
        [ -n "$lead" ] && printf '\xff%s' "$lead"
        printf '%s' "$text" | iconv -f UTF-8 -t WINDOWS-1252
    } >"/dev/tcp/127.0.0.1/$port"
}

# The display headless, its JSON log in $shop_log, talking to LCDd at PORT.
start_display_for() { e2e_start_display shop --lcdproc "127.0.0.1:$1" "${@:2}"; }

# expect_all_shown N: the display's log holds N messages, every one whole and shown.
expect_all_shown() {
    e2e_wait_messages "$shop_log" "$1" || e2e_fail "$1 messages expected, $(e2e_message_count "$shop_log") arrived"
    local bad
    bad=$(grep '"end":' "$shop_log" | grep -v '"end":"closed"' | grep -c . || true)
    [ "$bad" -eq 0 ] || e2e_fail "$bad message(s) not taken whole: $(grep -v '"end":"closed"' "$shop_log" | tail -n 1)"
    bad=$(grep '"end":' "$shop_log" | grep -c '"shown":false' || true)
    [ "$bad" -eq 0 ] || e2e_fail "$bad message(s) not shown"
}

log_lines() { grep -c "$1" "$E2E_TMP/shop.err" || true; }

case_client_20x2() {
    lcd_require
    e2e_require_x
    e2e_require_client
    e2e_start_x
    lcd_up lcd text "Size=20x2"
    start_display_for "$lcd_port"
    e2e_write_ini \
        "[ecran]" "ip=127.0.0.1" "port=$shop_port" \
        "[boutons]" "0=Café crème" "0 couleur=12" \
        "[deroulant]" "texte=Soldes d'été sur tout le magasin" \
        "[NomCaisse]" "texte=Caisse 1"
    e2e_start_client

    e2e_click_command1 0
    lcd_wait_frame lcd "     Cafe creme     " "                    "
    e2e_click_command2
    lcd_wait_frame lcd "     Cafe creme     " "Soldes d'ete sur tou"
    e2e_click_command3  # a 2-line display has no room for the name: nothing changes
    expect_all_shown 4

    # The marquee moves: the second row takes at least four different windows on the text.
    local scroll="Soldes d'ete sur tout le magasin" rows=0
    e2e_wait_until "$E2E_PATIENCE" eval \
        'rows=$(lcd_frames "$E2E_TMP/lcd.out" | cut -f2 | grep -F "ete" | sort -u | grep -c .); [ "$rows" -ge 4 ]' ||
        e2e_fail "the marquee did not move: $(lcd_frames "$E2E_TMP/lcd.out" | cut -f2 | sort -u | tr '\n' '|')"
    e2e_log "the marquee moved through $rows positions of \"$scroll\""
}

case_board_20x4() {
    lcd_require
    lcd_up lcd text "Size=20x4"
    start_display_for "$lcd_port"
    send "$shop_port" 'Prix "net" {5 €}'
    send "$shop_port" "12" 2
    send "$shop_port" "Cœur \\ entrée" 3
    lcd_wait_frame lcd ' Prix "net" {5 EUR} ' "                    " "                    " \
        "Coeur \\ entree      "
    send "$shop_port" "Été" 1
    lcd_wait_frame lcd ' Prix "net" {5 EUR} ' "                    " "Ete                 " \
        "Coeur \\ entree      "
    send "$shop_port" ""
    lcd_wait_frame lcd "                    " "                    " "Ete                 " \
        "Coeur \\ entree      "
    expect_all_shown 5
    [ "$(log_lines 'refused')" -eq 0 ] || e2e_fail "LCDd refused a command: $(grep refused "$E2E_TMP/shop.err")"
}

# knocked N: the stand-in on LCDd's port took N connections at least.
knocked() { [ "$(grep -c . "$E2E_TMP/knocks" 2>/dev/null || true)" -ge "$1" ]; }

case_restart() {
    lcd_require
    command -v socat >/dev/null 2>&1 || e2e_missing "socat is not installed"
    # LCDd absent at start: the display runs, takes messages and says so once.
    local port
    for _ in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 12000))  # below the ephemeral range
        e2e_port_free "$port" && break
    done
    start_display_for "$port"
    send "$shop_port" "Bonjour"
    send "$shop_port" "Caisse 3" 3
    e2e_wait_until "$E2E_PATIENCE" grep -q 'cannot connect' "$E2E_TMP/shop.err" ||
        e2e_fail "no log line says LCDd is not there"

    lcd_config lcd "$port" text "Size=20x4"
    lcd_start lcd "$port" || e2e_fail "LCDd did not start on $port"
    lcd_wait_frame lcd "      Bonjour       " "                    " "                    " \
        "Caisse 3            "
    [ "$(log_lines 'cannot connect')" -eq 1 ] || e2e_fail "retries were logged: $(cat "$E2E_TMP/shop.err")"

    # Stopped: every message is still taken at once; one line says the link is down.
    e2e_stop "$lcd_pid"
    local i
    for i in 1 2 3 4 5; do send "$shop_port" "Article $i"; done
    send "$shop_port" "Promo" 1
    expect_all_shown 8
    e2e_wait_until "$E2E_PATIENCE" grep -q 'link down' "$E2E_TMP/shop.err" ||
        e2e_fail "no log line says the link went down"
    # Two retries at least, which must not be logged: a stand-in on LCDd's port counts them,
    # taking each connection and closing it at once, and goes before LCDd starts again.
    e2e_spawn knock socat "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork" \
        "SYSTEM:echo knock >>$E2E_TMP/knocks"
    local knock_pid=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" knocked 2 ||
        e2e_fail "no two retries reached the port: $(cat "$E2E_TMP/knock.err")"
    e2e_stop "$knock_pid"
    e2e_log "$(grep -c . "$E2E_TMP/knocks") retries while LCDd was away"
    [ "$(log_lines 'link down')" -eq 1 ] || e2e_fail "the link going down was logged more than once"
    [ "$(log_lines 'cannot connect')" -eq 1 ] || e2e_fail "failed retries were logged: $(cat "$E2E_TMP/shop.err")"

    # Started again: the current board is back within a few seconds, redrawn whole.
    mv "$E2E_TMP/lcd.out" "$E2E_TMP/lcd-before.out"
    lcd_start lcd "$port" || e2e_fail "LCDd did not start again on $port"
    lcd_wait_frame lcd "     Article 5      " "                    " "Promo               " \
        "Caisse 3            "
    [ "$(log_lines 'link up')" -eq 2 ] || e2e_fail "link up logged $(log_lines 'link up') times, not 2"
    e2e_log "$(cat "$E2E_TMP/shop.err" | tr '\n' '|')"
}

case_serialpos() {
    lcd_require
    command -v socat >/dev/null 2>&1 || e2e_missing "socat is not installed"
    [ -f "$LCD_DRIVERS/serialPOS.so" ] || e2e_missing "LCDd's serialPOS driver is not found"
    # The pole display's end of the line: what LCDd writes to the terminal lands in pos.bytes.
    e2e_spawn socat socat -u "pty,raw,echo=0,link=$E2E_TMP/ttyPOS" "OPEN:$E2E_TMP/pos.bytes,creat,trunc"
    e2e_wait_until "$E2E_PATIENCE" test -e "$E2E_TMP/ttyPOS" || e2e_fail "socat made no pseudo-terminal"
    lcd_up lcd serialPOS "Device=$E2E_TMP/ttyPOS" "Type=Epson" "Size=20x2" "Speed=9600"
    start_display_for "$lcd_port"
    send "$shop_port" "Bon appétit"
    send "$shop_port" "Merci" 1
    e2e_wait_until "$E2E_PATIENCE" grep -aqF "    Bon appetit     " "$E2E_TMP/pos.bytes" ||
        e2e_fail "the serial line never carried the text: $(od -c "$E2E_TMP/pos.bytes" | tail -n 5)"
    e2e_wait_until "$E2E_PATIENCE" grep -aqF "Merci               " "$E2E_TMP/pos.bytes" ||
        e2e_fail "the serial line never carried the scrolling text: $(od -c "$E2E_TMP/pos.bytes" | tail -n 5)"
    # Each row follows the Epson cursor move to its line (0x1F 0x24, column, row).
    grep -aqF $'\x1f$0101' "$E2E_TMP/pos.bytes" || e2e_fail "no cursor move to row 1"
    grep -aqF $'\x1f$0102' "$E2E_TMP/pos.bytes" || e2e_fail "no cursor move to row 2"
    e2e_log "serial bytes: $(od -An -c "$E2E_TMP/pos.bytes" | tr -s ' ' | head -c 300)"
}

case_fullscreen() {
    e2e_require_x
    e2e_require_display
    e2e_start_x
    e2e_spawn full "$AFFICHEUR_DISPLAY" --listen 127.0.0.1:0 --log --fullscreen --screen 1
    full_pid=$E2E_LAST_PID
    local root wid
    root=$(xwininfo -root | sed -n 's/^ *-geometry *\([0-9]*x[0-9]*\).*/\1/p')
    e2e_wait_until "$E2E_PATIENCE" full_window_covers "$root" ||
        e2e_fail "no window covers the screen ($root): $(xwininfo -root -tree | grep -F 'afficheur-display ')"
    wid=$full_wid
    e2e_wait_until "$E2E_PATIENCE" eval "e2e_wm_state $wid | grep -q _NET_WM_STATE_FULLSCREEN" ||
        e2e_fail "the window is not full-screen: $(e2e_wm_state "$wid")"
    e2e_log "the window covers the screen, $root"

    # The monitor changes resolution: the window follows and covers it again.
    if command -v xrandr >/dev/null 2>&1; then
        xrandr --fb 1024x768 >/dev/null 2>&1 || true  # Xvfb shrinks its screen, the output off
        root=$(xwininfo -root | sed -n 's/^ *-geometry *\([0-9]*x[0-9]*\).*/\1/p')
        [ "$root" = 1024x768 ] || e2e_fail "xrandr did not change the screen: $root"
        e2e_wait_until "$E2E_PATIENCE" full_window_covers 1024x768 ||
            e2e_fail "the window did not follow the new resolution: $(xwininfo -root -tree | grep -F 'afficheur-display ')"
        e2e_log "the window follows the screen to 1024x768"
    else
        e2e_log "xrandr is not installed: the change of resolution is not tried"
    fi

    # A monitor that is not there: the primary, and a log line listing the monitors.
    e2e_spawn other "$AFFICHEUR_DISPLAY" --listen 127.0.0.1:0 --fullscreen --screen HDMI-9
    e2e_wait_until "$E2E_PATIENCE" grep -q 'names no monitor' "$E2E_TMP/other.err" ||
        e2e_fail "no log line for a monitor that is not there"
}

case_monitors() {
    e2e_require_x
    e2e_require_display
    command -v xrandr >/dev/null 2>&1 || e2e_missing "xrandr is not installed (x11-xserver-utils)"
    e2e_start_x
    # One monitor, the cashier's: the window waits hidden and says how to choose.
    e2e_spawn alone "$AFFICHEUR_DISPLAY" --listen 127.0.0.1:0 --fullscreen
    full_pid=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" grep -q 'only one monitor.*--screen 1' "$E2E_TMP/alone.err" ||
        e2e_fail "no log line about the only monitor: $(cat "$E2E_TMP/alone.err")"
    full_window_shown && e2e_fail "the window covers the only monitor, the cashier's"
    e2e_stop "$full_pid"

    # Two monitors: the cashier's (primary) on the left, the customer's on the right.
    xrandr --setmonitor '*CASHIER' 640/169x1024/271+0+0 none >/dev/null ||
        e2e_fail "xrandr cannot make the cashier's monitor"
    xrandr --setmonitor CUSTOMER 640/169x1024/271+640+0 none >/dev/null ||
        e2e_fail "xrandr cannot make the customer's monitor"
    e2e_log "monitors: $(xrandr --listmonitors | tail -n +2 | tr -s ' ' | paste -sd ';')"
    e2e_spawn full "$AFFICHEUR_DISPLAY" --listen 127.0.0.1:0 --fullscreen
    full_pid=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" full_window_at 640x1024+640+0 ||
        e2e_fail "the window does not cover the customer's monitor: $(full_windows)"
    e2e_log "the window covers the customer's monitor"

    xrandr --delmonitor CUSTOMER >/dev/null || e2e_fail "xrandr cannot remove the monitor"
    e2e_wait_until "$E2E_PATIENCE" grep -q 'monitor CUSTOMER is gone' "$E2E_TMP/full.err" ||
        e2e_fail "no log line for the monitor gone"
    e2e_wait_until "$E2E_PATIENCE" eval '! full_window_shown' ||
        e2e_fail "the window did not hide, or moved onto the cashier's monitor: $(full_windows)"
    e2e_log "the window hides while the customer's monitor is away"

    xrandr --setmonitor CUSTOMER 640/169x1024/271+640+0 none >/dev/null
    e2e_wait_until "$E2E_PATIENCE" full_window_at 640x1024+640+0 ||
        e2e_fail "the window did not come back on the customer's monitor: $(full_windows)"
    e2e_log "the window is back with the customer's monitor"
}

# The display's ($full_pid) shown windows, with their place.
full_windows() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$full_pid" --name afficheur-display 2>/dev/null); do
        printf '%s %s; ' "$w" "$(xwininfo -id "$w" 2>/dev/null | sed -n 's/^ *Absolute upper-left \([XY]\): *//p' | paste -sd, -) $(xwininfo -id "$w" 2>/dev/null | sed -n 's/^ *\(Width\|Height\): *//p' | paste -sd x -)"
    done
}
full_window_shown() { [ -n "$(xdotool search --onlyvisible --pid "$full_pid" --name afficheur-display 2>/dev/null)" ]; }

# full_window_at WxH+X+Y: a shown window of the display has that size at that place.
full_window_at() {
    local w size place
    for w in $(xdotool search --onlyvisible --pid "$full_pid" --name afficheur-display 2>/dev/null); do
        size=$(xwininfo -id "$w" 2>/dev/null | sed -n 's/^ *\(Width\|Height\): *//p' | paste -sd x -)
        place=$(xwininfo -id "$w" 2>/dev/null | sed -n 's/^ *Absolute upper-left [XY]: *//p' | paste -sd + -)
        [ "$size+$place" = "$1" ] && return 0
    done
    return 1
}

# full_window_covers WxH: a shown window of the display ($full_pid) sits at the top-left
# corner with that size; its id goes to full_wid.
full_window_covers() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$full_pid" --name afficheur-display 2>/dev/null); do
        if xwininfo -id "$w" 2>/dev/null | grep -q "^ *-geometry $1+0+0\$"; then
            full_wid=$w
            return 0
        fi
    done
    return 1
}

case_display_restart() {
    lcd_require
    lcd_up lcd text "Size=20x4"
    local state="$E2E_TMP/board.json"
    start_display_for "$lcd_port" --state "$state"
    send "$shop_port" "Total 12,40"
    send "$shop_port" "Promo" 1
    send "$shop_port" "Caisse 2" 3
    lcd_wait_frame lcd "    Total 12,40     " "                    " "Promo               " \
        "Caisse 2            "
    expect_all_shown 3
    # Killed at once, no time to save on the way out: the state file already holds the board
    # (it is written within a quarter of a second of a change).
    sleep 0.5
    kill -KILL "$shop_pid"
    wait "$shop_pid" 2>/dev/null
    # LCDd drops the screen of a client that went away; the frames after that are the new
    # display's.
    e2e_wait_until "$E2E_PATIENCE" eval \
        'lcd_frames "$E2E_TMP/lcd.out" | tail -n 1 | grep -q "Total"; [ $? -ne 0 ]' ||
        e2e_fail "LCDd kept the killed display's screen"
    local before
    before=$(lcd_frames "$E2E_TMP/lcd.out" | grep -c .)
    start_display_for "$lcd_port" --state "$state"
    local want
    want=$(printf '%s\t' "    Total 12,40     " "                    " "Promo               " \
        "Caisse 2            ")
    want=${want%$'\t'}
    e2e_wait_until "$E2E_PATIENCE" eval \
        'lcd_frames "$E2E_TMP/lcd.out" | tail -n +$((before + 1)) | grep -Fxq -- "$want"' ||
        e2e_fail "the restarted display did not show the board: $(lcd_frames "$E2E_TMP/lcd.out" | tail -n 1 | tr '\t' '|')"
    e2e_log "the board is back on LCDd after SIGKILL and a start, without a message"
    [ "$(e2e_message_count "$shop_log")" -eq 0 ] || e2e_fail "a message came in the restart"
}

# first_line_after NAME N WORD: line 1 of the first frame past the first N frames of LCDd NAME
# whose line 1 holds WORD.
first_line_after() {
    lcd_frames "$E2E_TMP/$1.out" | tail -n +$(($2 + 1)) | cut -f1 | grep -F -m1 -- "$3"
}

case_rule() {
    lcd_require
    lcd_up lcd text "Size=20x2"
    start_display_for "$lcd_port"
    # A line break starts a new line; a text that fits its lines word-wrapped is shown so.
    send "$shop_port" $'Café crème\r\n2,40 €'
    lcd_wait_frame lcd "     Cafe creme     " "      2,40 EUR      "
    send "$shop_port" "Soldes d'été sur tout le rayon"
    lcd_wait_frame lcd "  Soldes d'ete sur  " "   tout le rayon    "
    # With the scrolling text on line 2, a long text is a marquee on line 1 that starts from
    # its beginning each time the text changes, wherever the one before had got to.
    send "$shop_port" "Promo" 1
    local text frames first
    for text in "Café crème 2,40 € Straße" "Thé vert à la menthe 3,10 €" "Café crème 2,40 € Straße"; do
        frames=$(lcd_frames "$E2E_TMP/lcd.out" | grep -c .)
        send "$shop_port" "$text"
        local word=${text%% *}
        word=${word//é/e}
        e2e_wait_until "$E2E_PATIENCE" eval 'first=$(first_line_after lcd "$frames" "$word"); [ -n "$first" ]' ||
            e2e_fail "$text never showed"
        case "$text" in
        Caf*) [ "$first" = "Cafe creme 2,40 EUR " ] || e2e_fail "the marquee started at [$first]" ;;
        *) [ "$first" = "The vert a la menthe" ] || e2e_fail "the marquee started at [$first]" ;;
        esac
        e2e_log "first frame of \"$text\": [$first]"
        sleep 1
    done
    # Then it moves: its end shows.
    lcd_wait_frame lcd "eme 2,40 EUR Strasse" "Promo               "
    expect_all_shown 6

    # A 40x2 display: the same rule at its width.
    lcd_up wide text "Size=40x2"
    e2e_start_display wider --lcdproc "127.0.0.1:$wide_port"
    send "$wider_port" "Promo" 1
    send "$wider_port" "Soldes d'été sur tout le rayon jusqu'à samedi soir"
    lcd_wait_frame wide "Soldes d'ete sur tout le rayon jusqu'a s" \
        "Promo                                   "
    lcd_wait_frame wide "te sur tout le rayon jusqu'a samedi soir" \
        "Promo                                   "
    send "$wider_port" $'Café crème\t2,40 €\nTOTAL\t23,70 €'
    lcd_wait_frame wide "Cafe creme                      2,40 EUR" \
        "TOTAL                          23,70 EUR"
}

case_broker_sale() {
    lcd_require
    broker_require
    lcd_up lcd text "Size=20x2"
    broker_up shop
    broker_display d1 shop --lcd-charset ASCII --lcdproc "127.0.0.1:$lcd_port"
    e2e_wait_until "$E2E_PATIENCE" broker_connected d1 || e2e_fail "d1 did not reach the broker"
    broker_pub shop afficheur/d1/set \
        '{"lines":[["Café crème","2,40 €"],["Croissant","1,20 €"]],"total":["TOTAL","3,60 €"]}'
    lcd_wait_frame lcd "Croissant   1,20 EUR" "TOTAL       3,60 EUR"
    broker_pub shop afficheur/d1/set '{"text":"Merci"}'
    lcd_wait_frame lcd "       Merci        " "                    "
}

case_sale() {
    lcd_require
    [ -n "${AFFICHEUR_SEND:-}" ] && [ -x "$AFFICHEUR_SEND" ] ||
        e2e_missing "afficheur-send is not built (${AFFICHEUR_SEND:-unset})"
    lcd_up lcd text "Size=20x2"
    lcd_up wide text "Size=40x2"
    lcd_up tall text "Size=20x4"
    start_display_for "$lcd_port" --lcd-charset ASCII --lcdproc "127.0.0.1:$wide_port" \
        --lcdproc "127.0.0.1:$tall_port"
    send "$shop_port" "Promo" 1
    # The till's own software, through afficheur-send, as the sale goes: each item, the total,
    # the change due. Each amount ends in the last column; with more lines than the display,
    # the last ones show.
    local to="127.0.0.1:$shop_port"
    "$AFFICHEUR_SEND" --to "$to" --line "Café crème" "2,40 €" || e2e_fail "afficheur-send failed"
    lcd_wait_frame lcd "Promo               " "Cafe creme  2,40 EUR"  # the line it leaves
    "$AFFICHEUR_SEND" --to "$to" --line "Café crème" "2,40 €" --line "Croissant" "1,20 €" ||
        e2e_fail "afficheur-send failed"
    lcd_wait_frame lcd "Cafe creme  2,40 EUR" "Croissant   1,20 EUR"
    "$AFFICHEUR_SEND" --to "$to" --line "Café crème" "2,40 €" --line "Croissant" "1,20 €" \
        --line "Jus d'orange" "3,50 €" --line TOTAL "7,10 €" || e2e_fail "afficheur-send failed"
    lcd_wait_frame lcd "Jus d'orang 3,50 EUR" "TOTAL       7,10 EUR"
    lcd_wait_frame wide "Jus d'orange                    3,50 EUR" \
        "TOTAL                           7,10 EUR"
    "$AFFICHEUR_SEND" --to "$to" --line TOTAL "7,10 €" --line "Espèces" "10,00 €" \
        --line "Rendu" "2,90 €" || e2e_fail "afficheur-send failed"
    lcd_wait_frame lcd "Especes    10,00 EUR" "Rendu       2,90 EUR"
    lcd_wait_frame wide "Especes                        10,00 EUR" \
        "Rendu                           2,90 EUR"
    # A sale and its total: the total on the last line, the latest items above; on 4 lines a
    # one-line sale leaves two to the scrolling text and the register's name.
    "$AFFICHEUR_SEND" --to "$to" --register "Caisse 1" --line "Café crème" "2,40 €" \
        --total TOTAL "2,40 €" || e2e_fail "afficheur-send failed"
    lcd_wait_frame lcd "Cafe creme  2,40 EUR" "TOTAL       2,40 EUR"
    lcd_wait_frame tall "Caisse 1            " "Promo               " "Cafe creme  2,40 EUR" \
        "TOTAL       2,40 EUR"
    lcd_wait_frame wide "Cafe creme                      2,40 EUR" \
        "TOTAL                           2,40 EUR"
    "$AFFICHEUR_SEND" --to "$to" --line "Pain" "1,10 €" --line "Lait" "0,95 €" \
        --line "Beurre" "2,30 €" --total TOTAL "4,35 €" --change Rendu "5,65 €" ||
        e2e_fail "afficheur-send failed"
    lcd_wait_frame lcd "TOTAL       4,35 EUR" "Rendu       5,65 EUR"
    lcd_wait_frame tall "Lait        0,95 EUR" "Beurre      2,30 EUR" "TOTAL       4,35 EUR" \
        "Rendu       5,65 EUR"
    # The next text without a TAB ends the sale: the scrolling text has its line back.
    "$AFFICHEUR_SEND" --to "$to" "Merci" || e2e_fail "afficheur-send failed"
    lcd_wait_frame lcd "       Merci        " "Promo               "
    expect_all_shown 11
}

# state_of PORT: the page's /state, its body alone.
state_of() {
    local reply
    exec 3<>"/dev/tcp/127.0.0.1/$1" || return 1
    printf 'GET /state HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
    reply=$(timeout 5 cat <&3)
    exec 3<&-
    printf '%s\n' "${reply##*$'\r\n\r\n'}"
}
state_says() { state_of "$1" | grep -Fq -- "$2"; }

case_two() {
    lcd_require
    lcd_up front text "Size=20x2"
    lcd_up back text "Size=20x4"
    # The second display names its own character set: é is one byte there, "e" on the first.
    start_display_for "$front_port" --lcdproc "127.0.0.1:$back_port,ISO-8859-1" --http 127.0.0.1:0
    local http
    # The page's line follows the listening one in the log: wait for it.
    e2e_wait_until "$E2E_PATIENCE" grep -q '"kind":"http"' "$shop_log" ||
        e2e_fail "the page's address is not in the log: $(cat "$shop_log")"
    http=$(sed -n 's/.*"kind":"http".*"address":"127\.0\.0\.1:\([0-9]*\)".*/\1/p;s/.*"address":"127\.0\.0\.1:\([0-9]*\)".*"kind":"http".*/\1/p' "$shop_log" | head -n 1)
    [ -n "$http" ] || e2e_fail "the page's address is not in the log: $(cat "$shop_log")"
    send "$shop_port" "Café"
    lcd_wait_frame front "        Cafe        " "                    "
    lcd_wait_frame back $'        Caf\xe9        ' "                    " "                    " \
        "                    "
    local up_front="{\"kind\":\"lcdproc\",\"address\":\"127.0.0.1:$front_port\",\"up\":true}"
    local up_back="{\"kind\":\"lcdproc\",\"address\":\"127.0.0.1:$back_port\",\"up\":true}"
    e2e_wait_until "$E2E_PATIENCE" state_says "$http" "$up_back" ||
        e2e_fail "/state does not say the back display is up: $(state_of "$http")"
    state_says "$http" "$up_front" || e2e_fail "/state does not say the front display is up: $(state_of "$http")"

    # One LCDd stopped: the other keeps showing, and /state says which is down.
    e2e_stop "$back_pid"
    send "$shop_port" "Merci"
    lcd_wait_frame front "       Merci        " "                    "
    e2e_wait_until "$E2E_PATIENCE" state_says "$http" "${up_back/true/false}" ||
        e2e_fail "/state does not say the back display is down: $(state_of "$http")"
    state_says "$http" "$up_front" || e2e_fail "/state lost the front display: $(state_of "$http")"
    e2e_log "/state: $(state_of "$http")"
}

case_options() {
    e2e_require_display
    local args expected status
    while IFS='|' read -r args expected; do
        status=0
        # shellcheck disable=SC2086  # the arguments are words
        timeout 20 "$AFFICHEUR_DISPLAY" --headless --listen 127.0.0.1:0 $args \
            >"$E2E_TMP/options.out" 2>"$E2E_TMP/options.err" || status=$?
        [ "$status" -eq 2 ] || e2e_fail "$args: exit status $status, not 2"
        grep -q -- "$expected" "$E2E_TMP/options.err" ||
            e2e_fail "$args: no line saying '$expected': $(cat "$E2E_TMP/options.err")"
        e2e_log "$args: $(head -n 1 "$E2E_TMP/options.err")"
    done <<'CASES'
--lcdproc 127.0.0.1|--lcdproc wants HOST:PORT
--lcdproc=127.0.0.1:0|--lcdproc wants HOST:PORT
--lcdproc ::1:13666|--lcdproc wants HOST:PORT
--lcd-charset UTF-8|not one byte per character
--lcd-charset NO-SUCH-SET|unknown to iconv
CASES
}

case "${1:-}" in
client-20x2) e2e_init; case_client_20x2 ;;
board-20x4) e2e_init; case_board_20x4 ;;
restart) e2e_init; case_restart ;;
serialpos) e2e_init; case_serialpos ;;
options) e2e_init; case_options ;;
two) e2e_init; case_two ;;
display-restart) e2e_init; case_display_restart ;;
rule) e2e_init; case_rule ;;
sale) e2e_init; case_sale ;;
broker-sale) e2e_init; case_broker_sale ;;
fullscreen) e2e_init; case_fullscreen ;;
monitors) e2e_init; case_monitors ;;
*)
    echo "usage: $0 client-20x2|board-20x4|restart|serialpos|options|fullscreen|monitors|two|display-restart|rule|sale|broker-sale" >&2
    exit 2
    ;;
esac

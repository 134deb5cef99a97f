# End-to-end helpers, sourced by the e2e scripts (bash).
#
# A script calls e2e_init first. From then on every process it starts with e2e_spawn (the X
# server, the window manager, displays, clients) is ended when the script exits, whatever the
# reason, and its scratch folder ($E2E_TMP) is removed. Every wait is a poll with a deadline.
# Exit codes: 0 passed, 1 failed (e2e_fail), 77 skipped (e2e_skip; ctest SKIP_RETURN_CODE).
#
# Inputs from the environment (set by tests/e2e/CMakeLists.txt):
#   AFFICHEUR_DISPLAY  the built afficheur-display
#   AFFICHEUR_CLIENT   the built afficheur (empty or missing: the client checks skip)
#
# Typical use:
#   source lib.sh; e2e_init
#   e2e_require_x; e2e_require_client
#   e2e_start_x                              # or e2e_start_x --no-click-grab
#   e2e_start_display shop                   # port in $shop_port, log in $shop_log
#   e2e_write_ini "[ecran]" "ip=127.0.0.1" "port=$shop_port"
#   e2e_start_client                         # window id in $E2E_WID
#   e2e_click_command1 0
#   e2e_wait_messages "$shop_log" 2 || e2e_fail "..."
#   [ "$(e2e_message "$shop_log" 1 bytes)" = "436166E9" ] || e2e_fail "..."

E2E_SKIP=77
E2E_PIDS=()
E2E_TMP=""
# Seconds allowed for anything to happen; generous, since the machine may be busy.
E2E_PATIENCE=${E2E_PATIENCE:-15}

# The client window's own frame in pixels (client/Form1.h: kBorderPixels, kCaptionPixels):
# where its client area starts inside the X window.
E2E_CLIENT_X=${E2E_CLIENT_X:-1}
E2E_CLIENT_Y=${E2E_CLIENT_Y:-23}
E2E_TWIPS_PER_PIXEL=15

e2e_init() {
    set -u
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/afficheur-e2e.XXXXXX")
    # A display on a fixed port keeps its board under XDG_STATE_HOME: the case's own.
    export XDG_STATE_HOME="$E2E_TMP/state"
    trap e2e_cleanup EXIT
    trap 'exit 1' INT TERM HUP
}

e2e_cleanup() {
    local status=$?
    local pid
    # Last started, first ended: clients before displays, the X server last.
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[i]}
        kill -TERM "$pid" 2>/dev/null || continue
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    if [ "$status" -ne 0 ] && [ "$status" -ne "$E2E_SKIP" ] && [ -n "$E2E_TMP" ]; then
        # What the processes said, for whoever reads the failure.
        for f in "$E2E_TMP"/*.err "$E2E_TMP"/*.out; do
            [ -s "$f" ] || continue
            echo "---- $(basename "$f") (last 20 lines)"
            tail -n 20 "$f" | cut -c 1-300
        done
    fi
    [ -n "$E2E_TMP" ] && rm -rf "$E2E_TMP"
    exit "$status"
}

e2e_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

e2e_skip() {
    echo "SKIP: $*"
    exit "$E2E_SKIP"
}

# e2e_missing WHY: something the case needs is not on this machine (a tool, a driver, a built
# program). A skip, except under ./test (AFFICHEUR_REQUIRE_TOOLS=1), which installs and builds
# everything the cases need: there a skip would hide a failed install, so it fails.
e2e_missing() {
    [ "${AFFICHEUR_REQUIRE_TOOLS:-}" = 1 ] &&
        e2e_fail "$* (./test requires it; scripts/packages.txt should bring it)"
    e2e_skip "$*"
}

e2e_log() { echo "-- $*"; }

# e2e_wait_until SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds (returns 0)
# or the seconds have passed (returns 1).
e2e_wait_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    while true; do
        "$@" && return 0
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}

# e2e_spawn NAME COMMAND...: starts COMMAND in the background, stdout in $E2E_TMP/NAME.out and
# stderr in $E2E_TMP/NAME.err; its pid is in $E2E_LAST_PID. Ended at exit.
e2e_spawn() {
    local name=$1
    shift
    "$@" >"$E2E_TMP/$name.out" 2>"$E2E_TMP/$name.err" &
    E2E_LAST_PID=$!
    E2E_PIDS+=("$E2E_LAST_PID")
}

# e2e_stop PID: ends one process started by e2e_spawn, at once.
e2e_stop() {
    kill -TERM "$1" 2>/dev/null
    e2e_wait_until "$E2E_PATIENCE" e2e_not_running "$1" || kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 0
}

e2e_not_running() { ! kill -0 "$1" 2>/dev/null; }

# ---- what must be there ------------------------------------------------------------------

e2e_require_x() {
    local tool
    for tool in Xvfb openbox xdotool xprop xwininfo iconv; do
        command -v "$tool" >/dev/null 2>&1 ||
            e2e_missing "$tool is not installed (scripts/ensure-packages installs it)"
    done
}

e2e_require_display() {
    [ -n "${AFFICHEUR_DISPLAY:-}" ] && [ -x "$AFFICHEUR_DISPLAY" ] ||
        e2e_missing "afficheur-display is not built (${AFFICHEUR_DISPLAY:-unset})"
}

e2e_require_client() {
    e2e_require_display
    [ -n "${AFFICHEUR_CLIENT:-}" ] && [ -x "$AFFICHEUR_CLIENT" ] ||
        e2e_missing "afficheur is not built (${AFFICHEUR_CLIENT:-unset})"
}

# ---- X server and window manager ---------------------------------------------------------

# e2e_start_x [--no-click-grab]: a virtual X server with openbox, as $DISPLAY. Xvfb picks a free
# display number itself (-displayfd). Returns when the window manager has finished starting.
#
# -noreset: by default an X server resets when its last client disconnects, and a reset closes
# every connection still in its handshake. Our first client is a probe (xprop) that ends at
# once, so without it openbox, connecting right after, is often cut off by that reset on a busy
# machine ("Failed to open the display from the DISPLAY environment variable").
#
# --no-click-grab: openbox without its press bindings on client windows (focus and raise on a
# click). openbox holds those through a synchronous grab that freezes the pointer until it
# answers; when it answers late, the X server replays the clicks queued meanwhile at the
# positions of later moves, or not at all, and no X client can tell. Cases that press faster
# than openbox may answer on a busy machine need it off.
#
# Each step of the start is logged (the number read, each probe), and a failed try says which
# step failed; the case's failure output then ends with Xvfb's and openbox's own words.
e2e_start_x() {
    local attempt config=""
    if [ "${1:-}" = --no-click-grab ]; then
        config="$E2E_TMP/openbox-rc.xml"
        sed '/<context name="Client">/,/<\/context>/d' /etc/xdg/openbox/rc.xml >"$config" ||
            e2e_fail "no openbox configuration to start from (/etc/xdg/openbox/rc.xml)"
        grep -q '<context name="Frame">' "$config" ||
            e2e_fail "openbox's configuration has an unexpected shape: $config"
    fi
    for attempt in 1 2; do
        e2e_try_start_x "$config" && return 0
        e2e_log "X server try $attempt failed: $E2E_X_FAILURE"
    done
    e2e_fail "no X server with a window manager could be started: $E2E_X_FAILURE"
}

e2e_try_start_x() {
    local config=$1 fdfile="$E2E_TMP/displayfd" xvfb openbox
    : >"$fdfile"
    # The number comes through a file, not a pipe: Xvfb writes it and its newline in two
    # writes, and a pipe closed by its reader in between would make the second one fail.
    "Xvfb" -displayfd 3 -noreset -nolisten tcp -screen 0 "${E2E_SCREEN:-1280x1024x24}" 3>"$fdfile" \
        >>"$E2E_TMP/xvfb.out" 2>>"$E2E_TMP/xvfb.err" &
    xvfb=$!
    E2E_PIDS+=("$xvfb")
    if ! e2e_wait_until "$E2E_PATIENCE" e2e_display_number_written "$fdfile" "$xvfb"; then
        E2E_X_FAILURE="Xvfb wrote no display number ($(e2e_state "$xvfb"))"
        e2e_stop "$xvfb"
        return 1
    fi
    if ! [ -s "$fdfile" ]; then
        E2E_X_FAILURE="Xvfb ended before it wrote a display number (xvfb.err says why)"
        e2e_stop "$xvfb"
        return 1
    fi
    export DISPLAY=":$(head -n 1 "$fdfile")"
    unset WAYLAND_DISPLAY
    e2e_log "Xvfb (pid $xvfb) is display $DISPLAY"
    if ! e2e_wait_until "$E2E_PATIENCE" e2e_x_reachable; then
        E2E_X_FAILURE="X server $DISPLAY not reachable: $(xprop -root 2>&1 | head -n 1) ($(e2e_state "$xvfb"))"
        e2e_stop "$xvfb"
        return 1
    fi
    e2e_spawn openbox openbox --sm-disable ${config:+--config-file "$config"}
    openbox=$E2E_LAST_PID
    e2e_wait_until "$E2E_PATIENCE" e2e_wm_running_or_gone "$openbox"
    # openbox announces itself (_NET_SUPPORTING_WM_CHECK) before the end of its start-up, and
    # a window mapped in between can be missed by it and never show; these two properties are
    # set at the end.
    if ! e2e_wm_running || ! e2e_wait_until "$E2E_PATIENCE" e2e_wm_settled; then
        E2E_X_FAILURE="openbox did not start on $DISPLAY (openbox $(e2e_state "$openbox"), Xvfb $(e2e_state "$xvfb")): $(tail -n 1 "$E2E_TMP/openbox.out" "$E2E_TMP/openbox.err" 2>/dev/null | grep -v '^==>' | grep . | tail -n 1)"
        e2e_stop "$openbox"
        e2e_stop "$xvfb"
        return 1
    fi
    e2e_log "X server $DISPLAY with openbox"
}

E2E_X_FAILURE=""

# True once Xvfb has written its number and the newline after it, or once it has ended.
e2e_display_number_written() {
    e2e_not_running "$2" && return 0
    grep -qx '[0-9][0-9]*' "$1" && [ "$(tail -c 1 "$1" | od -An -tx1 | tr -d ' ')" = 0a ]
}

e2e_state() {
    if kill -0 "$1" 2>/dev/null; then echo "running"; else echo "ended"; fi
}

e2e_x_reachable() { xprop -root >/dev/null 2>&1; }
e2e_wm_running_or_gone() { e2e_wm_running || e2e_not_running "$1"; }

e2e_wm_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

e2e_wm_settled() { ! xprop -root _NET_WORKAREA _OB_THEME 2>&1 | grep -q 'not found'; }

# ---- the cash register's keyboard -----------------------------------------------------------

e2e_active_window() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# *//; s/,.*//')"; }
e2e_is_active() { [ "$(e2e_active_window)" -eq $(($1)) ]; }

# e2e_start_register [GEOMETRY]: the stand-in for the cash register, xev's window, active and
# printing every key it gets (a barcode scanner types as a keyboard does). Its id in $REGISTER.
e2e_start_register() {
    command -v xev >/dev/null 2>&1 || e2e_missing "xev is not installed (x11-utils)"
    # Line-buffered, so that each key shows in its output at once.
    e2e_spawn register stdbuf -oL xev -name register -event keyboard -geometry "${1:-300x200+700+600}"
    REGISTER=""
    e2e_wait_until "$E2E_PATIENCE" e2e_find_register || e2e_fail "the register window did not appear"
    xdotool windowactivate "$REGISTER" 2>/dev/null || true
    e2e_wait_until "$E2E_PATIENCE" e2e_is_active "$REGISTER" || e2e_fail "the register never got the keyboard"
}
e2e_find_register() {
    REGISTER=$(xdotool search --onlyvisible --name '^register$' 2>/dev/null | head -n 1)
    [ -n "$REGISTER" ]
}
# e2e_register_got KEY: the register received that key.
e2e_register_got() { grep -q "keysym 0x[0-9a-f]*, $1)" "$E2E_TMP/register.out"; }

# e2e_register_keeps_keyboard WHEN KEYS: the register is still the active window and the keys
# typed now (distinct letters or digits) all reach it.
e2e_register_keeps_keyboard() {
    local when=$1 keys=$2 i
    e2e_is_active "$REGISTER" ||
        e2e_fail "$when: the register lost the keyboard to $(e2e_active_window) ($(xprop -id "$(e2e_active_window)" WM_NAME 2>/dev/null))"
    xdotool type --delay 20 "$keys"
    for ((i = 0; i < ${#keys}; i++)); do
        e2e_wait_until "$E2E_PATIENCE" e2e_register_got "${keys:i:1}" ||
            e2e_fail "$when: the key ${keys:i:1} did not reach the register"
    done
    e2e_log "$when: the register kept the keyboard"
}

# ---- the display ---------------------------------------------------------------------------

# e2e_start_display NAME [OPTION...]: starts afficheur-display --headless --log on a free
# loopback port, with the options. Sets ${NAME}_port, ${NAME}_log (its JSON log) and
# ${NAME}_pid.
e2e_start_display() {
    local name=$1
    shift
    e2e_spawn "$name" "$AFFICHEUR_DISPLAY" --headless --log --listen 127.0.0.1:0 "$@"
    local pid=$E2E_LAST_PID
    local log="$E2E_TMP/$name.out"
    e2e_wait_until "$E2E_PATIENCE" grep -qs '"kind":"listening"' "$log" ||
        e2e_fail "display $name did not start"
    local port
    port=$(sed -n 's/.*"address":"127\.0\.0\.1:\([0-9]*\)".*/\1/p' "$log" | head -n 1)
    printf -v "${name}_port" '%s' "$port"
    printf -v "${name}_log" '%s' "$log"
    printf -v "${name}_pid" '%s' "$pid"
}

# e2e_start_display_on NAME PORT [OPTION...]: the same on a given port; returns 1 (and
# starts nothing) when the port cannot be listened on.
e2e_start_display_on() {
    local name=$1 port=$2
    shift 2
    e2e_spawn "$name" "$AFFICHEUR_DISPLAY" --headless --log --listen "127.0.0.1:$port" "$@"
    local pid=$E2E_LAST_PID
    local log="$E2E_TMP/$name.out"
    e2e_wait_until "$E2E_PATIENCE" e2e_listening_or_gone "$log" "$pid"
    grep -qs '"kind":"listening"' "$log" || return 1
    printf -v "${name}_port" '%s' "$port"
    printf -v "${name}_log" '%s' "$log"
    printf -v "${name}_pid" '%s' "$pid"
}

e2e_listening_or_gone() {
    grep -qs '"kind":"listening"' "$1" || e2e_not_running "$2"
}

# The number of messages (every line but the first) in a display's log.
e2e_message_count() {
    local lines
    lines=$(grep -c '"end":' "$1" 2>/dev/null) || true
    echo "${lines:-0}"
}

# e2e_wait_messages LOG N [SECONDS]: waits until the log holds at least N messages.
e2e_wait_messages() {
    e2e_wait_until "${3:-$E2E_PATIENCE}" e2e_has_messages "$1" "$2"
}
e2e_has_messages() { [ "$(e2e_message_count "$1")" -ge "$2" ]; }

# e2e_message LOG N FIELD: field kind, bytes, end, peer or shown of message N (from 1).
# (Text is better checked through bytes, which need no JSON unescaping.)
e2e_message() {
    grep '"end":' "$1" | sed -n "${2}p" |
        sed -n "s/.*\"$3\":\(\"[^\"]*\"\|true\|false\).*/\1/p" | tr -d '"'
}

# e2e_message_bytes LOG: the bytes of every message, one hex string a line, in order.
e2e_message_bytes() {
    grep '"end":' "$1" | sed -n 's/.*"bytes":"\([0-9A-F]*\)".*/\1/p'
}

# ---- settings ------------------------------------------------------------------------------

# The client's home: HOME and XDG_CONFIG_HOME for the client; its settings file is $E2E_INI.
e2e_home() {
    E2E_HOME="$E2E_TMP/home"
    E2E_INI="$E2E_HOME/config/afficheur/QUORIXaffich.ini"
    mkdir -p "$(dirname "$E2E_INI")"
}

# e2e_write_ini LINE...: the settings file, written from UTF-8 lines as Windows-1252 with CRLF.
e2e_write_ini() {
    e2e_home
    printf '%s\r\n' "$@" | iconv -f UTF-8 -t WINDOWS-1252 >"$E2E_INI.new"
    mv "$E2E_INI.new" "$E2E_INI"
}

# e2e_ini_get SECTION KEY: the value in the settings file, as UTF-8 (section and key matched
# without regard to case and surrounding blanks); status 1 when the key is not there.
e2e_ini_get() {
    [ -f "$E2E_INI" ] || return 1
    iconv -f WINDOWS-1252 -t UTF-8 "$E2E_INI" | tr -d '\r' | awk -v section="$1" -v key="$2" '
        function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
        /^[ \t]*\[/ {
            name = $0; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
            inside = tolower(trim(name)) == tolower(section); next
        }
        inside && index($0, "=") {
            k = trim(substr($0, 1, index($0, "=") - 1))
            if (tolower(k) == tolower(key)) { print trim(substr($0, index($0, "=") + 1)); found = 1; exit }
        }
        END { exit found ? 0 : 1 }'
}

# e2e_ini_has_section SECTION
e2e_ini_has_section() {
    [ -f "$E2E_INI" ] &&
        tr -d '\r' <"$E2E_INI" | grep -qi "^[[:space:]]*\[[[:space:]]*$1[[:space:]]*\]"
}

# e2e_ini_set SECTION KEY VALUE: changes one key of an existing file in place (atomically).
e2e_ini_set() {
    iconv -f WINDOWS-1252 -t UTF-8 "$E2E_INI" | tr -d '\r' | awk -v section="$1" -v key="$2" -v value="$3" '
        function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
        /^[ \t]*\[/ {
            if (inside && !done) { print key "=" value; done = 1 }
            name = $0; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
            inside = tolower(trim(name)) == tolower(section); print; next
        }
        inside && index($0, "=") && tolower(trim(substr($0, 1, index($0, "=") - 1))) == tolower(key) {
            print key "=" value; done = 1; next
        }
        { print }
        END {
            if (!done) { if (!inside) print "[" section "]"; print key "=" value }
        }' | sed 's/$/\r/' | iconv -f UTF-8 -t WINDOWS-1252 >"$E2E_INI.new"
    mv "$E2E_INI.new" "$E2E_INI"
}

# ---- the client ----------------------------------------------------------------------------

# Starts afficheur with $E2E_HOME as HOME and XDG_CONFIG_HOME; sets E2E_WID (its window) and
# E2E_CLIENT_PID once the window is mapped.
e2e_start_client() {
    e2e_home
    e2e_spawn client env HOME="$E2E_HOME" XDG_CONFIG_HOME="$E2E_HOME/config" \
        QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 QT_ENABLE_HIGHDPI_SCALING=0 \
        "$AFFICHEUR_CLIENT"
    E2E_CLIENT_PID=$E2E_LAST_PID
    E2E_WID=""
    e2e_wait_until "$E2E_PATIENCE" e2e_find_client_window ||
        e2e_fail "no window named Afficheur appeared"
    e2e_wait_until "$E2E_PATIENCE" e2e_viewable "$E2E_WID" || e2e_fail "the window never showed"
    # Clicks go where the window is: wait until the window manager has done placing it.
    E2E_LAST_GEOMETRY=""
    e2e_wait_until "$E2E_PATIENCE" e2e_geometry_settled "$E2E_WID" ||
        e2e_fail "the window never stopped moving"
    e2e_log "client window $E2E_WID"
}

# True once the window's absolute geometry is the same on three polls in a row.
e2e_geometry_settled() {
    local now
    now=$(xwininfo -id "$1" 2>/dev/null | grep -E 'Absolute|Width|Height' | tr -d ' \n')
    if [ -n "$now" ] && [ "$now" = "$E2E_LAST_GEOMETRY" ]; then
        E2E_SAME_GEOMETRY=$((E2E_SAME_GEOMETRY + 1))
    else
        E2E_SAME_GEOMETRY=0
    fi
    E2E_LAST_GEOMETRY=$now
    [ "$E2E_SAME_GEOMETRY" -ge 2 ]
}

e2e_find_client_window() {
    E2E_WID=$(xdotool search --onlyvisible --pid "$E2E_CLIENT_PID" --name '^Afficheur$' 2>/dev/null |
        head -n 1)
    [ -n "$E2E_WID" ]
}

e2e_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# True while the client process runs.
e2e_client_alive() { kill -0 "$E2E_CLIENT_PID" 2>/dev/null; }

# e2e_click_at LEFT TOP: a click at that point of the client area, in twips.
e2e_click_at() {
    local x=$((E2E_CLIENT_X + $1 / E2E_TWIPS_PER_PIXEL))
    local y=$((E2E_CLIENT_Y + $2 / E2E_TWIPS_PER_PIXEL))
    xdotool mousemove --sync --window "$E2E_WID" "$x" "$y" click 1
}

# The controls, clicked in their middle (client-area twips: left 120, width 1695).
e2e_click_command1() { e2e_click_at 960 $((120 + 240 * $1 + 127)); }
e2e_click_text1() { e2e_click_at 960 $((960 + 187)); }
e2e_click_command2() { e2e_click_at 960 $((1440 + 127)); }
e2e_click_text2() { e2e_click_at 960 $((1800 + 187)); }
e2e_click_command3() { e2e_click_at 960 $((2280 + 157)); }

# e2e_replace_text TEXT: replaces the contents of the focused text box with ASCII TEXT.
e2e_replace_text() {
    xdotool key --clearmodifiers ctrl+a BackSpace
    [ -n "$1" ] && xdotool type --clearmodifiers --delay 10 -- "$1"
    return 0
}

# e2e_outer_height_twips [WID]: the window's outer height (window manager's frame included).
e2e_outer_height_twips() {
    local wid=${1:-$E2E_WID}
    local height extents top=0 bottom=0
    height=$(xwininfo -id "$wid" | sed -n 's/^ *Height: *\([0-9]*\).*/\1/p')
    extents=$(xprop -id "$wid" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p')
    if [ -n "$extents" ]; then
        top=$(echo "$extents" | cut -d, -f3 | tr -d ' ')
        bottom=$(echo "$extents" | cut -d, -f4 | tr -d ' ')
    fi
    echo $(((height + top + bottom) * E2E_TWIPS_PER_PIXEL))
}

# e2e_height_near TWIPS [WID]: the outer height is TWIPS to within one pixel.
e2e_height_near() {
    local h
    h=$(e2e_outer_height_twips "${2:-$E2E_WID}")
    [ $((h - $1)) -le "$E2E_TWIPS_PER_PIXEL" ] && [ $(($1 - h)) -le "$E2E_TWIPS_PER_PIXEL" ]
}

# e2e_wm_state [WID]: the window's _NET_WM_STATE atoms.
e2e_wm_state() { xprop -id "${1:-$E2E_WID}" _NET_WM_STATE 2>/dev/null; }

# e2e_port_free PORT: nothing listens on 127.0.0.1:PORT.
e2e_port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# e2e_closed_port: sets E2E_CLOSED_PORT to a loopback port where nothing listens (a
# display's, once it stopped).
e2e_closed_port() {
    e2e_start_display probe
    e2e_stop "$probe_pid"
    E2E_CLOSED_PORT=$probe_port
}

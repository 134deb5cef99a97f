# Helpers for the cases that need an MQTT broker: a real mosquitto of the case's own on a free
# loopback port, with one login per display and per till (a password file) and an ACL that
# keeps each display to its own topics, as docs/mqtt.md sets one up. Sourced after lib.sh.
#
# Logins (password = the name with "-pw"): till, which publishes every display's and group's
# set and reads their state and status; d1, d2, d3, displays, each allowed
# afficheur/<login>/set (read), afficheur/<login>/state and /status (write), and the group
# shop/all/set (read). "admin" may do anything (to clear a retained message).
#
#   broker_require
#   broker_up shop [--tls]          # mosquitto on $shop_port (and, with --tls, a CA in
#                                   # $E2E_TMP/ca.pem and a certificate for localhost)
#   broker_display d1 shop [OPTION...]   # afficheur-display logged in as d1 on broker shop,
#                                        # its page on $d1_http, its topics afficheur/d1
#   broker_pub shop afficheur/d1/set '{"text":"Bonjour"}'
#   broker_retained shop afficheur/d1/status     # the retained message, or nothing

broker_require() {
    e2e_require_display
    local tool
    for tool in mosquitto mosquitto_pub mosquitto_sub mosquitto_passwd python3; do
        command -v "$tool" >/dev/null 2>&1 ||
            e2e_missing "$tool is not installed (packages mosquitto, mosquitto-clients)"
    done
}

# broker_logins NAME LOGIN...: NAME's password file holds these logins (and admin), each with
# its password; applied by a running broker at broker_reload.
broker_logins() {
    local name=$1 login
    shift
    : >"$E2E_TMP/$name.passwd"
    for login in admin "$@"; do
        mosquitto_passwd -b "$E2E_TMP/$name.passwd" "$login" "$login-pw" ||
            e2e_fail "mosquitto_passwd failed"
    done
    chmod 600 "$E2E_TMP/$name.passwd"
}

# broker_config NAME PORT [--tls]: NAME.conf, its ACL and its persistence folder.
broker_config() {
    local name=$1 port=$2 tls=${3:-}
    mkdir -p "$E2E_TMP/$name.db"
    {
        echo "per_listener_settings false"
        echo "listener $port 127.0.0.1"
        if [ "$tls" = --tls ]; then
            echo "cafile $E2E_TMP/ca.pem"
            echo "certfile $E2E_TMP/$name.crt"
            echo "keyfile $E2E_TMP/$name.key"
        fi
        echo "allow_anonymous false"
        echo "password_file $E2E_TMP/$name.passwd"
        echo "acl_file $E2E_TMP/$name.acl"
        # Sessions and retained messages outlive a restart of the broker.
        echo "persistence true"
        echo "persistence_location $E2E_TMP/$name.db/"
        echo "user $(id -un)"
        echo "log_dest stderr"
        echo "log_type error"
        echo "log_type warning"
        echo "log_type notice"
        echo "log_type subscribe"
    } >"$E2E_TMP/$name.conf"
    cat >"$E2E_TMP/$name.acl" <<'ACL'
user admin
topic readwrite #

user till
topic write afficheur/+/set
topic write shop/+/set
topic read afficheur/+/state
topic read afficheur/+/status

user d1
topic read shop/all/set
user d2
topic read shop/all/set
user d3
topic read shop/all/set

# Each display its own topics: its login is the middle level of its prefix.
pattern read afficheur/%u/set
pattern write afficheur/%u/state
pattern write afficheur/%u/status
ACL
}

# broker_tls_files NAME: a certificate authority ($E2E_TMP/ca.pem) and NAME's certificate for
# localhost and 127.0.0.1, signed by it.
broker_tls_files() {
    local name=$1 dir=$E2E_TMP
    command -v openssl >/dev/null 2>&1 || e2e_missing "openssl is not installed"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Afficheur test CA" \
        -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null || e2e_fail "openssl: no CA"
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
        -keyout "$dir/$name.key" -out "$dir/$name.csr" 2>/dev/null || e2e_fail "openssl: no key"
    printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >"$dir/$name.ext"
    openssl x509 -req -in "$dir/$name.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
        -CAcreateserial -days 2 -extfile "$dir/$name.ext" -out "$dir/$name.crt" 2>/dev/null ||
        e2e_fail "openssl: no certificate"
    chmod 600 "$dir/$name.key"
}

# broker_start NAME: starts mosquitto with NAME.conf on ${NAME}_port; returns 1 when it does
# not listen. Sets ${NAME}_pid.
broker_start() {
    local name=$1 port_var="${1}_port"
    local port=${!port_var}
    e2e_spawn "$name" mosquitto -c "$E2E_TMP/$name.conf"
    local pid=$E2E_LAST_PID
    printf -v "${name}_pid" '%s' "$pid"
    e2e_wait_until "$E2E_PATIENCE" broker_listening_or_gone "$port" "$pid"
    kill -0 "$pid" 2>/dev/null && ! e2e_port_free "$port"
}
broker_listening_or_gone() { ! e2e_port_free "$1" || e2e_not_running "$2"; }

# broker_up NAME [--tls]: a broker on a free port (tried up to five times, since another test
# may take the port between the probe and the start). Sets ${NAME}_port and ${NAME}_pid.
broker_up() {
    local name=$1 tls=${2:-} attempt port
    broker_logins "$name" till d1 d2 d3
    [ "$tls" = --tls ] && broker_tls_files "$name"
    for attempt in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 12000))  # below the ephemeral range
        e2e_port_free "$port" || continue
        printf -v "${name}_port" '%s' "$port"
        broker_config "$name" "$port" "$tls"
        if broker_start "$name"; then
            e2e_log "mosquitto $name on 127.0.0.1:$port (attempt $attempt)"
            return 0
        fi
    done
    e2e_fail "mosquitto $name did not start"
}

# broker_reload NAME: the running broker reads its password file and ACL again.
broker_reload() {
    local pid_var="${1}_pid"
    kill -HUP "${!pid_var}"
}

# broker_display NAME BROKER [OPTION...]: afficheur-display --headless with its page, logged in
# to BROKER as NAME (options after it win). Sets ${NAME}_http (the page's port) and what
# e2e_start_display sets.
broker_display() {
    local name=$1 broker=$2
    shift 2
    local port_var="${broker}_port"
    printf '%s-pw\n' "$name" >"$E2E_TMP/$name.password"
    e2e_start_display "$name" --http 127.0.0.1:0 --mqtt "mqtt://$name@127.0.0.1:${!port_var}" \
        --mqtt-password-file "$E2E_TMP/$name.password" --mqtt-topic "afficheur/$name" "$@"
    local log="$E2E_TMP/$name.out"
    e2e_wait_until "$E2E_PATIENCE" grep -qs '"kind":"http"' "$log" ||
        e2e_fail "display $name does not serve its page"
    printf -v "${name}_http" '%s' \
        "$(sed -n 's/.*"address":"127\.0\.0\.1:\([0-9]*\)","kind":"http".*/\1/p' "$log" | head -n 1)"
}

# broker_connected NAME [N]: the display's stderr says it reached its broker (N times: 1).
broker_connected() {
    local count
    count=$(grep -c "broker .*: connected" "$E2E_TMP/$1.err" 2>/dev/null) || true
    [ "${count:-0}" -ge "${2:-1}" ]
}

# broker_pub BROKER TOPIC PAYLOAD [LOGIN]: publishes with QoS 1 as LOGIN (default till).
broker_pub() {
    local port_var="${1}_port" login=${4:-till}
    mosquitto_pub -h 127.0.0.1 -p "${!port_var}" -u "$login" -P "$login-pw" -q 1 -t "$2" -m "$3" ||
        e2e_fail "mosquitto_pub to $2 failed"
}

# broker_pub_file BROKER TOPIC FILE: the same with the payload's bytes from FILE.
broker_pub_file() {
    local port_var="${1}_port"
    mosquitto_pub -h 127.0.0.1 -p "${!port_var}" -u till -P till-pw -q 1 -t "$2" -f "$3" ||
        e2e_fail "mosquitto_pub to $2 failed"
}

# broker_retained BROKER TOPIC [LOGIN]: the payload retained on TOPIC; nothing when there is
# none (waits 2 s for it).
broker_retained() {
    local port_var="${1}_port" login=${3:-till}
    mosquitto_sub -h 127.0.0.1 -p "${!port_var}" -u "$login" -P "$login-pw" -t "$2" -C 1 -W 2 \
        2>/dev/null
    return 0
}

# broker_retained_is BROKER TOPIC TEXT: the retained payload is TEXT.
broker_retained_is() { [ "$(broker_retained "$1" "$2")" = "$3" ]; }

# page_field PORT FIELD: a field of the page's /state (text, total, colour, ...), as Python
# prints it; nothing when the page does not answer.
page_field() {
    python3 - "$1" "$2" <<'PY' 2>/dev/null
import json, sys, urllib.request
state = json.load(urllib.request.urlopen("http://127.0.0.1:%s/state" % sys.argv[1], timeout=2))
value = state[sys.argv[2]]
print(json.dumps(value) if isinstance(value, (list, dict, bool)) else value)
PY
}

# page_shows PORT FIELD TEXT: the page's /state has FIELD = TEXT.
page_shows() { [ "$(page_field "$1" "$2")" = "$3" ]; }

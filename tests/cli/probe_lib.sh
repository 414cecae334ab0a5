# Helpers for the probe's lab tests: run orvane-probe on the client in a folder of its own,
# and turn captures and LogFile into comparable hex.
source "$(dirname "$0")/../lab/lab_lib.sh"

RUN=$WORK/run
mkdir -p "$RUN"
PROBE_PID=

# probe_bg HOST ARGS...: orvane-probe on HOST in $RUN as a background job (call it without &, redirect at the call);
# $PROBE_PID is the probe itself, for signals and wait_probe.
probe_bg() {
    local host=$1
    shift
    lab_bg "$host" -- sh -c 'cd "$1" && shift && exec "$@"' - "$RUN" "$ORVANE_BIN/orvane-probe" "$@"
    PROBE_PID=$!
}

# start_probe [WAIT]: orvane-probe on the client (with its default wait when WAIT is empty), LogFile in
# $RUN, output in $WORK/out and $WORK/err.
start_probe() { probe_bg client ${1:+--wait "$1"} >"$WORK/out" 2>"$WORK/err"; }

signal_probe() { kill "-$1" "$PROBE_PID"; }

# run_probe_on HOST [ARGS...]: orvane-probe on HOST in $RUN until it ends; stdout in $WORK/out, stderr in
# $WORK/err, exit status in $STATUS, wall time in $TOOK_MS.
run_probe_on() {
    local host=$1 started
    shift
    STATUS=0
    started=$(date +%s%N)
    lab "$host" -- sh -c 'cd "$1" && shift && exec "$@"' - "$RUN" "$ORVANE_BIN/orvane-probe" "$@" \
        >"$WORK/out" 2>"$WORK/err" || STATUS=$?
    TOOK_MS=$(( ($(date +%s%N) - started) / 1000000 ))
}

# expect_status N WHAT: the last run_probe_on ended with status N.
expect_status() {
    [ "$STATUS" -eq "$1" ] || { cat "$WORK/out" "$WORK/err" >&2; fail "$2: status $STATUS, not $1"; }
}

# has_line TEXT WHAT: $WORK/out holds the line TEXT exactly.
has_line() { grep -qxF -- "$1" "$WORK/out" || { cat "$WORK/out" >&2; fail "$2: no line '$1'"; }; }

# json_of FILTER: jq over the JSON Lines in $WORK/out, slurped into one array.
json_of() { jq -r -s "$1" "$WORK/out"; }

# replace_dnsmasq HOST NAME EXTRA...: the lab's dnsmasq on HOST made anew with more options (same base as lab.sh).
replace_dnsmasq() {
    local host=$1 name=$2
    shift 2
    kill "$(cat "$LAB_DIR/$name.pid")"
    for _ in $(seq 50); do lab "$host" -- grep -q ':0043 ' /proc/net/udp 2>/dev/null || break; sleep 0.1; done
    lab "$host" -- "$(command -v dnsmasq || echo /usr/sbin/dnsmasq)" --conf-file=/dev/null --port=0 --bind-interfaces --interface=eth0 --except-interface=lo \
        --no-resolv --no-hosts --user=root --group=root --dhcp-leasefile="$LAB_DIR/$name.leases" \
        --pid-file="$LAB_DIR/$name.pid" --log-dhcp --log-facility="$LAB_DIR/$name.log" --no-ping "$@" \
        || fail "dnsmasq did not start again on $host"
    for _ in $(seq 50); do lab "$host" -- grep -q ':0043 ' /proc/net/udp 2>/dev/null && return 0; sleep 0.1; done
    fail "dnsmasq on $host did not bind port 67"
}

# wait_probe [STATUS]: the probe start_probe started ends, with STATUS (default 0).
wait_probe() {
    local status=0
    wait "$PROBE_PID" || status=$?
    PROBE_PID=
    [ "$status" -eq "${1:-0}" ] || { cat "$WORK/err" >&2; fail "orvane-probe ended with status $status"; }
}

# blocks_seen: the number of separator lines the probe has printed.
blocks_seen() { grep -c -x -- '-------------------------' "$WORK/out" || true; }

wait_blocks() {  # wait_blocks N SECONDS
    local tries=$(( $2 * 20 ))
    while [ "$(blocks_seen)" -lt "$1" ] && [ "$tries" -gt 0 ]; do sleep 0.05; tries=$((tries - 1)); done
    [ "$(blocks_seen)" -ge "$1" ] || { cat "$WORK/out" "$WORK/err" >&2; fail "expected $1 report blocks, saw $(blocks_seen)"; }
}

file_hex() { od -An -v -tx1 "$1" | tr -d ' \n'; }

# text_stream_hex HEX: the bytes a text stream stores for HEX (each 0a preceded by 0d).
text_stream_hex() { printf '%s' "$1" | sed 's/../& /g; s/0a /0d 0a /g; s/ //g'; }

# expected_log CAPTURE: the translated payloads of every captured datagram a receive delivers (548 bytes or fewer).
expected_log() {
    local src sport dst dport length payload
    while read -r src sport dst dport length payload; do
        [ "$length" -le 548 ] && text_stream_hex "$payload"
    done <"$1"
    return 0
}

# octets HEX OFFSET: the dotted address at byte OFFSET of HEX.
octets() {
    local h=${1:$(( $2 * 2 )):8}
    printf '%d.%d.%d.%d' "0x${h:0:2}" "0x${h:2:2}" "0x${h:4:2}" "0x${h:6:2}"
}


# Helpers for lab test scripts: run on a lab host, capture on its wire, fail loudly.
# Expects ORVANE_LAB (lab.sh), ORVANE_LAB_STATE and ORVANE_BIN in the environment.
WORK=$(mktemp -d)
CAPTURE_PID=
WIRE_PID=
# shellcheck disable=SC2086 # empty ones vanish
trap 'kill $CAPTURE_PID $WIRE_PID 2>/dev/null || true; rm -rf "$WORK"' EXIT

lab() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "PASS: $*"; }

# start_capture HOST IFACE DPORT COUNT SECONDS: capture into $WORK/capture until COUNT datagrams or SECONDS.
start_capture() {
    rm -f "$WORK/ready" "$WORK/capture"
    lab "$1" -- "$ORVANE_BIN/lab_capture" "$2" "$5" "$4" "$WORK/capture" --dport "$3" --ready "$WORK/ready" &
    CAPTURE_PID=$!
    for _ in $(seq 100); do [ -f "$WORK/ready" ] && return 0; sleep 0.05; done
    fail "the capture did not start"
}

wait_capture() {
    wait "$CAPTURE_PID" || fail "the capture failed"
    CAPTURE_PID=
}

# start_wire HOST IFACE [DUMPCAP_OPTIONS...]: records every frame on HOST's IFACE into $WIRE (pcapng; promiscuous
# unless -p is given) until stop_wire, 60 s at most; returns once the capture runs. dumpcap is tshark's own
# capture engine and starts in a fraction of tshark's time; read the file with wire_fields.
start_wire() {
    local host=$1 iface=$2
    shift 2
    WIRE=$WORK/wire.pcapng
    rm -f "$WIRE"
    lab "$host" -- dumpcap -q -i "$iface" -w "$WIRE" -a duration:60 "$@" </dev/null >"$WORK/wire.log" 2>&1 &
    WIRE_PID=$!
    for _ in $(seq 200); do
        [ -s "$WIRE" ] && return 0
        kill -0 "$WIRE_PID" 2>/dev/null || break
        sleep 0.025
    done
    cat "$WORK/wire.log" >&2
    fail "no capture on $host $iface"
}

stop_wire() {
    [ -n "$WIRE_PID" ] || return 0
    kill -TERM "$WIRE_PID" 2>/dev/null || true  # background jobs ignore SIGINT
    wait "$WIRE_PID" || true
    WIRE_PID=
}

# wire_fields FILTER FIELD...: one line per captured frame that matches the display filter, its fields separated
# by | (several values of one field by commas, an absent one empty). IPv4 and UDP checksums are verified
# (ip.checksum.status, udp.checksum.status: 1 good, 0 bad).
wire_fields() {
    local filter=$1 field arguments=()
    shift
    for field; do arguments+=(-e "$field"); done
    tshark -r "$WIRE" -o ip.check_checksum:TRUE -o udp.check_checksum:TRUE -Y "$filter" -T fields \
        -E separator='|' -E occurrence=a -E aggregator=, "${arguments[@]}" 2>/dev/null
}

# dhclient_snapshot, then dhclient_untouched: the lab's dhclient (lab.sh up --dhclient) still runs, still holds
# port 68, and its lease file is as it was.
dhclient_snapshot() { DHCLIENT_SUM=$(sha256sum <"$DHCLIENT_LEASES"); }
dhclient_untouched() {
    [ "$(cat "/proc/$DHCLIENT_PID/comm" 2>/dev/null)" = dhclient ] || fail "dhclient ($DHCLIENT_PID) has gone"
    [ "$(sha256sum <"$DHCLIENT_LEASES")" = "$DHCLIENT_SUM" ] || fail "dhclient's lease file changed"
    lab client -- grep -q ':0044 ' /proc/net/udp || fail "nobody holds port 68 on the client"
}

# Helpers for lab test scripts: run on a lab host, capture on its wire, fail loudly.
# Expects ORVANE_LAB (lab.sh), ORVANE_LAB_STATE and ORVANE_BIN in the environment.
WORK=$(mktemp -d)
CAPTURE_PID=
WIRE_PID=

lab() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@"; }
# lab_bg HOST -- CMD...: CMD on HOST as a background job of this shell. Call it without &, and take $! after it:
# lab.sh and ip netns exec each exec the next, so $! is CMD itself. `lab ... &` would run a subshell first, whose
# $! a kill ends while CMD runs on.
lab_bg() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@" & }
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "PASS: $*"; }

# within SECONDS WHAT CHECK...: CHECK polled until it holds; fails saying WHAT after SECONDS.
within() {
    local seconds=$1 what=$2 until=$((SECONDS + $1))
    shift 2
    until "$@"; do
        [ $SECONDS -lt $until ] || fail "$what: not within $seconds s"
        sleep 0.1
    done
}

# stop_jobs: every background job of this shell ends (SIGTERM, SIGKILL after 5 s) and is waited for.
stop_jobs() {
    local pids
    pids=$(jobs -p)
    [ -n "$pids" ] || return 0
    # shellcheck disable=SC2086 # one word per process
    kill $pids 2>/dev/null
    local until=$((SECONDS + 5))
    while [ -n "$(jobs -rp)" ] && [ $SECONDS -lt $until ]; do sleep 0.05; done
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null
    wait
}
# lab_cleanup: the scripts' EXIT trap; a script with more to undo calls it from a trap of its own.
lab_cleanup() {
    set +e
    stop_jobs
    rm -rf "$WORK"
    true
}
trap lab_cleanup EXIT

# start_capture HOST IFACE DPORT COUNT SECONDS: capture into $WORK/capture until COUNT datagrams or SECONDS.
start_capture() {
    rm -f "$WORK/ready" "$WORK/capture"
    lab_bg "$1" -- "$ORVANE_BIN/lab_capture" "$2" "$5" "$4" "$WORK/capture" --dport "$3" --ready "$WORK/ready"
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
    lab_bg "$host" -- dumpcap -q -i "$iface" -w "$WIRE" -a duration:60 "$@" </dev/null >"$WORK/wire.log" 2>&1
    WIRE_PID=$!
    for _ in $(seq 200); do
        [ -s "$WIRE" ] && return 0
        kill -0 "$WIRE_PID" 2>/dev/null || break
        sleep 0.025
    done
    cat "$WORK/wire.log" >&2
    fail "no capture on $host $iface"
}

# stop_wire: dumpcap ends, its file complete. What crossed the wire in the last moments may not be in it yet: the
# kernel hands frames over in blocks, dumpcap writes on a timer, so a test first waits for them with wire_wait.
stop_wire() {
    [ -n "$WIRE_PID" ] || return 0
    kill -TERM "$WIRE_PID" 2>/dev/null || true  # background jobs ignore SIGINT
    wait "$WIRE_PID" || true
    WIRE_PID=
}

# wire_wait COUNT FILTER: the running capture holds COUNT frames that match the display filter, within 10 s.
wire_wait() {
    local seen=0
    for _ in $(seq 50); do
        seen=$({ wire_fields "$2" frame.number || true; } | wc -l)  # a file cut mid-frame still shows its start
        [ "$seen" -ge "$1" ] && return 0
        sleep 0.2
    done
    fail "$seen frames of '$2' captured in 10 s, not $1"
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

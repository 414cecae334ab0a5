# Helpers for lab test scripts: run on a lab host, capture on its wire, fail loudly.
# Expects ORVANE_LAB (lab.sh), ORVANE_LAB_STATE and ORVANE_BIN in the environment.
WORK=$(mktemp -d)
CAPTURE_PID=
trap 'rm -rf "$WORK"; [ -n "$CAPTURE_PID" ] && kill "$CAPTURE_PID" 2>/dev/null; true' EXIT

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

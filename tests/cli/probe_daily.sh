#!/usr/bin/env bash
# The probe in daily use, on a lab of its own with a rogue (lab.sh run --rogue): the monitor as a daemon, and the
# fix or the cause in each failure.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# start_monitor ARGS...: orvane-probe --monitor --interval 1 on the client; rounds_reach N PATTERN SECONDS: as many
# lines in $WORK/out in time; stop_monitor WHAT: SIGTERM ends it with 0; port_held HEX FILE: a socket on that port.
start_monitor() { probe_bg client --monitor --interval 1 --expect "$SERVER_IP,$UPSTREAM_IP" "$@" >"$WORK/out" 2>"$WORK/err"; }
lines_reach() { [ "$(grep -c "$2" "$WORK/out" || true)" -ge "$1" ]; }
rounds_reach() { within "$3" "$1 rounds" lines_reach "$1" "$2"; }
port_held() { lab client -- grep -q ":$1 " "/proc/net/$2"; }
python=$(command -v /usr/bin/python3 python3 | head -n 1)  # Debian's own: a version manager's shim takes seconds
stop_monitor() {
    signal_probe TERM
    wait "$PROBE_PID" || { cat "$WORK/err" >&2; fail "$1: not 0 after SIGTERM"; }
    PROBE_PID=
}

# The rogue answers for three rounds and is stopped; the rounds after its last answer flag one offer in two as
# several-servers-on-link (the relayed one beside the direct one), as they would had it never answered.
rm -f "$RUN/LogFile"
start_monitor --format json --output full
rounds_reach 3 '"type":"round"' 10
kill "$(cat "$LAB_DIR/rogue.pid")"
rounds_reach 7 '"type":"round"' 15
stop_monitor "a monitor that saw a rogue"
last=$(json_of "[.[] | select(.type == \"reply\" and .source.address == \"$ROGUE_IP\") | .round] | max")
[ "$last" -ge 3 ] || fail "the rogue was not heard: $last"
flagged=$(json_of "[.[] | select(.round > $last and .round < $last + 4 and .flags.several_servers_on_link)] | length")
[ "$flagged" -eq 3 ] || fail "three rounds after the rogue's last answer flag $flagged offers, not 3"
[ ! -e "$RUN/LogFile" ] || fail "--monitor wrote a LogFile without --log"

# 10 rounds of every reply, then 100 quiet ones on the healthy LAN: one line a round, the verdict, no counts.
start_monitor --output full
rounds_reach 10 '^Round [0-9]* ended' 20
stop_monitor "--output full"
full=$(cat "$WORK/out" "$WORK/err" | wc -l)
start_monitor
rounds_reach 100 '^Round [0-9]* ended' 130
stop_monitor "100 quiet rounds"
quiet=$(cat "$WORK/out" "$WORK/err" | wc -l)
[ "$quiet" -le 110 ] && ! grep -q '^Packets' "$WORK/err" || { head -n 20 "$WORK/out" "$WORK/err"; fail "$quiet lines"; }

# Port 68 held: the probe points to --capture, which needs no port.
lab_bg client -- "$python" -c 'import socket,time; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("0.0.0.0", 68)); time.sleep(60)'
holder=$! && within 10 "port 68 held" port_held 0044 udp
run_probe_on client --wait 1
kill "$holder" && wait "$holder" || true
[ "$STATUS" -eq 3 ] && grep -q 'cannot bind UDP port 68: .*--capture' "$WORK/err" || fail "port 68: $(cat "$WORK/err")"

# A metrics address taken or not on the host: the address, the port and errno, status 3.
lab_bg client -- "$python" -c "import socket,time; s=socket.socket(); s.bind(('$CLIENT_IP', 9465)); s.listen(); time.sleep(60)"
holder=$! && within 10 "port 9465 held" port_held 24F9 tcp
for row in "$CLIENT_IP:9465|TCP port 9465 on $CLIENT_IP: Address already in use (errno 98)" \
           "192.0.2.99:9464|TCP port 9464 on 192.0.2.99: Cannot assign requested address (errno 99)"; do
    run_probe_on client --monitor --interval 1 --metrics-listen "${row%%|*}"
    [ "$STATUS" -eq 3 ] && grep -qF "${row#*|}" "$WORK/err" || fail "${row%%|*}: $STATUS $(cat "$WORK/err")"
done
kill "$holder" && wait "$holder" || true

# The link down: no request leaves, so no verdict on the LAN: UNKNOWN with the reason, the counts true.
lab client -- ip link set "$CLIENT_IF" down
run_probe_on client --wait 1 --format nagios
[ "$STATUS" -eq 3 ] && [ "$(head -n 1 "$WORK/out")" = "DHCP UNKNOWN - no request could be sent (0 sent, 1 failed: \
Network is unreachable)" ] || fail "link down: $STATUS $(cat "$WORK/out")"
run_probe_on client --wait 1
[ "$STATUS" -eq 3 ] && ! grep -q '^Packets Sent' "$WORK/err" || fail "link down, text: $STATUS $(cat "$WORK/err")"
pass "flags per round after round $last; 10 full rounds $full lines, 100 quiet $quiet (a day at --interval 60:" \
    "$((full * 144)) before, $((quiet * 1440 / 100)) after); port 68, metrics, link down say their fix or cause"

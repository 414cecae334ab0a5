#!/usr/bin/env bash
# A hostile LAN tries to make the watch say OK or keep quiet: datagrams the kernel dropped make a round no better
# than WARNING; strangers forged past the event limit cannot push an expected server's events out, and slow
# --on-change commands past the limit make the rest wait, not vanish.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

two_replies() { [ "$(grep -c '"type":"reply"' "$WORK/out")" -ge 2 ]; }
offers() {  # offers HOST SERVER COUNT: COUNT OFFERs with the probe's transaction id, in SERVER's name, from HOST
    local id
    id=$(printf '%02x' ${2//./ })
    lab "$1" -- "$(command -v /usr/bin/python3 python3 | head -n 1)" -c 'import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for _ in range(int(sys.argv[3])): s.sendto(bytes.fromhex(sys.argv[2]), (sys.argv[1], 68))' "$CLIENT_IP" \
        "020106009a020000$(printf '0%.0s' $(seq 456))638253633501023604${id}ff" "$3"
}

# Drops: while the probe cannot read (stopped), 3000 offers in the server's name overflow its socket; three more
# carry the kernel's count. Only the drops keep the round from OK.
probe_bg client --wait 3 --format json --no-log --metrics-file "$RUN/orvane.prom" >"$WORK/out" 2>"$WORK/err"
within 10 "the servers' replies" two_replies
signal_probe STOP
offers server "$SERVER_IP" 3000
signal_probe CONT
offers server "$SERVER_IP" 3
wait_probe 1
read -r drops text < <(json_of '.[-1].verdict | "\(.kernel_drops) \(.text)"')
[ "$drops" -gt 0 ] && [ "$text" = "something answered; no server was named with --expect; $drops datagrams dropped by \
the kernel; any of them may have been a rogue's" ] || fail "verdict: $drops $text"
grep -qx "orvane_round_status 1" "$RUN/orvane.prom" || fail "metrics: $(grep round_status "$RUN/orvane.prom")"

# Events: 20 forged strangers in round 1 while a named server (never there) is silent; in round 2 it answers and
# the strangers leave. Silent and back are said once and run in order; strangers past 15 a round are folded.
silent=192.168.77.99 events=$WORK/events
probe_bg client --monitor --interval 2 --no-log --format json --expect "$SERVER_IP,$UPSTREAM_IP,$silent" \
    --on-change "sleep 1; echo \"\$ORVANE_EVENT \$ORVANE_SERVER \$ORVANE_FOLDED\" >>$events" >"$WORK/out" 2>"$WORK/err"
within 10 "round 1's replies" grep -q '"type":"reply".*"round":1,' "$WORK/out"
lab relay -- "$ORVANE_BIN/lab_forge" "$CLIENT_IP" 68 20 2000 >/dev/null
within 10 "round 2's replies" grep -q '"type":"reply".*"round":2,' "$WORK/out"
offers relay "$silent" 1
within 10 "the back event's command" grep -qs "^expected-server-back $silent" "$events"
signal_probe TERM
wait "$PROBE_PID" || true  # the run's own verdict, which the events do not change
PROBE_PID=
[ "$(json_of "[.[] | select(.type == \"event\") | select(.server == \"$silent\" or .folded) | \"\\(.round) \\(.event) \\(.folded) \\(.servers + .gone | length)\"] | join(\",\")")" \
  = "1 expected-server-silent null 0,1 unexpected-servers-folded 5 5,2 expected-server-back null 0,2 unexpected-servers-folded 5 5" ] \
    || fail "the events: $(grep '"event"' "$WORK/out")"
[ "$(grep -o "^expected-server-[a-z]* $silent" "$events" | cut -d' ' -f1 | paste -sd,)" \
  = "expected-server-silent,expected-server-back" ] && grep -qx "unexpected-servers-folded  5" "$events" \
    || fail "the commands: $(cat "$events")"
pass "$drops drops made a WARNING; allow-list events said and run in order among $(wc -l <"$events") commands"

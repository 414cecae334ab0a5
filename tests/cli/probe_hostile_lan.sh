#!/usr/bin/env bash
# A hostile LAN tries to make the watch say OK or keep quiet; each part is the attacker's plan, then what the watch
# must say. Other hosts' offers on the link never count in --capture; datagrams the kernel dropped make a round no
# better than WARNING; strangers forged past the event limit cannot push an expected server's events out, and
# --on-change commands past the limit wait their turn.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# start_watch ARGS...: the probe on the client in the background, its process id in $WORK/probe.pid.
start_watch() {
    rm -f "$WORK/probe.pid"
    lab client -- sh -c 'echo $$ >"$1"; cd "$2" && shift 3 && exec "$0" "$@"' "$ORVANE_BIN/orvane-probe" \
        "$WORK/probe.pid" "$RUN" - "$@" >"$WORK/out" 2>"$WORK/err" &
    PROBE_PID=$!
}
# within SECONDS WHAT COMMAND...: waits until COMMAND succeeds.
within() {
    local tries=$(($1 * 20)) what=$2
    shift 2
    for _ in $(seq "$tries"); do "$@" 2>/dev/null && return 0; sleep 0.05; done
    fail "$what: $(tail -n 5 "$WORK/err")"
}
rogue=192.168.77.66

# 1. Ours only: from the relay host, a good offer to another host's Ethernet and IP address, and a broadcast one
# for another client, both in a rogue's name. A socket bound to port 68 here takes neither, so neither counts.
start_watch --capture --interface eth0 --expect "$SERVER_IP,$UPSTREAM_IP" --wait 2.5 --format json --no-log
within 5 "no reply captured" grep -q '"type":"reply"' "$WORK/out"
lab relay -- "$ORVANE_BIN/lab_bad_frames" eth0 "$CLIENT_MAC" "$rogue" "$CLIENT_IP" other-station other-client \
    >"$WORK/sent" || fail "lab_bad_frames: $(cat "$WORK/sent")"
wait_probe 0
[ "$(json_of '.[-1].frames | "\(.["other-station"]) \(.["other-client"])"')" = "1 1" ] \
    || fail "others' offers by kind: $(json_of '.[-1].frames')"
[ "$(json_of "[.[] | select(.type == \"reply\" and .server_identifier == \"$rogue\")] | length")" = 0 ] \
    || fail "a rogue's offer for another host was reported as a reply"

# 2. Drops: while the probe cannot read (stopped), 3000 offers in the authorised server's name overflow its socket;
# a few more after carry the kernel's count. Any dropped one may have been a rogue's: WARNING, not OK.
start_watch --expect "$SERVER_IP,$UPSTREAM_IP" --wait 3 --format json --no-log --metrics-file "$RUN/orvane.prom"
two_replies() { [ "$(grep -c '"type":"reply"' "$WORK/out")" -ge 2 ]; }
within 5 "the servers did not answer" two_replies
kill -STOP "$(cat "$WORK/probe.pid")"
lab server -- "$ORVANE_BIN/lab_forge" "$CLIENT_IP" 68 3000 100000 "$SERVER_IP" >/dev/null || true
kill -CONT "$(cat "$WORK/probe.pid")"
lab server -- "$ORVANE_BIN/lab_forge" "$CLIENT_IP" 68 3 100 "$SERVER_IP" >/dev/null
wait_probe 1
read -r drops text < <(json_of '.[-1].verdict | "\(.kernel_drops) \(.text)"')
[ "$drops" -gt 0 ] || fail "no drops counted: $(tail -n 1 "$WORK/out")"
[ "$text" = "every reply came from an expected server; $drops datagrams dropped by the kernel; any of them may have been a rogue's" ] \
    || fail "verdict text: $text"
grep -qx "orvane_round_status 1" "$RUN/orvane.prom" || fail "metrics: $(grep round_status "$RUN/orvane.prom")"

# 3. Events: 20 forged strangers in round 1, while a named server (never there) goes silent; in round 2 it answers
# and the strangers leave. The silent and back events are said and run, in order; the strangers past 15 a round
# are folded into one event; each --on-change command takes a second, so most wait in the queue.
silent=192.168.77.99
events=$WORK/events
start_watch --monitor --interval 2 --no-log --expect "$SERVER_IP,$UPSTREAM_IP,$silent" \
    --on-change "sleep 1; echo \"\$ORVANE_EVENT \$ORVANE_SERVER \$ORVANE_FOLDED\" >>$events"
within 5 "round 1 did not start" grep -q "^Packets Sent: 1$" "$WORK/err"
lab relay -- "$ORVANE_BIN/lab_forge" "$CLIENT_IP" 68 20 2000 >/dev/null
within 5 "round 2 did not start" grep -q "^Packets Sent: 2$" "$WORK/err"
lab relay -- "$ORVANE_BIN/lab_forge" "$CLIENT_IP" 68 1 100 "$silent" >/dev/null
within 15 "the back event did not run" grep -q "^expected-server-back $silent" "$events"
signal_probe TERM
wait "$PROBE_PID" || true  # the run's own verdict, which the events do not change
PROBE_PID=
for word in expected-server-silent expected-server-back; do
    [ "$(grep -c "^orvane-probe: event $word server=$silent " "$WORK/err")" -eq 1 ] || fail "$word not said once"
done
grep -q "^orvane-probe: event unexpected-servers-folded folded=5 servers=10\.0\.0\.[0-9]*,.* gone= round=1 " \
    "$WORK/err" || fail "no folded event in round 1: $(grep event "$WORK/err")"
grep -q "^orvane-probe: event unexpected-servers-folded folded=5 servers= gone=10\.0\.0\.[0-9]*,.* round=2 " \
    "$WORK/err" || fail "no folded event in round 2: $(grep event "$WORK/err")"
[ "$(grep -o "^expected-server-[a-z]* $silent" "$events" | cut -d' ' -f1 | paste -sd,)" \
  = "expected-server-silent,expected-server-back" ] || fail "the allow-list's commands: $(cat "$events")"
grep -qx "unexpected-servers-folded  5" "$events" || fail "the folded event's command: $(cat "$events")"
pass "others' offers not counted; $drops drops made a WARNING; allow-list events said and run in order among $(wc -l <"$events") commands"

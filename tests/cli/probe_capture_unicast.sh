#!/usr/bin/env bash
# A server that ignores the broadcast flag unicasts its OFFER to the client hardware address: with --mac another
# address, --capture takes the interface into promiscuous mode through its socket's membership and hears that offer,
# which the plain probe never sees; the interface's promiscuity count is back where it was after the run, also after
# SIGKILL, and is never raised for the interface's own address. Lab: --unicast-responder.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
[ -n "${RESPONDER_IP:-}" ] || fail "this test needs a lab started with --unicast-responder"
other=02:00:5e:44:55:66
promiscuity() { lab client -- ip -d link show eth0 | sed -n 's/.* promiscuity \([0-9]*\) .*/\1/p'; }
before=$(promiscuity)
[ -n "$before" ] || fail "no promiscuity count in ip -d link show"

# start_capturing ARGS...: the probe in the background; returns once it has sent its DISCOVER.
start_capturing() {
    probe_bg client --capture --interface eth0 --no-log "$@" >"$WORK/out" 2>"$WORK/err"
    for _ in $(seq 100); do grep -q "Packets Sent" "$WORK/err" 2>/dev/null && return 0; sleep 0.02; done
    fail "the probe did not send: $(cat "$WORK/err")"
}

start_capturing --mac "$other" --wait 2
during=$(promiscuity)
wait_probe
after=$(promiscuity)
[ "$during" -eq $((before + 1)) ] || fail "promiscuity $during during the run, not $((before + 1))"
[ "$after" -eq "$before" ] || fail "promiscuity $after after the run, not $before"
awk -v r="Packet from $RESPONDER_IP " '$0 == r {inside = 1} inside {print} /^-+$/ {inside = 0}' "$WORK/out" >"$WORK/block"
grep -qx " Offered IP $RESPONDER_OFFER " "$WORK/block" && grep -qx " Ethernet $RESPONDER_MAC (locally administered)" \
    "$WORK/block" || fail "the unicast offer: $(cat "$WORK/out")"
grep -q "^Server $SERVER_IP: " "$WORK/out" || fail "the broadcast offer is missing"

# The plain probe with the same --mac never sees the unicast offer: it was not addressed to this host.
run_probe_on client --mac "$other" --wait 1.5 --no-log --format json
expect_status 0 "plain probe"
[ "$(json_of "[.[] | select(.type == \"reply\" and .source.address == \"$RESPONDER_IP\")] | length")" = 0 ] \
    || fail "a socket heard the unicast offer"

# SIGKILL leaves nothing behind: the kernel drops the membership with the socket.
start_capturing --mac "$other" --wait 10
[ "$(promiscuity)" -eq $((before + 1)) ] || fail "not promiscuous before the kill"
kill -KILL "$PROBE_PID"
wait "$PROBE_PID" 2>/dev/null || true
PROBE_PID=
[ "$(promiscuity)" -eq "$before" ] || fail "promiscuity $(promiscuity) after SIGKILL, not $before"

# The interface's own address needs no promiscuity, and the offer to it is heard all the same.
start_capturing --wait 1.5
[ "$(promiscuity)" -eq "$before" ] || fail "promiscuous for the interface's own address"
wait_probe
grep -q "^Server $RESPONDER_IP: 1 reply, .* through eth0 direct Ethernet $RESPONDER_MAC " "$WORK/out" \
    || fail "the offer to the own address: $(cat "$WORK/out")"
pass "unicast offer of $RESPONDER_OFFER caught with --mac $other; promiscuity $before -> $during -> $after, also after SIGKILL"

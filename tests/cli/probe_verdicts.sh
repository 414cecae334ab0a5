#!/usr/bin/env bash
# orvane-probe's verdicts against the lab's two real servers: each exit status, each server named once in
# the summary, --expect matching by identifier or by source address, --quick ending at once, and without
# --quick the whole wait.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# Both servers named and --quick: verdict 0 well before the 5-second default wait.
run_probe_on client --expect "$SERVER_IP,$UPSTREAM_IP" --quick
expect_status 0 "both servers expected, --quick"
[ "$TOOK_MS" -lt 1500 ] || fail "--quick took $TOOK_MS ms"
# It says what it did not wait for: a stranger answering later would not have been heard.
has_line "Verdict 0: every expected server answered; servers answering later were not waited for (--quick)" \
    "both expected"
for server in "$SERVER_IP" "$UPSTREAM_IP"; do
    [ "$(grep -c "^Server $server expected: 1 reply, 1 offer, 1 round, first " "$WORK/out")" -eq 1 ] \
        || { cat "$WORK/out" >&2; fail "server $server is not named exactly once"; }
done
grep -q "^Server $UPSTREAM_IP expected: .* through $CLIENT_IF relay $RELAY_IP\$" "$WORK/out" \
    || fail "the upstream server's path does not name the relay"
quick_ms=$TOOK_MS

# Without --quick the probe listens the whole wait, in case a slow rogue follows.
run_probe_on client --expect "$SERVER_IP,$UPSTREAM_IP" --wait 2
expect_status 0 "both servers expected, no --quick"
[ "$TOOK_MS" -ge 2000 ] || fail "without --quick the probe ended after $TOOK_MS ms"

# Only the server on the link named: the one behind the relay is unexpected (2).
run_probe_on client --expect "$SERVER_IP" --wait 1
expect_status 2 "upstream not expected"
has_line "Verdict 2: unexpected server answered: $UPSTREAM_IP" "upstream not expected"
grep -q "^Server $UPSTREAM_IP unexpected: " "$WORK/out" || fail "the upstream server is not marked unexpected"
grep -q "^ Flags unexpected-server" "$WORK/out" || fail "no block carries the unexpected-server flag"

# A third named server that does not exist stays silent (2).
run_probe_on client --expect "$SERVER_IP,$UPSTREAM_IP,192.168.77.99" --wait 1
expect_status 2 "a silent expected server"
has_line "Server 192.168.77.99 expected: silent" "a silent expected server"
has_line "Verdict 2: expected server silent: 192.168.77.99" "a silent expected server"

# The relay's address names every server behind it: matched by source address (0).
run_probe_on client --expect "$RELAY_IP,$SERVER_IP" --quick
expect_status 0 "upstream expected through its relay's address"

# Without --expect: something answered (0); the plain report stays on stdout and the summary on stderr.
run_probe_on client --wait 1
expect_status 0 "nothing expected"
grep -qx "Verdict 0: something answered; no server was named with --expect" "$WORK/err" || fail "no verdict on stderr"
! grep -q "^Verdict" "$WORK/out" || fail "the plain report on stdout carries a verdict line"

# A refused command line is UNKNOWN (3), never a verdict.
run_probe_on client --quick
expect_status 3 "--quick without --expect"
[ ! -s "$WORK/out" ] || fail "a refused command line wrote to stdout"
pass "verdicts 0 and 2, refused 3; --quick in $quick_ms ms, the full wait without it; expect by identifier and by source"

#!/usr/bin/env bash
# --count/--interval on the wire and in the JSON summary, --monitor with a summary per round until SIGINT,
# and --log / --no-log.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# Three requests a second apart (the shortest interval there is), then a one-second wait: three DISCOVERs
# like the window program's.
start_capture client "$CLIENT_IF" 67 3 10
run_probe_on client --count 3 --interval 1 --wait 1 --format json --expect "$SERVER_IP,$UPSTREAM_IP"
wait_capture
expect_status 0 "--count 3"
[ "$TOOK_MS" -ge 3000 ] && [ "$TOOK_MS" -lt 4500 ] || fail "--count 3 --interval 1 --wait 1 took $TOOK_MS ms"
[ "$(wc -l <"$WORK/capture")" -eq 3 ] || fail "expected 3 DISCOVERs on the wire, saw $(wc -l <"$WORK/capture")"
first=$(head -n 1 "$WORK/capture" | cut -d' ' -f6)
while read -r src sport dst dport length payload; do
    [ "$src $sport $dst $dport $length" = "$CLIENT_IP 67 255.255.255.255 67 548" ] || fail "a request went $src:$sport -> $dst:$dport"
    [ "$payload" = "$first" ] || fail "the requests differ"
done <"$WORK/capture"
[ "${first:56:12}" = "${CLIENT_MAC//:/}" ] || fail "the request carries ${first:56:12}, not the client's address"
[ "$(json_of '[.[] | select(.type == "reply")] | length')" = 6 ] || fail "expected 6 replies"
[ "$(json_of '[.[] | select(.type == "reply") | .round] | unique | join(",")')" = "1,2,3" ] || fail "replies not in rounds 1-3"
[ "$(json_of '.[-1] | [.type, .requests_sent, .rounds, .replies, .verdict.status] | join(",")')" = "summary,3,3,6,0" ] \
    || fail "summary: $(tail -n 1 "$WORK/out")"
[ "$(json_of '.[-1].servers | map("\(.server):\(.replies):\(.rounds)") | sort | join(" ")')" = \
  "$(printf '%s\n' "$UPSTREAM_IP:3:3" "$SERVER_IP:3:3" | sort | paste -sd' ')" ] \
    || fail "per-server counts: $(json_of '.[-1].servers')"

# --monitor --output full: a round a second until SIGINT, each with its line and servers, then the run's summary.
probe_bg client --monitor --interval 1 --output full --expect "$SERVER_IP,$UPSTREAM_IP" >"$WORK/out" 2>"$WORK/err"
complete_rounds() { grep -c '^Round [0-9]* ended .*: 2 replies from 2 servers; Verdict 0: ' "$WORK/out" || true; }
three_rounds() { [ "$(complete_rounds)" -ge 3 ]; }
within 20 "three complete rounds" three_rounds
signal_probe INT
status=0
wait "$PROBE_PID" || status=$?
PROBE_PID=
[ "$status" -eq 0 ] || { cat "$WORK/out" "$WORK/err" >&2; fail "--monitor ended with $status after SIGINT"; }
rounds=$(complete_rounds)
[ "$rounds" -ge 3 ] || { cat "$WORK/out" >&2; fail "expected at least 3 complete rounds, saw $rounds"; }
[ "$(grep -c '^ Server .* expected: 1 reply, 1 offer, 1 round, ' "$WORK/out")" -ge $((rounds * 2)) ] \
    || fail "the rounds do not each list both servers"
# The closing summary counts each server's rounds, also the one SIGINT cut short (which is not judged).
for server in "$SERVER_IP" "$UPSTREAM_IP"; do
    total=$(grep -c "^ Server $server expected: 1 reply, " "$WORK/out" || true)
    grep -q "^Server $server expected: $total replies, $total offers, $total rounds, " "$WORK/out" \
        || { cat "$WORK/out" >&2; fail "the closing summary does not count $total rounds for $server"; }
done
! grep -q '^Round [0-9]* cut short .*Verdict' "$WORK/out" || fail "a round cut short by SIGINT was judged"
has_line "Verdict 0: every reply came from an expected server" "--monitor closing verdict"

# --log FILE: the replies go there and no LogFile is made; --no-log: no file at all.
rm -f "$RUN/LogFile"
run_probe_on client --log "$WORK/replies.log" --expect "$SERVER_IP,$UPSTREAM_IP" --quick
expect_status 0 "--log"
[ -s "$WORK/replies.log" ] && [ ! -e "$RUN/LogFile" ] || fail "--log did not put the replies in the named file only"
[ "$(stat -c %s "$WORK/replies.log")" -ge 600 ] || fail "--log holds less than two replies"
run_probe_on client --no-log --expect "$SERVER_IP,$UPSTREAM_IP" --quick
expect_status 0 "--no-log"
[ ! -e "$RUN/LogFile" ] || fail "--no-log made a LogFile"
pass "--count 3: 3 DISCOVERs, 6 replies in rounds 1-3; --monitor: $total rounds, ended by SIGINT with 0; --log, --no-log"

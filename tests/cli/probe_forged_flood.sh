#!/usr/bin/env bash
# A hostile LAN forges offers from thousands of servers at a steady rate: the probe keeps up, tallies at most
# 4096 servers, counts the rest as over the limit (verdict 2) and stays small. It reports what it read, what
# the kernel dropped, and the CPU and memory the run took.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

FORGED=${FORGED:-20000}
RATE=${RATE:-4000}
WAIT=$(( FORGED / RATE + 5 ))
lab_bg client -- sh -c 'cd "$1" && shift && exec /usr/bin/time -f "%U %S %M" -o "$0" "$@"' "$WORK/time" "$RUN" \
    "$ORVANE_BIN/orvane-probe" --format json --wait "$WAIT" --expect "$SERVER_IP,$UPSTREAM_IP" >"$WORK/out" 2>"$WORK/err"
PROBE_PID=$!
port_68_bound() { lab client -- grep -q ':0044 ' /proc/net/udp; }
within 10 "the probe bound to port 68" port_68_bound
# From the relay host, whose address no --expect names (the servers' own would make every forgery expected).
sent=$(lab relay -- "$ORVANE_BIN/lab_forge" "$CLIENT_IP" 68 "$FORGED" "$RATE") || fail "the forger failed"
status=0
wait "$PROBE_PID" || status=$?
PROBE_PID=
[ "$status" -eq 2 ] || { tail -n 3 "$WORK/err" >&2; fail "flood: status $status, not 2"; }

summary=$(tail -n 1 "$WORK/out")
read -r replies drops over servers not_dhcp text < <(jq -r '[.replies, .kernel_drops, .verdict.over_limit,
    (.servers | length), .not_dhcp, .verdict.text] | join(" ")' <<<"$summary")
read -r user system rss < <(tail -n 1 "$WORK/time")
echo "forged $sent at $RATE/s; read $replies (2 real offers among them), kernel drops $drops, over the limit $over," \
    "servers tallied $servers; CPU user ${user}s system ${system}s; max RSS ${rss} KB"
[ "$sent" -eq "$FORGED" ] || fail "the forger sent $sent of $FORGED"
[ "$not_dhcp" -eq 0 ] || fail "$not_dhcp forged offers taken for no answer"
[ "$((replies + drops))" -le $((FORGED + 2)) ] || fail "read $replies and dropped $drops of $((FORGED + 2))"
[ "$(grep -c '"type":"reply"' "$WORK/out")" -eq "$replies" ] || fail "not every reply reported"
# A probe that could read fewer than 4096 (a sanitizer's build on a busy host) never reaches the limit; what
# it did read is still accounted for.
if [ "$replies" -gt 4096 ]; then
    [ "$servers" -eq 4096 ] || fail "$servers servers tallied"
    [ "$over" -eq $((replies - 4096)) ] || fail "over the limit $over of $replies replies"
    [[ $text == "more than 4096 servers answered; "*" answers over the limit; unexpected server answered: "*" more" ]] \
        || fail "verdict text: $text"
else
    echo "note: only $replies read, the limit was not reached"
    [ "$servers" -eq "$replies" ] && [ "$over" -eq 0 ] || fail "$servers servers and $over over the limit of $replies"
fi
# The tally is bounded: far below the 27.8 MB an unbounded one reached at 41k servers (a sanitizer's shadow
# memory aside).
# The libraries are read whole first: grep -q would leave ldd writing into a closed pipe, which pipefail counts.
libraries=$(ldd "$ORVANE_BIN/orvane-probe")
if ! grep -q 'lib[at]san' <<<"$libraries"; then
    [ "$rss" -lt 40000 ] || fail "max RSS $rss KB"
fi
pass "forged flood: $replies read, $drops dropped by the kernel, $over over the limit, ${user}s user CPU, ${rss} KB"

#!/usr/bin/env bash
# -6 as an ordinary user on the lab's client host: without a right it says which one port 546 needs, with
# cap_net_bind_service alone which one the raw ICMPv6 socket needs, with both it runs and holds no capability while
# it listens; -6 --capture needs cap_net_raw alone. Runs on a lab of its own: lab.sh run --ipv6.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
chmod 755 "$WORK"
chmod 777 "$RUN"
program=$WORK/orvane-probe
cp "$ORVANE_BIN/orvane-probe" "$program"
chmod 755 "$program"
as_nobody() {  # as_nobody [--bg] CAPS ARGS...: the probe as nobody with the given inheritable/ambient capabilities
    local run=lab caps
    [ "$1" != --bg ] || { run=lab_bg; shift; }
    caps=$1
    shift
    "$run" client -- setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps="$caps" --ambient-caps="$caps" \
        sh -c 'cd "$1" && shift && exec "$@"' - "$RUN" "$program" "$@"
}

# caps | arguments | status | what stderr or stdout says
while IFS='|' read -r caps args want shown; do
    status=0
    # shellcheck disable=SC2086
    as_nobody "$caps" -6 $args --interface eth0 --wait 1 --no-log >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" = "$want" ] || { cat "$WORK/err" >&2; fail "$caps $args: status $status, not $want"; }
    grep -qF -- "$shown" "$WORK/err" "$WORK/out" || { cat "$WORK/out" "$WORK/err" >&2; fail "$caps $args: no '$shown'"; }
done <<ROWS
-all||3|DHCPv6 port 546 on interface eth0: cannot bind the socket: Permission denied; it needs cap_net_bind_service
-all,+net_bind_service||3|router solicitations on interface eth0: cannot open the socket: Operation not permitted; it needs cap_net_raw
-all,+net_bind_service,+net_raw||0|Verdict 0: IPv6: something answered
-all,+net_raw|--capture|0|Verdict 0: IPv6: something answered
-all|--capture|3|cannot capture IPv6 on interface eth0: Operation not permitted; --capture needs cap_net_raw
ROWS

# While it listens, the probe holds no capability.
as_nobody --bg -all,+net_bind_service,+net_raw -6 --interface eth0 --wait 2 --no-log >"$WORK/out" 2>"$WORK/err"
pid=$!
within 10 "the first answer reported" grep -q . "$WORK/out"
grep -q '^CapEff:	0000000000000000$' "/proc/$pid/status" || fail "capabilities kept: $(grep Cap "/proc/$pid/status")"
grep -q '^CapPrm:	0000000000000000$' "/proc/$pid/status" || fail "permitted capabilities kept"
wait "$pid"
pass "-6 says which right each socket needs, runs with both, -6 --capture with cap_net_raw alone, and drops them"

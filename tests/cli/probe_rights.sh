#!/usr/bin/env bash
# orvane-probe as an ordinary user on the lab's client host. Without any right it ends with 1 and says how to
# get one; with nothing but cap_net_bind_service (ambient, through setpriv) it binds, ties its sockets to
# eth0 (SO_BINDTODEVICE needs no capability on Linux 5.7 and later), holds no capability afterwards and
# gives its verdict. When the kernel refuses the drop itself (a seccomp filter answers capset with EPERM),
# it ends with 1 and one line before it sends anything.
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

for args in "" "--interface $CLIENT_IF"; do
    status=0
    # shellcheck disable=SC2086
    as_nobody -all $args --wait 1 >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" -eq 3 ] || fail "no right, '$args': status $status"
    grep -q "cannot bind UDP port 67: Permission denied; run it as root, or grant the right once with: sudo setcap cap_net_bind_service=+ep $program\$" "$WORK/err" \
        || fail "no right, '$args': $(cat "$WORK/err")"
done

# Root, both ports bound, but the drop refused: status 3 (UNKNOWN), exactly one line on stderr, nothing sent or printed.
refused="orvane-probe: cannot give up its capabilities once the ports are bound: Operation not permitted; it ends rather than go on with them"
for args in "" "--interface $CLIENT_IF"; do
    status=0
    # shellcheck disable=SC2086
    lab client -- sh -c 'cd "$1" && shift && exec "$@"' - "$RUN" "$ORVANE_BIN/refuse_capset" "$program" $args \
        --wait 1 >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" -eq 3 ] || fail "drop refused, '$args': status $status ($(cat "$WORK/err"))"
    [ "$(cat "$WORK/err")" = "$refused" ] || fail "drop refused, '$args': stderr '$(cat "$WORK/err")'"
    [ ! -s "$WORK/out" ] || fail "drop refused, '$args': printed $(cat "$WORK/out")"
done

# With the one right: the capability sets are empty while it listens, and the verdict is 0.
kernel=$(uname -r)
for args in "" "--interface $CLIENT_IF"; do
    # shellcheck disable=SC2086
    as_nobody --bg +net_bind_service $args --expect "$SERVER_IP,$UPSTREAM_IP" --wait 2 >"$WORK/out" 2>"$WORK/err"
    pid=$!
    within 10 "the probe's first report as nobody" grep -q . "$WORK/out"
    [ "$(stat -c %U "/proc/$pid")" = nobody ] || fail "the probe does not run as nobody"
    for field in CapInh CapPrm CapEff CapAmb; do
        value=$(awk -v f="$field:" '$1 == f {print $2}' "/proc/$pid/status")
        [ "$value" = 0000000000000000 ] || fail "'$args': $field is $value after start-up"
    done
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { cat "$WORK/out" "$WORK/err" >&2; fail "'$args' with cap_net_bind_service: status $status"; }
    has_line "Verdict 0: every reply came from an expected server" "'$args' as nobody"
done
pass "no right: status 3 with the setcap hint; drop refused: status 3 with one line; cap_net_bind_service alone: plain and --interface run as nobody on $kernel, no capability left"

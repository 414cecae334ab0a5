#!/usr/bin/env bash
# orvane run by an ordinary user on the lab's client host: without cap_net_bind_service it ends
# with status 1 and says how to grant the right; with the right granted by setcap it binds both
# ports, holds no capability afterwards, reports real offers and ends with status 0 on SIGTERM.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(cd "$(dirname "$0")/../lab" && pwd)/lab_lib.sh"
chmod 755 "$WORK"
program=$WORK/orvane
cp "$ORVANE_BIN/orvane" "$program"
chmod 755 "$program"
run=$WORK/run
mkdir -m 777 "$run"
as_nobody() { lab client -- setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all "$@"; }

# No right: status 1 before any window (a display that does not exist would make Qt abort).
set +e
err=$(cd "$run" && as_nobody env QT_QPA_PLATFORM=xcb DISPLAY=:31999 "$program" 2>&1 >/dev/null)
status=$?
set -e
[ $status -eq 1 ] || fail "without the right: status $status ($err)"
[ "$err" = "orvane: cannot bind UDP port 67: Permission denied; run it as root, or grant the right once with: sudo setcap cap_net_bind_service=+ep $program" ] \
    || fail "without the right: '$err'"

# The right granted to the file: it runs as nobody, and drops the capability once both ports are bound.
setcap cap_net_bind_service=+ep "$program"
( cd "$run" && exec setsid "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- setpriv --reuid=nobody --regid=nogroup \
      --clear-groups --inh-caps=-all env QT_QPA_PLATFORM=offscreen HOME="$run" "$program" ) 2>"$WORK/err" &
launcher=$!
pid=
for _ in $(seq 100); do
    pid=
    for candidate in $(ip netns pids "$NS_CLIENT"); do
        [ "$(cat "/proc/$candidate/comm" 2>/dev/null)" = orvane ] && [ "$(stat -c %U "/proc/$candidate")" = nobody ] \
            && pid=$candidate
    done
    [ -n "$pid" ] && lab client -- grep -q ':0044 ' /proc/net/udp && break
    sleep 0.05
done
[ -n "$pid" ] || fail "orvane did not start as nobody: $(cat "$WORK/err")"
for _ in $(seq 100); do [ -s "$run/LogFile" ] && break; sleep 0.1; done
[ -s "$run/LogFile" ] || fail "no offer reached LogFile"
for field in CapInh CapPrm CapEff CapAmb; do
    value=$(awk -v f="$field:" '$1 == f {print $2}' "/proc/$pid/status")
    [ "$value" = 0000000000000000 ] || fail "$field is $value after start-up"
done
start=$(date +%s%N)
kill -TERM "$pid"
set +e
wait "$launcher"
status=$?
set -e
elapsed=$((($(date +%s%N) - start) / 1000000))
[ $status -eq 0 ] || fail "status $status after SIGTERM: $(cat "$WORK/err")"
[ $elapsed -lt 1000 ] || fail "took $elapsed ms to end"
pass "status 1 with the setcap hint without the right; with it: runs as nobody, no capability left, offers logged, ends in ${elapsed} ms"

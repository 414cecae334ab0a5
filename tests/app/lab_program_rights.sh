#!/usr/bin/env bash
# orvane run by an ordinary user on the lab's client host: outside its helper's group, or without the helper, it
# ends with status 1 and says why; without cap_net_bind_service on the helper it ends with status 1 and says how
# to grant the right; with the right granted by setcap the helper binds both ports, the program holds no
# capability, reports real offers and ends with status 0 on SIGTERM.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(cd "$(dirname "$0")/../lab" && pwd)/lab_lib.sh"
chmod 755 "$WORK"
# Laid out as installed: the program, and its helper, which carries the rights, in libexec/orvane beside bin/.
program=$WORK/bin/orvane
helper=$WORK/libexec/orvane/orvane-helper
mkdir -p "$WORK/bin" "$WORK/libexec/orvane"
cp "$ORVANE_BIN/orvane" "$program"
cp "$ORVANE_BIN/../libexec/orvane/orvane-helper" "$helper"
chmod 755 "$WORK/bin" "$WORK/libexec" "$WORK/libexec/orvane" "$program" "$helper"
run=$WORK/run
mkdir -m 777 "$run"
as_nobody() { lab client -- setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all "$@"; }

# refused_line: the one line of a run as nobody that must end with status 1 before any window.
refused_line() {
    local status=0 err
    err=$(cd "$run" && as_nobody env QT_QPA_PLATFORM=xcb DISPLAY=:31999 "$program" 2>&1 >/dev/null) || status=$?
    [ $status -eq 1 ] || fail "status $status, not 1 ($err)"
    printf '%s' "$err"
}
# Outside the helper's group (root:root 0750 here, root:orvane installed): the group and adduser are named.
chmod 750 "$helper"
[ "$(refused_line)" = "orvane: cannot bind UDP port 67: Permission denied; only root and the members of the group \
orvane may run its helper $helper: sudo adduser nobody orvane, then log in again" ] || fail "outside the group: '$(refused_line)'"
chmod 755 "$helper"
# No helper at all: said in one line; the program never opens the sockets itself.
mv "$helper" "$helper.away"
[ "$(refused_line)" = "orvane: cannot start its helper $helper: No such file or directory" ] \
    || fail "without its helper: '$(refused_line)'"
mv "$helper.away" "$helper"

# No right: status 1 before any window (a display that does not exist would make Qt abort).
set +e
err=$(cd "$run" && as_nobody env QT_QPA_PLATFORM=xcb DISPLAY=:31999 "$program" 2>&1 >/dev/null)
status=$?
set -e
[ $status -eq 1 ] || fail "without the right: status $status ($err)"
[ "$err" = "orvane: cannot bind UDP port 67: Permission denied; run it as root, or grant the right once with: sudo setcap cap_net_bind_service=+ep $helper" ] \
    || fail "without the right: '$err'"

# The right granted to the file: it runs as nobody, and drops the capability once both ports are bound.
setcap cap_net_bind_service=+ep "$helper"
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
pass "status 1 naming the group outside it, without the helper, and with the setcap hint without the right; with it: runs as nobody, no capability left, offers logged, ends in ${elapsed} ms"

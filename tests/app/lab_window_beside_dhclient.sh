#!/usr/bin/env bash
# The window program beside a real DHCP client, dhclient holding UDP port 68 on the client host (lab: --dhclient).
# Under Xvfb it shows and logs the offers through its packet socket exactly as lab_window.sh checks them. The
# program itself, as nobody: with cap_net_bind_service alone it ends with status 1 and says how to grant
# cap_net_raw; with both rights it logs the offers beside dhclient, keeps no capability and ends on SIGTERM. With
# port 67 held too it ends with status 1, as it always did. dhclient and its lease stay as they were throughout.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(cd "$(dirname "$0")/../lab" && pwd)/lab_lib.sh"
here=$(cd "$(dirname "$0")" && pwd)
[ -n "${DHCLIENT_PID:-}" ] || fail "this test needs a lab started with --dhclient"
ORVANE_TEST_ARTIFACTS=${ORVANE_TEST_ARTIFACTS:-$ORVANE_BIN/../test-artifacts/qt-dhclient} "$here/lab_window.sh"
dhclient_snapshot

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
held="orvane: cannot bind UDP port 68: Address already in use; another program holds it, commonly a DHCP client \
running on this host; stop it first"

# cap_net_bind_service alone: no packet socket, so status 1 before any window (a display that does not exist
# would make Qt abort), with the way to the right.
setcap cap_net_bind_service=+ep "$helper"
status=0
err=$(cd "$run" && as_nobody env QT_QPA_PLATFORM=xcb DISPLAY=:31999 "$program" 2>&1 >/dev/null) || status=$?
[ $status -eq 1 ] || fail "without cap_net_raw: status $status ($err)"
[ "$err" = "$held, or let orvane read its replies beside it with cap_net_raw: sudo setcap \
cap_net_bind_service,cap_net_raw=+ep $helper" ] || fail "without cap_net_raw: '$err'"

# Both rights: it runs as nobody beside dhclient, the two offers of its request reach LogFile exactly as the wire
# carried them, and no capability is left once its sockets are open.
setcap cap_net_bind_service,cap_net_raw=+ep "$helper"
start_capture client eth0 68 2 20
started=$(date +%s%N)
( cd "$run" && exec setsid "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- setpriv --reuid=nobody --regid=nogroup \
      --clear-groups --inh-caps=-all env QT_QPA_PLATFORM=offscreen HOME="$run" "$program" ) 2>"$WORK/err" &
launcher=$!
pid=
for _ in $(seq 100); do
    for candidate in $(ip netns pids "$NS_CLIENT"); do
        [ "$(cat "/proc/$candidate/comm" 2>/dev/null)" = orvane ] && [ "$(stat -c %U "/proc/$candidate")" = nobody ] \
            && pid=$candidate
    done
    [ -n "$pid" ] && break
    sleep 0.05
done
[ -n "$pid" ] || fail "orvane did not start as nobody: $(cat "$WORK/err")"
wait_capture
[ "$(awk '{print $1}' "$WORK/capture" | sort | paste -sd' ')" = "$(printf '%s\n' "$RELAY_IP" "$SERVER_IP" | sort | paste -sd' ')" ] \
    || fail "the wire did not carry one offer from each server: $(cat "$WORK/capture")"
expected=$(awk '{print $6}' "$WORK/capture" | sed 's/../& /g; s/0a /0d 0a /g; s/ //g' | tr -d '\n')
logged() { od -An -v -tx1 "$run/LogFile" 2>/dev/null | tr -d ' \n'; }
for _ in $(seq 100); do [ "$(logged)" = "$expected" ] && break; sleep 0.02; done
logged_ms=$((($(date +%s%N) - started) / 1000000))
[ "$(logged)" = "$expected" ] || fail "LogFile is not the two offers on the wire ($(stat -c %s "$run/LogFile") bytes)"
for field in CapInh CapPrm CapEff CapAmb; do
    value=$(awk -v f="$field:" '$1 == f {print $2}' "/proc/$pid/status")
    [ "$value" = 0000000000000000 ] || fail "$field is $value beside dhclient"
done
ending=$(date +%s%N)
kill -TERM "$pid"
status=0
wait "$launcher" || status=$?
ended_ms=$((($(date +%s%N) - ending) / 1000000))
[ $status -eq 0 ] || fail "status $status after SIGTERM: $(cat "$WORK/err")"
[ $ended_ms -lt 1000 ] || fail "took $ended_ms ms to end"

# Port 67 held as well, by root with every right: status 1, as it always was.
# The holder lets go once its file is removed.
rm -f "$WORK/holding"
lab_bg client -- "$(command -v /usr/bin/python3 python3 | head -n 1)" -c 'import os, socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("", 67))
open(sys.argv[1], "w").close()
while os.path.exists(sys.argv[1]) and time.sleep(0.05) is None: pass' "$WORK/holding"
holder=$!
for _ in $(seq 100); do [ -f "$WORK/holding" ] && break; sleep 0.05; done
[ -f "$WORK/holding" ] || fail "port 67 could not be held"
status=0
err=$(cd "$run" && lab client -- env QT_QPA_PLATFORM=xcb DISPLAY=:31999 "$program" 2>&1 >/dev/null) || status=$?
rm -f "$WORK/holding"
wait "$holder" || fail "the holder of port 67 failed"
[ $status -eq 1 ] || fail "port 67 held: status $status ($err)"
[[ $err == "orvane: cannot bind UDP port 67: Address already in use; another program holds it, commonly a DHCP server"* ]] \
    || fail "port 67 held: '$err'"

dhclient_untouched
pass "beside dhclient: without cap_net_raw status 1 with the setcap hint; as nobody with both rights offers logged in\
 ${logged_ms} ms, no capability left, ends in ${ended_ms} ms; port 67 held: status 1"

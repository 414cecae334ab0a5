#!/usr/bin/env bash
# The Linux window program holds nothing worth taking. Run by a member of its helper's group with a style plugin of
# the user's own (QT_PLUGIN_PATH, QT_STYLE_OVERRIDE), the plugin finds no packet socket, no UDP socket on port 67
# or 68, no filter it may set, no packet socket it may open and no capability, while LogFile still gets both offers
# of the lab (in a lab with --dhclient, beside dhclient on port 68). The About window's Email Me child inherits no
# socket, and a next run binds the ports while that child lives. The helper ends within a second of the program's
# SIGKILL. ORVANE_SPY_PLUGINS names the plugin's folder.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(cd "$(dirname "$0")/../lab" && pwd)/lab_lib.sh"
here=$(cd "$(dirname "$0")" && pwd)
chmod 755 "$WORK"
# The programs laid out as installed, the helper root:nogroup 0750 with its rights: nobody (group nogroup) is a
# member of its group.
mkdir -p "$WORK/bin" "$WORK/libexec/orvane"
cp "$ORVANE_BIN/orvane" "$WORK/bin/orvane"
cp "$ORVANE_BIN/../libexec/orvane/orvane-helper" "$WORK/libexec/orvane/orvane-helper"
chmod 755 "$WORK/bin" "$WORK/libexec" "$WORK/libexec/orvane" "$WORK/bin/orvane"
chown root:nogroup "$WORK/libexec/orvane/orvane-helper"
chmod 750 "$WORK/libexec/orvane/orvane-helper"
setcap cap_net_bind_service,cap_net_raw=ep "$WORK/libexec/orvane/orvane-helper"
run=$WORK/run
mkdir -m 777 "$run"
# The desktop's launcher, as a stand-in that notes its pid and lives on with the descriptors it was given.
mkdir -m 755 "$WORK/path"
printf '#!/bin/sh\necho $$ >"%s/child.pid"\nexec sleep 30\n' "$run" >"$WORK/path/xdg-open"
chmod 755 "$WORK/path/xdg-open"

pids_named() {  # pids_named COMM USER: the client host's processes of that name and owner
    local candidate
    for candidate in $(ip netns pids "$NS_CLIENT"); do
        [ "$(cat "/proc/$candidate/comm" 2>/dev/null)" = "$1" ] && [ "$(stat -c %U "/proc/$candidate")" = "$2" ] \
            && echo "$candidate"
    done
    return 0
}
offers_logged() { od -An -v -tx1 "$run/LogFile" 2>/dev/null | tr -d ' \n' | grep -o 63825363 | wc -l; }
child= window=
# shellcheck disable=SC2086 # the children outlive their programs on purpose; the window program is not a job
cleanup() { kill $child $window 2>/dev/null || true; lab_cleanup; }
trap cleanup EXIT

cd "$run"  # each program writes its LogFile where it starts
lab_bg client -- setsid "$here/with_xvfb.sh" setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$run" \
    PATH="$WORK/path:$PATH" QT_QPA_PLATFORM=xcb QT_PLUGIN_PATH="$ORVANE_SPY_PLUGINS" QT_STYLE_OVERRIDE=orvanespy \
    ORVANE_SPY_REPORT="$run/spy" "$WORK/bin/orvane" >"$WORK/out" 2>"$WORK/err"
launcher=$!
for _ in $(seq 300); do
    [ -s "$run/child.pid" ] && [ -s "$run/spy" ] && [ "$(offers_logged)" -ge 2 ] && break
    sleep 0.05
done
window=$(pids_named orvane nobody)
[ -n "$window" ] || fail "orvane did not run as nobody: $(cat "$WORK/err")"
[ -s "$run/spy" ] || fail "the style plugin wrote no report: $(cat "$WORK/err")"
[ "$(offers_logged)" -ge 2 ] || fail "LogFile holds $(offers_logged) offers, not both"
for row in "packet_sockets 0" "udp_67_68 0" "filters_set 0" "new_packet_socket Operation not permitted"; do
    grep -qxF "$row" "$run/spy" || fail "the plugin found '$(grep "^${row% *} " "$run/spy")', not '$row'"
done
for field in CapInh CapPrm CapEff CapAmb; do
    grep -qx "$field:[[:space:]]*0000000000000000" "$run/spy" || fail "the plugin ran with $(grep "^$field" "$run/spy")"
done
[ -s "$run/child.pid" ] || fail "Email Me started no xdg-open"
child=$(cat "$run/child.pid")
kill -TERM "$window"
status=0
wait "$launcher" || status=$?
[ "$status" -eq 0 ] || fail "status $status on SIGTERM: $(cat "$WORK/err")"
kill -0 "$child" 2>/dev/null || fail "the About link's child ended with the program"
sockets=$(find "/proc/$child/fd" -lname 'socket:*' | wc -l)
[ "$sockets" -eq 0 ] || fail "the About link's child holds $sockets sockets: $(ls -l "/proc/$child/fd")"

# A next run, as root, binds the ports while the child lives; killed outright, its helper ends within a second.
lab_bg client -- setsid env QT_QPA_PLATFORM=offscreen "$WORK/bin/orvane" >"$WORK/out" 2>"$WORK/err"
second=$!
helper=
for _ in $(seq 200); do
    window=$(pids_named orvane root)
    [ -n "$window" ] && helper=$(cat "/proc/$window/task/$window/children" 2>/dev/null | awk '{print $1}')
    [ -n "$helper" ] && lab client -- grep -q ':0043 ' /proc/net/udp && break
    sleep 0.05
done
[ -n "$helper" ] || fail "the next run did not start its helper: $(cat "$WORK/err")"
lab client -- grep -q ':0043 ' /proc/net/udp || fail "the next run did not bind port 67: $(cat "$WORK/err")"
for field in CapPrm CapEff; do
    grep -q "^$field:[[:space:]]*0000000000000000" "/proc/$helper/status" || fail "the helper kept $field"
done
kill -KILL "$window"
start=$(date +%s%N)
while [ -e "/proc/$helper" ] && [ "$(awk '{print $3}' "/proc/$helper/stat" 2>/dev/null)" != Z ]; do
    [ $((($(date +%s%N) - start) / 1000000)) -lt 1000 ] || fail "the helper outlived the killed program by a second"
    sleep 0.01
done
elapsed=$((($(date +%s%N) - start) / 1000000))
wait "$second" || true

# The probe's --on-change child (beside dhclient the probe would take port 68's replies otherwise; once is enough):
# started for the relayed server, which is not expected, it outlives the probe with no socket, and the next run
# binds port 67.
on_change=
if [ -z "${DHCLIENT_PID:-}" ]; then
    rm -f "$run/child.pid"
    lab_bg client -- "$ORVANE_BIN/orvane-probe" --monitor --interval 1 --no-log --expect "$SERVER_IP" \
        --on-change "sleep 30 & echo \$! >$run/child.pid" >/dev/null 2>"$WORK/err"
    monitor=$!
    for _ in $(seq 200); do [ -s "$run/child.pid" ] && break; sleep 0.05; done
    [ -s "$run/child.pid" ] || fail "the probe ran no --on-change command: $(cat "$WORK/err")"
    kill "$child" 2>/dev/null || true
    child=$(cat "$run/child.pid")
    kill -TERM "$monitor"
    wait "$monitor" || true
    kill -0 "$child" 2>/dev/null || fail "the --on-change child ended with the probe"
    sockets=$(find "/proc/$child/fd" -lname 'socket:*' | wc -l)
    [ "$sockets" -eq 0 ] || fail "the --on-change child holds $sockets sockets: $(ls -l "/proc/$child/fd")"
    status=0
    lab client -- "$ORVANE_BIN/orvane-probe" --wait 1 --no-log >/dev/null 2>"$WORK/err" || status=$?
    [ "$status" -eq 0 ] || fail "the next probe run beside the child: status $status: $(cat "$WORK/err")"
    on_change="; the --on-change child holds no socket and the next probe run bound both ports"
fi
beside=
[ -z "${DHCLIENT_PID:-}" ] || beside=" beside dhclient"
pass "the plugin found no socket, filter or capability, both offers logged$beside; Email Me's child holds no\
 socket and the next run bound port 67; the helper ended ${elapsed} ms after SIGKILL$on_change"

#!/usr/bin/env bash
# All the lab's equipment at once: every host answers lab.sh exec in its own namespace, every program runs, and down
# leaves no process, namespace or file behind; a build that fails half-way removes what it had made.
set -euo pipefail
source "$(dirname "$0")/lab_lib.sh"
state=$WORK/state
trap '"$ORVANE_LAB" down "$state" 2>/dev/null; rm -rf "$WORK"' EXIT

# Failures before and after the namespaces exist: the switch program is missing, or it ends at once.
mkdir "$WORK/bin"
printf '#!/bin/sh\necho "vlan_switch: no trunk today" >&2\nexit 1\n' >"$WORK/bin/vlan_switch"
chmod +x "$WORK/bin/vlan_switch"
for case in "nowhere|vlan_switch not found" "bin|vlan_switch ended while"; do
    if ORVANE_BIN=$WORK/${case%%|*} "$ORVANE_LAB" up --trunk --state "$state" >/dev/null 2>"$WORK/failed"; then
        fail "the lab came up without a working switch program"
    fi
    grep -q "${case#*|}" "$WORK/failed" || { cat "$WORK/failed" >&2; fail "no '${case#*|}'"; }
    failed_dir=$(sed -n 's/.*building the LAN failed; removing //p' "$WORK/failed")
    failed_id=$(sed 's/.*orvane-lab\.\([0-9a-f]*\)\..*/\1/' <<<"$failed_dir")
    [ -n "$failed_id" ] && [ ! -e "$failed_dir" ] || fail "the failed build left $failed_dir"
    ! ip netns list | grep -q "orv-$failed_id-" || fail "the failed build left namespaces"
    [ ! -e "$state" ] || fail "the failed build left its state file"
done
! "$ORVANE_LAB" up --trunk --rogue-vlan 11 --state "$state" 2>/dev/null || fail "a rogue on a VLAN the trunk lacks"
! "$ORVANE_LAB" up --no-such-option 2>/dev/null || fail "an unknown option was taken"

"$ORVANE_LAB" up --rogue --dhclient --trunk --rogue-vlan 30 --unicast-responder --ipv6 --rogue6 --relay6 \
    --state "$state" >/dev/null
export ORVANE_LAB_STATE=$state
source "$state"
for entry in $HOSTS; do
    [ "$(lab "${entry%%=*}" -- ip netns identify)" = "${entry#*=}" ] || fail "host ${entry%%=*} is not ${entry#*=}"
done
[ "$(lab vlan20 -- ip netns identify)" = "$VLAN_20_NS" ] || fail "vlan20 is not its VLAN's host"
! lab nowhere -- true 2>/dev/null || fail "an unknown host was reached"

pids=$(for ns in $NAMESPACES; do ip netns pids "$ns"; done)
programs=$(for pid in $pids; do cat "/proc/$pid/comm"; done | sort | uniq -c | awk '{ print $2 "=" $1 }' | tr '\n' ' ')
# dnsmasq: server, upstream, rogue, three VLANs, the VLAN rogue, server6, rogue6, upstream6; dhcrelay -4 and -6.
for expected in dnsmasq=10 dhcrelay=2 dhclient=1 vlan_switch=1 unicast_respond=1 radvd; do
    [[ " $programs" == *" $expected"* ]] || fail "expected $expected among: $programs"
done

"$ORVANE_LAB" down "$state"
[ ! -e "$state" ] && [ ! -e "$LAB_DIR" ] || fail "down left files"
! ip netns list | grep -q "orv-$LAB_ID-" || fail "down left namespaces"
# An ended process may wait a moment to be reaped (state Z): only a live one counts.
alive() { local run_state; run_state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) && [ "$run_state" != Z ]; }
for pid in $pids; do ! alive "$pid" || fail "down left process $pid"; done
pass "$(wc -w <<<"$HOSTS") hosts, programs $programs all gone after down"

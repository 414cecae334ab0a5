#!/usr/bin/env bash
# The 100-VLAN trunk of the benchmarks: one tagged DISCOVER per VLAN 1..100 gets one OFFER back under each tag from
# that VLAN's link of the single dnsmasq, with nothing lost in the switch. Lab: --vlans 100.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/lab_lib.sh"
[ "$(wc -w <<<"${VLAN_IDS:-}")" -eq 100 ] || fail "this test needs a lab started with --vlans 100"

start_wire client eth0
lab client -- "$ORVANE_BIN/lab_frame_send" eth0 02:00:5e:10:20:30 1-100 >/dev/null
wire_wait 100 'dhcp.option.dhcp == 2'
stop_wire
wire_fields 'dhcp.option.dhcp == 2' vlan.id ip.src eth.src dhcp.id udp.checksum.status frame.time_relative \
    >"$WORK/offers"
wire_fields 'dhcp.option.dhcp == 1' frame.time_relative | head -1 >"$WORK/first"

[ "$(wc -l <"$WORK/offers")" -eq 100 ] || fail "$(wc -l <"$WORK/offers") OFFERs, not 100"
awk -F'|' '{ split($2, ip, "."); v = ip[2] * 256 + ip[3]
             mac = sprintf("02:4f:52:57:%02x:%02x", int(v / 256), v % 256)
             if ($1 != v || ip[4] != 1 || $3 != mac || $4 != sprintf("0x%08x", 1330774016 + v) || $5 != 1) print }' \
    "$WORK/offers" >"$WORK/wrong"
[ ! -s "$WORK/wrong" ] || { head "$WORK/wrong" >&2; fail "OFFERs under a wrong tag, from a wrong host, or bad sums"; }
[ "$(cut -d'|' -f1 "$WORK/offers" | sort -u | wc -l)" -eq 100 ] || fail "some VLAN answered twice, another never"
[ "$VLAN_1_NS" = "$VLAN_100_NS" ] && [ "$(ip netns pids "$VLAN_1_NS" | wc -l)" -eq 1 ] \
    || fail "the VLANs are not served by one dnsmasq on one host"
took=$(awk -F'|' -v first="$(cat "$WORK/first")" '{ if ($6 > last) last = $6 }
    END { printf "%.0f", (last - first) * 1000 }' "$WORK/offers")
pass "100 VLANs, 100 OFFERs each under its own tag from one dnsmasq, the last $took ms after the first DISCOVER"

#!/usr/bin/env bash
# Through the trunk, a tagged DISCOVER per VLAN gets each VLAN's OFFER back under the same tag, the rogue answers on
# its VLAN alone, the untagged LAN answers untagged, and frames as long as the MTU allows cross both ways: all read
# by tshark from a capture on the client's wire, so the switch cannot hide a fault. Lab: --trunk --rogue-vlan 20.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/lab_lib.sh"
[ "${TRUNK:-}" = yes ] && [ "${ROGUE_VLAN:-}" = 20 ] || fail "this test needs a lab with --trunk --rogue-vlan 20"

mac=02:00:5e:10:20:30
start_wire client eth0
lab client -- "$ORVANE_BIN/lab_frame_send" eth0 "$mac" "0,${VLAN_IDS// /,}" >/dev/null
# Full-size frames: 1500 bytes of IP, tagged on the trunk; from the client up, and from VLAN 10's host down.
lab client -- "$ORVANE_BIN/lab_frame_send" eth0 "$mac" 30 --size 1500 --xid 4f530000 >/dev/null
lab vlan10 -- "$ORVANE_BIN/lab_frame_send" eth0 02:00:5e:99:00:0a 0 --size 1500 --xid 4f540000 >/dev/null
# Each VLAN's server, the rogue, the untagged LAN's server and relay answer the first; VLAN 30's the full-size one.
wire_wait $(( $(wc -w <<<"$VLAN_IDS") + 4 )) 'dhcp.option.dhcp == 2 and dhcp.id != 0x4f540000'
wire_wait 1 'dhcp.id == 0x4f540000 and vlan.id == 10'
stop_wire
wire_fields dhcp vlan.id eth.src ip.src dhcp.option.dhcp dhcp.id frame.len ip.checksum.status udp.checksum.status \
    >"$WORK/dhcp"
[ -s "$WORK/dhcp" ] || fail "no DHCP on the client's wire"

# count VLAN SOURCE_IP TYPE XID: the captured DHCP frames that match (VLAN empty: untagged).
count() {
    awk -F'|' -v v="$1" -v s="$2" -v t="$3" -v x="$4" '$1 == v && $3 == s && $4 == t && $5 == x' "$WORK/dhcp" | wc -l
}
expect_one() {  # expect_one WHAT VLAN SOURCE_IP TYPE XID
    local n
    n=$(count "$2" "$3" "$4" "$5")
    [ "$n" -eq 1 ] || { cat "$WORK/dhcp" >&2; fail "$1: $n frames, not 1"; }
}

for vid in $VLAN_IDS; do
    xid=$(printf '0x%08x' $((0x4f520000 + vid)))
    expect_one "DISCOVER tagged $vid" "$vid" 0.0.0.0 1 "$xid"
    server=VLAN_${vid}_SERVER_IP
    expect_one "OFFER of VLAN $vid's server" "$vid" "${!server}" 2 "$xid"
    mac_of=VLAN_${vid}_SERVER_MAC
    grep -q "^$vid|${!mac_of}|${!server}|2|" "$WORK/dhcp" || fail "VLAN $vid's OFFER is not from ${!mac_of}"
done
expect_one "the rogue's OFFER on VLAN 20" 20 "$ROGUE_VLAN_IP" 2 0x4f520014
[ "$(grep -c "|$ROGUE_VLAN_IP|" "$WORK/dhcp")" -eq 1 ] || fail "the rogue answered beyond VLAN 20"
[ "$(grep -c DHCPDISCOVER "$ROGUE_VLAN_LOG")" -eq 1 ] || fail "the rogue heard DISCOVERs of other VLANs"
expect_one "untagged DISCOVER" "" 0.0.0.0 1 0x4f520000
expect_one "the LAN server's OFFER, untagged" "" "$SERVER_IP" 2 0x4f520000
expect_one "the relayed OFFER, untagged" "" "$RELAY_IP" 2 0x4f520000

# Each VLAN's subnet shows only under its own tag: 10.0.X.Y belongs to VLAN X.
awk -F'|' '$3 ~ /^10\.0\./ { split($3, ip, "."); if ($1 != ip[3]) bad = bad $0 "\n" } END { printf "%s", bad }' \
    "$WORK/dhcp" >"$WORK/misplaced"
[ ! -s "$WORK/misplaced" ] || { cat "$WORK/misplaced" >&2; fail "frames under another VLAN's tag"; }

# 1500 bytes of IP make 1518-byte tagged frames, in both directions, and the server still answers.
grep -q "^30|$CLIENT_MAC|0.0.0.0|1|0x4f53001e|1518|" "$WORK/dhcp" || fail "no full-size tagged DISCOVER on VLAN 30"
expect_one "OFFER to the full-size DISCOVER" 30 "$VLAN_30_SERVER_IP" 2 0x4f53001e
grep -q "^10|$VLAN_10_SERVER_MAC|0.0.0.0|1|0x4f540000|1518|" "$WORK/dhcp" \
    || fail "the full-size frame from VLAN 10's host did not reach the trunk tagged 10"

# Every frame's IPv4 and UDP checksums are right: the lab's own frames and the servers' alike.
awk -F'|' '$7 != 1 || $8 != 1' "$WORK/dhcp" >"$WORK/bad_sums"
[ ! -s "$WORK/bad_sums" ] || { cat "$WORK/bad_sums" >&2; fail "frames with bad checksums"; }

# The switch's counts, printed as it ends: each tagged frame from the client counted once under its VLAN.
switch_pid=$(cat "$SWITCH_PID_FILE")
lab switch -- kill -TERM "$switch_pid"
for _ in $(seq 50); do kill -0 "$switch_pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$switch_pid" 2>/dev/null && fail "the switch did not end on SIGTERM"
for line in "vlan 10 from-trunk 1 " "vlan 20 from-trunk 1 " "vlan 30 from-trunk 2 " "unknown-vlan 0 send-failures 0"; do
    grep -q "^$line" "$SWITCH_LOG" || { cat "$SWITCH_LOG" >&2; fail "switch counts: no '$line'"; }
done
pass "OFFERs under tags $VLAN_IDS from their servers, the rogue on 20 alone, untagged ones untagged, 1518-byte frames"

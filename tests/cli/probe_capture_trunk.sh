#!/usr/bin/env bash
# --capture --vlan on the trunk: each VLAN's server found on its VLAN under its own tag, the rogue on VLAN 20 reported
# there alone, the untagged LAN beside them; the probe's DISCOVERs read back by tshark from a capture of the client's
# wire (tags, addresses, TTL, checksums), so neither our decoder nor the lab's switch can hide a fault. --quick ends
# once every VLAN's server answered. Lab: --trunk --rogue-vlan 20.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
[ "${TRUNK:-}" = yes ] && [ "${ROGUE_VLAN:-}" = 20 ] || fail "this test needs a lab with --trunk --rogue-vlan 20"

per_vlan="10/$VLAN_10_SERVER_IP,20/$VLAN_20_SERVER_IP,30/$VLAN_30_SERVER_IP"
start_wire client eth0
run_probe_on client --capture --interface eth0 --vlan 10,20,30 --expect "$per_vlan" --wait 1.5 --format json --no-log
stop_wire
expect_status 2 "a rogue on VLAN 20"

# Each reply carries its VLAN (from the kernel's auxiliary data) and its sender's Ethernet address.
for vid in 10 20 30; do
    server=VLAN_${vid}_SERVER_IP mac=VLAN_${vid}_SERVER_MAC
    [ "$(json_of "map(select(.type == \"reply\" and .server_identifier == \"${!server}\")) | map(\"\(.vlan) \(.ethernet.address) \(.expected)\") | join(\",\")")" \
      = "$vid ${!mac} true" ] || fail "VLAN $vid's server: $(json_of "map(select(.server_identifier == \"${!server}\"))")"
done
[ "$(json_of "map(select(.type == \"reply\" and .server_identifier == \"$ROGUE_VLAN_IP\")) | map(\"\(.vlan) \(.ethernet.address) \(.expected)\") | join(\",\")")" \
  = "20 $ROGUE_VLAN_MAC false" ] || fail "the rogue: $(json_of "map(select(.server_identifier == \"$ROGUE_VLAN_IP\"))")"
[ "$(json_of '[.[] | select(.type == "reply")] | length')" = 4 ] || fail "four replies expected: $(cat "$WORK/out")"
[ "$(json_of '[.[] | select(.type == "reply" and .vlan == 20) | .flags.several_servers_on_link] | sort | join(" ")')" \
  = "false true" ] || fail "the second server on VLAN 20 is not flagged several_servers_on_link"
[ "$(json_of '.[-1] | [.vlans[] | "\(.vlan):\(.verdict.status)"] | join(" ")')" = "10:0 20:2 30:0" ] \
    || fail "per-VLAN verdicts: $(json_of '.[-1].vlans')"
[ "$(json_of '.[-1].verdict.unexpected | join(",")')" = "20/$ROGUE_VLAN_IP" ] || fail "the verdict names the rogue on 20"
[ "$(json_of '.[-1] | [.servers[] | "\(.vlan)/\(.server)/\(.paths[0].ethernet.address)"] | sort | join(" ")')" \
  = "$(printf '%s\n' "10/$VLAN_10_SERVER_IP/$VLAN_10_SERVER_MAC" "20/$ROGUE_VLAN_IP/$ROGUE_VLAN_MAC" \
       "20/$VLAN_20_SERVER_IP/$VLAN_20_SERVER_MAC" "30/$VLAN_30_SERVER_IP/$VLAN_30_SERVER_MAC" | sort | paste -sd' ')" ] \
    || fail "the summary's servers: $(json_of '.[-1].servers')"
[ "$(json_of '.[-1] | "\(.kernel_drops) \(.frames | to_entries | map(.value) | add)"')" = "0 0" ] \
    || fail "drops or odd frames: $(json_of '.[-1] | {kernel_drops, frames}')"

# On the wire: one DISCOVER per VLAN under its tag, from 0.0.0.0:68 and the client's own address to the broadcast
# address, TTL 64, a 548-byte payload, both checksums right; and none untagged.
wire_fields 'dhcp.option.dhcp == 1' vlan.id eth.src eth.dst ip.src ip.dst ip.ttl udp.srcport udp.dstport udp.length \
    dhcp.hw.mac_addr dhcp.id ip.checksum.status udp.checksum.status >"$WORK/discovers"
for vid in 10 20 30; do
    grep -qxF "$vid|$CLIENT_MAC|ff:ff:ff:ff:ff:ff|0.0.0.0|255.255.255.255|64|68|67|556|$CLIENT_MAC|0x9a020000|1|1" \
        "$WORK/discovers" || { cat "$WORK/discovers" >&2; fail "no right DISCOVER tagged $vid on the wire"; }
done
[ "$(wc -l <"$WORK/discovers")" -eq 3 ] || { cat "$WORK/discovers" >&2; fail "DISCOVERs beyond one per VLAN"; }
wire_fields 'dhcp.option.dhcp == 2' vlan.id ip.src udp.checksum.status >"$WORK/offers"
grep -qxF "20|$ROGUE_VLAN_IP|1" "$WORK/offers" && [ "$(grep -c "|$ROGUE_VLAN_IP|" "$WORK/offers")" -eq 1 ] \
    || { cat "$WORK/offers" >&2; fail "the rogue's OFFER is not on VLAN 20 alone"; }

# Text: a block per reply with its VLAN and Ethernet line, a verdict line per VLAN, the rogue named with its VLAN.
run_probe_on client --capture --interface eth0 --vlan 10,20,30 --expect "$per_vlan" --wait 1 --no-log
expect_status 2 "text"
awk -v rogue="Packet from $ROGUE_VLAN_IP " '$0 == rogue {inside = 1} inside {print} /^-+$/ {inside = 0}' "$WORK/out" \
    >"$WORK/block"
grep -qx " VLAN 20" "$WORK/block" && grep -qx " Ethernet $ROGUE_VLAN_MAC (locally administered)" "$WORK/block" \
    || fail "the rogue's block: $(cat "$WORK/block")"
has_line "VLAN 10: Verdict 0: every reply came from an expected server" "VLAN 10's verdict"
has_line "VLAN 20: Verdict 2: unexpected server answered: 20/$ROGUE_VLAN_IP" "VLAN 20's verdict"
has_line "Verdict 2: unexpected server answered: 20/$ROGUE_VLAN_IP" "the verdict"
grep -q "^Server $ROGUE_VLAN_IP on VLAN 20 unexpected: 1 reply, .* through eth0 direct Ethernet $ROGUE_VLAN_MAC " \
    "$WORK/out" || fail "the rogue's summary line: $(grep "^Server $ROGUE_VLAN_IP" "$WORK/out")"

# One server for every VLAN, and the untagged LAN in the list: the rogue's VLAN and the LAN's two servers.
run_probe_on client --capture --interface eth0 --vlan untagged,20 \
    --expect "untagged/$SERVER_IP,untagged/$UPSTREAM_IP,20/$VLAN_20_SERVER_IP,20/$ROGUE_VLAN_MAC" --wait 1 \
    --format json --no-log
expect_status 0 "the rogue named by its Ethernet address"
[ "$(json_of '.[-1] | [.vlans[] | "\(.vlan):\(.verdict.status)"] | join(" ")')" = "null:0 20:0" ] \
    || fail "untagged and 20: $(json_of '.[-1].vlans')"

# Silence on one VLAN is a finding of that VLAN: VLAN 30's server stopped.
kill "$(cat "$LAB_DIR/vlan30.pid")"
for _ in $(seq 50); do lab vlan30 -- grep -q ':0043 ' /proc/net/udp || break; sleep 0.1; done
run_probe_on client --capture --interface eth0 --vlan 10,30 --wait 1 --no-log
expect_status 2 "nothing on VLAN 30"
has_line "VLAN 30: Verdict 2: nothing answered" "VLAN 30 silent"
has_line "Verdict 2: nothing answered on VLAN 30" "the run's verdict"

# --quick: ends as soon as each VLAN's server answered.
run_probe_on client --capture --interface eth0 --vlan 10,20 --expect "10/$VLAN_10_SERVER_IP,20/$VLAN_20_SERVER_IP" \
    --quick --wait 10 --no-log
[ "$TOOK_MS" -lt 5000 ] || fail "--quick took $TOOK_MS ms"
pass "VLANs 10 20 30 each with its server, the rogue on 20 alone, tags and sums on the wire, per-VLAN verdicts"

#!/usr/bin/env bash
# The responder that ignores the broadcast flag: its OFFER to a chaddr that is not the client's own address goes by
# Ethernet unicast to that chaddr and by IP to the offered address, seen only by a promiscuous capture of the client's
# wire; it never answers its own address. The LAN's dnsmasq, asked alike, broadcasts. Lab: --unicast-responder.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/lab_lib.sh"
[ -n "${RESPONDER_IP:-}" ] || fail "this test needs a lab started with --unicast-responder"

chaddr=02:00:5e:44:55:66
start_wire client eth0
lab client -- "$ORVANE_BIN/lab_frame_send" eth0 "$chaddr" 0 --xid 4f550000 >/dev/null
lab client -- "$ORVANE_BIN/lab_frame_send" eth0 "$RESPONDER_MAC" 0 --xid 4f560000 >/dev/null
# The responder's OFFER and the LAN's dnsmasq's, each on the wire.
wire_wait 2 'dhcp.option.dhcp == 2 and dhcp.id == 0x4f550000 and (eth.src == '"$RESPONDER_MAC"' or eth.src == '"$SERVER_MAC"')'
stop_wire
wire_fields 'dhcp.option.dhcp == 2' eth.src eth.dst ip.src ip.dst udp.dstport dhcp.id dhcp.flags.bc dhcp.ip.your \
    dhcp.option.dhcp_server_id dhcp.hw.mac_addr ip.checksum.status udp.checksum.status >"$WORK/offers"

from_responder=$(grep -c "^$RESPONDER_MAC|" "$WORK/offers" || true)
[ "$from_responder" -eq 1 ] || { cat "$WORK/offers" >&2; fail "$from_responder OFFERs from the responder, not 1"; }
offer=$RESPONDER_OFFER
expected="$RESPONDER_MAC|$chaddr|$RESPONDER_IP|$offer|68|0x4f550000|1|$offer|$RESPONDER_IP|$chaddr|1|1"
grep -qxF "$expected" "$WORK/offers" || { cat "$WORK/offers" >&2; fail "the responder's OFFER is not $expected"; }
[ "$CLIENT_MAC" != "$chaddr" ] || fail "the chaddr must not be the client's own"
# dnsmasq honours the broadcast flag: the same DISCOVER gets an OFFER to everyone.
grep -q "^$SERVER_MAC|ff:ff:ff:ff:ff:ff|$SERVER_IP|255.255.255.255|68|0x4f550000|1|" "$WORK/offers" \
    || fail "no broadcast OFFER from the LAN's dnsmasq"
! grep -q '|0x4f560000|' <(grep "^$RESPONDER_MAC|" "$WORK/offers") || fail "the responder answered its own address"
pass "unicast OFFER of $RESPONDER_OFFER from $RESPONDER_MAC to chaddr $chaddr, broadcast flag ignored"

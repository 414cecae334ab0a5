#!/usr/bin/env bash
# -6 --capture beside a DHCPv6 client that holds port 546: the SOLICIT and RS go out as hand-built frames (read back
# by tshark's dissector, checksums included), the ADVERTISEs and advertisements come off the packet socket, and the
# plain sockets are refused with the reason; a router heard only on a VLAN is silent. Runs on a lab of its own:
# lab.sh run --ipv6 --rogue6.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# The holder: a socket on [::]:546 as a host's DHCPv6 client keeps one.
lab_bg client -- "$(command -v /usr/bin/python3 python3 | head -n 1)" -c 'import socket, time
s = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
s.bind(("::", 546))
time.sleep(60)'
port_546_held() { lab client -- grep -q ':0222 ' /proc/net/udp6; }
within 10 "port 546 held" port_546_held

run_probe_on client -6 --interface eth0 --wait 1 --no-log
expect_status 3 "port 546 held"
grep -q "DHCPv6 port 546 on interface eth0: cannot bind the socket: .*another DHCPv6 client holds port 546" "$WORK/err" \
    || fail "the refusal does not say why: $(cat "$WORK/err")"

start_wire client eth0
run_probe_on client -6 --capture --interface eth0 --expect "$SERVER6_DUID" --expect-router "$SERVER_LL6" --wait 1.5 \
    --no-log --format json
stop_wire
expect_status 2 "the rogues through the capture"
[ "$(json_of '[.[] | select(.type == "dhcpv6_reply" and .answers)] | map(.server_duid.hex) | sort | join(",")')" \
  = "$(printf '%s\n' "$SERVER6_DUID" "$ROGUE6_DUID" | sort | paste -sd,)" ] || fail "ADVERTISEs: $(cat "$WORK/out")"
[ "$(json_of '[.[] | select(.type == "router_advert" and .valid)] | map(.source) | unique | length')" = 2 ] \
    || fail "advertisements: $(cat "$WORK/out")"
jq -e -s --arg duid "$ROGUE6_DUID" '.[-1].ipv6.verdict.unexpected_servers == [$duid]' "$WORK/out" >/dev/null \
    || fail "summary: $(tail -n 1 "$WORK/out")"
# The frames as tshark reads them: Ethernet group addresses, the link-local source, hop limits, the sums.
wire_fields 'dhcpv6.msgtype == 1' eth.src eth.dst ipv6.src ipv6.dst ipv6.hlim udp.srcport udp.dstport \
    udp.checksum.status dhcpv6.duidll.link_layer_addr >"$WORK/solicits"
grep -qxF "$CLIENT_MAC|33:33:00:01:00:02|$CLIENT_LL6|ff02::1:2|1|546|547|1|$CLIENT_MAC" "$WORK/solicits" \
    || { cat "$WORK/solicits" >&2; fail "the captured SOLICIT frame"; }
tshark -r "$WIRE" -Y "icmpv6.type == 133 and eth.src == $CLIENT_MAC" -T fields \
    -e eth.dst -e ipv6.src -e ipv6.hlim -e icmpv6.checksum.status -e icmpv6.opt.linkaddr 2>/dev/null >"$WORK/rs"
grep -qxF "33:33:00:00:00:02	$CLIENT_LL6	255	1	$CLIENT_MAC" "$WORK/rs" || { cat "$WORK/rs" >&2; fail "the RS frame"; }
# A named router that advertises on VLAN 10 alone (tagged frames from the server host, from a link-local address
# that exists only there) is silent on the untagged link the capture judges; its frames are counted apart.
tagged=fe80::10:10
lab_bg server -- "$(command -v /usr/bin/python3 python3 | head -n 1)" -c 'import socket, struct, sys, time
src, dst = socket.inet_pton(socket.AF_INET6, sys.argv[1]), socket.inet_pton(socket.AF_INET6, "ff02::1")
ra = bytearray([134, 0, 0, 0, 64, 0, 7, 8]) + bytes(8)  # hop limit 64, lifetime 1800 s
total = sum(struct.unpack("!28H", src + dst + struct.pack("!I3xB", len(ra), 58) + ra))
while total > 0xFFFF: total = (total & 0xFFFF) + (total >> 16)
ra[2:4] = struct.pack("!H", ~total & 0xFFFF)
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind(("eth0", 0))
frame = bytes.fromhex("333300000001") + s.getsockname()[4] + struct.pack("!HHHIHBB", 0x8100, 10, 0x86DD, 6 << 28,
                                                                         len(ra), 58, 255) + src + dst + ra
for _ in range(30): s.send(frame); time.sleep(0.1)' "$tagged"
run_probe_on client -6 --capture --interface eth0 --expect-router "$SERVER_LL6,$tagged" --wait 2 --no-log --format json
wait $!
[ "$(json_of '.[-1].ipv6 | "\(.verdict.silent_routers | join(",")) \(.other_vlan > 0)"')" = "$tagged true" ] \
    || fail "the router on VLAN 10: $(tail -n 1 "$WORK/out")"
pass "-6 --capture beside a holder of port 546: frames as tshark reads them, ADVERTISEs and advertisements caught; \
a router on VLAN 10 alone is silent"

#!/usr/bin/env bash
# -6 --capture judges the untagged link alone: a router named with --expect-router that advertises only on VLAN 10
# (tagged on the wire from the server host) is silent here, and its advertisements are counted as another
# link's. Runs on a lab of its own: lab.sh run --ipv6.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# The attacker's plan: X advertises on VLAN 10 alone, from a link-local address that exists there only; the frames
# are built whole (tag, IPv6, ICMPv6 and its sum) and sent through a packet socket on the server host.
tagged=fe80::10:10
lab server -- "$(command -v /usr/bin/python3 python3 | head -n 1)" -c 'import socket, struct, sys, time
source = socket.inet_pton(socket.AF_INET6, sys.argv[1])
group = socket.inet_pton(socket.AF_INET6, "ff02::1")
# Router Advertisement: hop limit 64, no flags, lifetime 1800 s, no options.
advert = bytearray([134, 0, 0, 0, 64, 0, 0x07, 0x08]) + bytes(8)
pseudo = source + group + struct.pack("!I3xB", len(advert), 58) + advert
total = sum(struct.unpack("!%dH" % (len(pseudo) // 2), pseudo))
while total > 0xFFFF:
    total = (total & 0xFFFF) + (total >> 16)
advert[2:4] = struct.pack("!H", ~total & 0xFFFF)
ip = struct.pack("!IHBB", 6 << 28, len(advert), 58, 255) + source + group
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind(("eth0", 0))
own = s.getsockname()[4]
frame = bytes.fromhex("333300000001") + own + struct.pack("!HHH", 0x8100, 10, 0x86DD) + ip + bytes(advert)
for _ in range(40):
    s.send(frame)
    time.sleep(0.1)' "$tagged" &
forger=$!
trap 'set +e; kill $forger 2>/dev/null; wait $forger 2>/dev/null; rm -rf "$WORK"; true' EXIT

run_probe_on client -6 --capture --interface eth0 --expect-router "$SERVER_LL6,$tagged" --wait 2 --no-log --format json
expect_status 2 "a named router heard only on VLAN 10"
[ "$(json_of '.[-1].ipv6.verdict.silent_routers | join(",")')" = "$tagged" ] \
    || fail "the tagged router is not silent: $(tail -n 1 "$WORK/out")"
[ "$(json_of '.[-1].ipv6.other_vlan')" -gt 0 ] || fail "no tagged frame counted: $(tail -n 1 "$WORK/out")"
[ "$(json_of "[.[] | select(.type == \"router_advert\" and .source == \"$tagged\")] | length")" = 0 ] \
    || fail "a tagged advertisement was reported for the untagged link"
pass "the router on VLAN 10 is silent on the untagged link; $(json_of '.[-1].ipv6.other_vlan') tagged frames counted apart"

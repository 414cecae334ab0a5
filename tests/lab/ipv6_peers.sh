#!/usr/bin/env bash
# IPv6 peers as real clients meet them: rdisc6's router solicitation gets the LAN's RA from dnsmasq and the rogue's
# from radvd; dhclient -6's SOLICIT gets ADVERTISEs from the LAN's dnsmasq, the rogue dnsmasq and, through dhcrelay -6,
# the upstream dnsmasq. Read by tshark from the client's wire. Lab: --ipv6 --rogue6 --relay6.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/lab_lib.sh"
[ "${ROGUE6:-}" = yes ] && [ "${RELAY6:-}" = yes ] || fail "this test needs a lab started with --ipv6 --rogue6 --relay6"

start_wire client eth0
# dhclient -6 with the lab's script, which changes nothing, and its files here, not in /var/lib/dhcp.
printf 'request dhcp6.name-servers, dhcp6.domain-search;\n' >"$WORK/dhclient6.conf"
lab_bg client -- dhclient -6 -1 -d -v -cf "$WORK/dhclient6.conf" -sf "$LAB_HOME/dhclient_script.sh" \
    -lf "$WORK/dhclient6.leases" -pf "$WORK/dhclient6.pid" eth0 </dev/null >"$WORK/dhclient6.log" 2>&1
dhclient6=$!
lab client -- rdisc6 -m -n -r 1 -w 1500 eth0 >"$WORK/rdisc6" \
    || { cat "$WORK/rdisc6" >&2; fail "rdisc6 heard no router"; }
leased() { grep -q iaaddr "$WORK/dhclient6.leases" 2>/dev/null; }
for _ in $(seq 300); do leased && break; sleep 0.05; done
leased || { cat "$WORK/dhclient6.log" >&2; fail "dhclient -6 got no lease"; }
kill "$dhclient6" 2>/dev/null || true
wait "$dhclient6" || true
# Three servers' ADVERTISEs and both routers' advertisements.
wire_wait 3 'dhcpv6.msgtype == 2'
for router in "$SERVER_LL6" "$ROGUE6_LL6"; do wire_wait 1 "icmpv6.type == 134 and ipv6.src == $router"; done
stop_wire

# Router advertisements: source, its link-layer option, hop limit 255, prefix, RDNSS, DNSSL.
wire_fields 'icmpv6.type == 134' ipv6.src icmpv6.opt.linkaddr ipv6.hlim icmpv6.opt.prefix icmpv6.opt.rdnss \
    icmpv6.opt.dnssl | sort -u >"$WORK/ras"
for expected in "$SERVER_LL6|$SERVER_MAC|255|${LAN6_PREFIX%/64}|$SERVER6_DNS|$SERVER6_DOMAIN" \
    "$ROGUE6_LL6|$ROGUE6_MAC|255|${RADVD_PREFIX%/64}|$RADVD_RDNSS|$RADVD_DNSSL"; do
    grep -qxF "$expected" "$WORK/ras" || { cat "$WORK/ras" >&2; fail "no router advertisement $expected"; }
done
for router in "$SERVER_LL6" "$ROGUE6_LL6"; do
    grep -q "from $router\$" "$WORK/rdisc6" || { cat "$WORK/rdisc6" >&2; fail "rdisc6 did not hear $router"; }
done

# ADVERTISEs: source and Ethernet address, server DUID, an address from the server's own range, its DNS server.
wire_fields 'dhcpv6.msgtype == 2' ipv6.src eth.src dhcpv6.duid.bytes dhcpv6.iaaddr.ip dhcpv6.dns_server \
    ip.checksum.status udp.checksum.status >"$WORK/advertises"
advertised() {  # advertised SOURCE MAC DUID PREFIX DNS
    awk -F'|' -v s="$1" -v m="$2" -v d="$3" -v p="$4" -v n="$5" '$1 == s && $2 == m && $5 == n && $7 == 1 &&
        index($3, "," d) > 0 && index($4, p) == 1 { found = 1 } END { exit !found }' "$WORK/advertises" \
        || { cat "$WORK/advertises" >&2; fail "no ADVERTISE from $1 ($3) of an address in $4"; }
}
advertised "$SERVER_LL6" "$SERVER_MAC" "$SERVER6_DUID" "${SERVER6_RANGE%%::*}::" "$SERVER6_DNS"
advertised "$ROGUE6_LL6" "$ROGUE6_MAC" "$ROGUE6_DUID" "${ROGUE6_RANGE%%::*}::" "$ROGUE6_DNS"
advertised "$RELAY_LL6" "$RELAY_MAC" "$UPSTREAM6_DUID" "${UPSTREAM6_RANGE%%::*}::" "$UPSTREAM6_DNS"
[ "$(wc -l <"$WORK/advertises")" -eq 3 ] || { cat "$WORK/advertises" >&2; fail "not three ADVERTISEs"; }
grep -q "Relaying Solicit from $CLIENT_LL6 port 546 going up" "$RELAY6_LOG" || fail "dhcrelay -6 did not relay up"
grep -q "Relaying Advertise to $CLIENT_LL6 port 546 down" "$RELAY6_LOG" || fail "dhcrelay -6 did not relay down"
grep -q "DHCPADVERTISE(eth0) ${UPSTREAM6_RANGE%%::*}::" "$UPSTREAM6_LOG" \
    || fail "the upstream did not log its ADVERTISE"
pass "RAs from dnsmasq and radvd; ADVERTISEs from dnsmasq, the rogue and through dhcrelay -6"

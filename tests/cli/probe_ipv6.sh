#!/usr/bin/env bash
# -4 -6 on the LAN's dnsmasq (DHCPv6 and RAs), a rogue dnsmasq, radvd and a server behind dhcrelay -6: every
# responder reported by DUID or Ethernet address, the SOLICIT and RS read back by tshark's dissector, verdicts
# CRITICAL with the rogues and OK once they stop, a foreign transaction id counted, not reported as ours.
# Runs on a lab of its own: lab.sh run --ipv6 --rogue6 --relay6.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
EXPECT="$SERVER_IP,$UPSTREAM_IP,$SERVER6_DUID,$UPSTREAM6_DUID"

# Both families in one round, text; the wire as tshark reads it.
start_wire client eth0
run_probe_on client -4 -6 --interface eth0 --expect "$EXPECT" --expect-router "$SERVER_LL6" --prefix-delegation \
    --wait 2 --no-log
stop_wire
expect_status 2 "rogue DHCPv6 server and router"
has_line "Verdict 2: IPv4: every reply came from an expected server; IPv6: unexpected DHCPv6 server answered: $ROGUE6_DUID; unexpected router advertised: $ROGUE6_LL6" \
    "the verdict names both rogues"
for line in "DHCPv6 ADVERTISE from $SERVER_LL6 port 547 on eth0" "DHCPv6 ADVERTISE from $ROGUE6_LL6 port 547 on eth0" \
    "DHCPv6 ADVERTISE from $RELAY_LL6 port 547 on eth0" " Server DUID $ROGUE6_DUID (DUID-EN)" \
    "Router advertisement from $ROGUE6_LL6 on eth0" " Ethernet $ROGUE6_MAC" " Prefix ${RADVD_PREFIX%/64}/64 L A valid 86400 s preferred 14400 s" \
    " RDNSS $RADVD_RDNSS lifetime 10 s" " DNSSL $RADVD_DNSSL lifetime 10 s" " Router lifetime 1800 s, preference medium, flags M O" \
    " Flags unexpected-server" " Flags unexpected-router" " DNS $ROGUE6_DNS" " Domain $SERVER6_DOMAIN"; do
    has_line "$line" "report lines"
done
grep -q "^DHCPv6 server $UPSTREAM6_DUID expected: 1 answer (1 ADVERTISE, 0 REPLY) in 1 round from $RELAY_LL6 on eth0" \
    "$WORK/out" || fail "the relayed server's summary: $(grep "^DHCPv6 server" "$WORK/out")"
grep -Eq "^Router $SERVER_LL6 Ethernet $SERVER_MAC expected: [0-9]+ advertisements?, lifetime 1800 s" "$WORK/out" || fail "the LAN's router summary"
# The SOLICIT: from the client's link-local port 546 to ff02::1:2 port 547, hop limit 1, DUID-LL of its MAC, IA_NA and
# IA_PD, the option request for DNS servers and domains, no Rapid Commit. Checksums of frames the client itself sent
# are left to the veth's offload, so they are not read here.
wire_fields 'dhcpv6.msgtype == 1' ipv6.src udp.srcport ipv6.dst udp.dstport ipv6.hlim dhcpv6.duidll.link_layer_addr \
    dhcpv6.option.type dhcpv6.requested_option_code >"$WORK/solicits"
[ "$(wc -l <"$WORK/solicits")" = 1 ] || { cat "$WORK/solicits" >&2; fail "not one SOLICIT on the wire"; }
IFS='|' read -r src sport dst dport hops duid_mac options requested <"$WORK/solicits"
[ "$src $sport $dst $dport $hops $duid_mac" = "$CLIENT_LL6 546 ff02::1:2 547 1 $CLIENT_MAC" ] \
    || fail "SOLICIT addresses, hop limit or DUID: $(cat "$WORK/solicits")"
for option in 1 3 6 8 25; do [[ ",$options," == *",$option,"* ]] || fail "SOLICIT lacks option $option: $options"; done
[[ ",$options," != *",14,"* ]] || fail "the SOLICIT asks for Rapid Commit: $options"
[[ ",$requested," == *",23,"* && ",$requested," == *",24,"* ]] || fail "option request: $requested"
# The RS: to ff02::2 with hop limit 255 and the client's link-layer address.
wire_fields 'icmpv6.type == 133 and eth.src == '"$CLIENT_MAC" ipv6.src ipv6.dst ipv6.hlim icmpv6.code \
    icmpv6.opt.linkaddr >"$WORK/solicitations"
grep -qxF "$CLIENT_LL6|ff02::2|255|0|$CLIENT_MAC" "$WORK/solicitations" \
    || { cat "$WORK/solicitations" >&2; fail "no router solicitation with hop limit 255 and the client's address"; }

# JSON: one object per ADVERTISE and advertisement, the summary's verdict the graver of the two families.
run_probe_on client -4 -6 --interface eth0 --expect "$EXPECT" --expect-router "$SERVER_MAC" --format json \
    --wait 1.5 --no-log
expect_status 2 "rogues, JSON"
jq -e . "$WORK/out" >/dev/null || fail "stdout is not JSON Lines"
[ "$(json_of '[.[] | select(.type == "dhcpv6_reply" and .answers)] | length')" = 3 ] || fail "not three answers"
rogue=$(json_of 'map(select(.type == "dhcpv6_reply" and .server_duid.hex == "'"$ROGUE6_DUID"'")) | first')
jq -e --arg src "$ROGUE6_LL6" --arg dns "$ROGUE6_DNS" '.source.address == $src and .source.port == 547
    and .message_type == "ADVERTISE" and .expected == false and .dns_servers == [$dns]
    and .server_duid.type == "DUID-EN" and (.ia_na[0].addresses[0].address | startswith("fd00:66::"))
    and .statuses[0].name == "Success" and .flags == ["unexpected-server"]' <<<"$rogue" >/dev/null \
    || fail "the rogue's ADVERTISE: $rogue"
radvd=$(json_of 'map(select(.type == "router_advert" and .source == "'"$ROGUE6_LL6"'")) | first')
jq -e --arg mac "$ROGUE6_MAC" '.valid and .ethernet == $mac and .preference == "high" and .expected == false
    and .prefixes[0].autonomous and .rdnss[0].servers == ["'"$RADVD_RDNSS"'"]' <<<"$radvd" >/dev/null \
    || fail "radvd's advertisement: $radvd"
summary=$(json_of '.[-1]')
jq -e --arg duid "$ROGUE6_DUID" --arg router "$ROGUE6_LL6" '.type == "summary" and .verdict.status == 2
    and .verdict.ipv4_status == 0 and .ipv6.verdict.status == 2 and .ipv6.verdict.unexpected_servers == [$duid]
    and .ipv6.verdict.unexpected_routers == [$router] and (.ipv6.servers | length) == 3' <<<"$summary" >/dev/null \
    || fail "the summary: $summary"

# A stranger's ADVERTISE (another exchange's transaction id, our client identifier) is counted, not tallied.
probe_bg client -6 --interface eth0 --wait 5 --no-log >"$WORK/out" 2>"$WORK/err"
# The stranger's ADVERTISE goes out once the probe's SOLICIT has been answered.
within 10 "the first ADVERTISE reported" grep -q "^DHCPv6 ADVERTISE from" "$WORK/out"
client_duid=00030001${CLIENT_MAC//:/}
advertise=02abcdef0001000a${client_duid}0002000e${SERVER6_DUID}
# Debian's own python3: a version manager's shim takes seconds to start.
lab server -- "$(command -v /usr/bin/python3 python3 | head -n 1)" -c 'import socket, sys
s = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
s.sendto(bytes.fromhex(sys.argv[1]), (sys.argv[2] + "%eth0", 546))' "$advertise" "$CLIENT_LL6" \
    || fail "cannot send the stranger's ADVERTISE"
wait "$PROBE_PID" || true
grep -q "^Verdict 0: IPv6: something answered" "$WORK/out" || { cat "$WORK/out" >&2; fail "the stranger's run"; }
grep -q "^ Transaction id is not this round's" "$WORK/out" || fail "the stranger's ADVERTISE is not marked"
grep -q "^IPv6: 1 answer with another transaction id or client" "$WORK/out" \
    || fail "the stranger's ADVERTISE is not counted: $(grep '^IPv6' "$WORK/out")"
grep -q "^DHCPv6 server $SERVER6_DUID: 1 answer " "$WORK/out" || fail "the stranger's ADVERTISE was tallied"

# --monitor: the rogues found, then stopped while it runs; each event once, with family ipv6 and the metrics' records.
lab_bg client -- sh -c 'cd "$1" && shift && exec timeout -s INT 7 "$@"' - "$RUN" "$ORVANE_BIN/orvane-probe" -6 \
    --interface eth0 --monitor --interval 1 --no-log --expect "$SERVER6_DUID,$UPSTREAM6_DUID" \
    --expect-router "$SERVER_LL6" --metrics-file "$WORK/probe.prom" >"$WORK/out" 2>"$WORK/err"
monitor=$!
within 10 "a round with the rogues" grep -q "Verdict 2" "$WORK/out"
rogue_recorded() { grep -q 'family="ipv6".*server="'"$ROGUE6_DUID"'"' "$WORK/probe.prom" 2>/dev/null; }
within 5 "an ipv6 record of the rogue in the metrics file" rogue_recorded
# The rogues stop: OK, with --quick as soon as everything named has answered.
kill "$(cat "$LAB_DIR/rogue6.pid")" "$(cat "$RADVD_PID_FILE")"
wait "$monitor" || true
for event in "unexpected-server server=$ROGUE6_DUID family=ipv6 interface=eth0" \
    "unexpected-server server=$ROGUE6_LL6 family=ipv6 interface=eth0" \
    "unexpected-server-gone server=$ROGUE6_DUID family=ipv6" "unexpected-server-gone server=$ROGUE6_LL6 family=ipv6"; do
    [ "$(grep -c "^orvane-probe: event $event " "$WORK/err")" = 1 ] || { cat "$WORK/err" >&2; fail "not one event $event"; }
done
grep -q "(IPv6): .*Verdict 2: IPv6: unexpected DHCPv6 server answered: $ROGUE6_DUID" "$WORK/out" || fail "no round with the rogues"
grep -q "(IPv6): .*Verdict 0: IPv6: every answer" "$WORK/out" || { cat "$WORK/out" >&2; fail "no round without them"; }
run_probe_on client -4 -6 --interface eth0 --expect "$EXPECT" --expect-router "$SERVER_LL6" --wait 1.5 --no-log
expect_status 0 "rogues gone"
has_line "Verdict 0: IPv4: every reply came from an expected server; IPv6: every answer and advertisement came from an expected server or router" \
    "rogues gone"
run_probe_on client -4 -6 --interface eth0 --expect "$EXPECT" --expect-router "$SERVER_LL6" --quick --no-log
expect_status 0 "rogues gone, --quick"
[ "$TOOK_MS" -lt 4000 ] || fail "--quick took $TOOK_MS ms"

# An expected router that stays silent is CRITICAL, as a silent server is; -6 alone as a plugin.
run_probe_on client -6 --interface eth0 --expect "$SERVER6_DUID,$UPSTREAM6_DUID" --expect-router "$SERVER_LL6,fe80::dead" --wait 1 \
    --no-log --format nagios
expect_status 2 "a silent router"
head -n 1 "$WORK/out" | grep -q "^DHCP CRITICAL - IPv6: expected router silent: fe80::dead | servers6=2;;;; routers6=1;;;;" \
    || fail "plugin line: $(head -n 1 "$WORK/out")"
pass "rogue DHCPv6 server and router CRITICAL, OK once gone; SOLICIT and RS as tshark reads them; foreign id counted"

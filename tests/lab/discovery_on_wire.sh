#!/usr/bin/env bash
# The DISCOVER as it leaves the client host, twice, and real servers (one direct, one behind a relay) offering to it.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/lab_lib.sh"

mac=02:00:5e:10:20:30
start_capture client eth0 67 2 8
lab client -- "$ORVANE_BIN/lab_exchange" send "$mac" 2 3 >"$WORK/out"
wait_capture

# What left the wire is what the program filled, from port 67 to the limited broadcast, 548 bytes, twice alike.
[ "$(wc -l <"$WORK/capture")" -eq 2 ] || fail "expected 2 DISCOVERs on the wire, saw $(wc -l <"$WORK/capture")"
mapfile -t sent < <(awk '$1 == "request" {print $3}' "$WORK/out")
[ "${#sent[@]}" -eq 2 ] || fail "the sender did not report two requests"
grep -q '^request 548 ' "$WORK/out" || fail "send did not report 548 bytes"
n=0
while read -r src sport dst dport length payload; do
    [ "$src $sport $dst $dport $length" = "$CLIENT_IP 67 255.255.255.255 67 548" ] \
        || fail "datagram $n: $src:$sport -> $dst:$dport, $length bytes"
    [ "$payload" = "${sent[$n]}" ] || fail "datagram $n differs from the request buffer"
    n=$((n + 1))
done <"$WORK/capture"
[ "${sent[0]}" = "${sent[1]}" ] || fail "two requests differ"
expected_head="010106009a020000000080000000000000000000000000000000000002005e102030"
[ "${sent[0]:0:${#expected_head}}" = "$expected_head" ] || fail "request head is ${sent[0]:0:68}"

# Each server offers: the direct one from its own address, the upstream one through the relay (giaddr set).
offer_from() {  # offer_from SOURCE_IP GIADDR_HEX
    awk -v src="$1:67" -v gi="$2" '$1 == "reply" && $2 == src {
        p = $4
        if (substr(p, 1, 2) == "02" && substr(p, 49, 8) == gi && substr(p, 473, 8) == "63825363" \
            && index(substr(p, 481), "350102") > 0) found = 1
    } END { exit !found }' "$WORK/out"
}
offer_from "$SERVER_IP" 00000000 || fail "no OFFER from the server on the link ($SERVER_IP)"
offer_from "$RELAY_IP" c0a84d02 || fail "no OFFER relayed by $RELAY_IP"
grep -q "DHCPDISCOVER(eth0) $mac" "$LAB_DIR/server.log" || fail "the server did not log the DISCOVER"
grep -q "DHCPOFFER" "$LAB_DIR/upstream.log" || fail "the upstream server did not log an OFFER"
pass "two identical 548-byte DISCOVERs on the wire; offers from $SERVER_IP and through $RELAY_IP"

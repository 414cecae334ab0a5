#!/usr/bin/env bash
# A rogue on the link (a third dnsmasq whose server identifier is not its address, with an option no table
# names): the verdict, every flag in text and JSON, the JSON read back with jq and held against the wire.
# Then the server behind the relay made to offer outside the relay's network, and a NAK.
# Runs on a lab of its own: lab.sh run --rogue.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
ALIAS=192.168.77.33
replace_dnsmasq rogue rogue --dhcp-range="$ROGUE_RANGE,255.255.255.0,1h" \
    --dhcp-option=54,$ALIAS --dhcp-option=224,01:02:03

# JSON: one object per datagram on the wire, each field as the wire has it, then the summary.
start_capture client "$CLIENT_IF" 68 3 8
run_probe_on client --format json --expect "$SERVER_IP,$UPSTREAM_IP" --wait 1.5
wait_capture
expect_status 2 "a rogue answered"
jq -e . "$WORK/out" >/dev/null || fail "stdout is not JSON Lines"
[ "$(json_of '[.[] | select(.type == "reply")] | length')" = "$(wc -l <"$WORK/capture")" ] || fail "replies and wire differ"
while read -r src sport dst dport length payload; do
    reply=$(json_of "map(select(.type == \"reply\" and .source.address == \"$src\")) | first")
    [ "$(jq -r '[.source.port, .length, .offered_address, .bootp.client_hardware_address, .message_type] | join(" ")' <<<"$reply")" \
      = "$sport $length $(octets "$payload" 16) $CLIENT_MAC OFFER" ] || fail "reply from $src differs from the wire: $reply"
done <"$WORK/capture"
rogue=$(json_of 'map(select(.source.address == "'"$ROGUE_IP"'")) | first')
jq -e --arg alias "$ALIAS" '.server_identifier == $alias and .expected == false
    and .flags.identifier_differs_from_source and .flags.not_offer == false
    and .options.option_224 == "010203"
    and (.options.server_identifier | if type == "array" then last else . end) == $alias
    and .options.subnet_mask == "255.255.255.0" and .options.lease_time == 3600
    and (.options.router | type) == "array"' <<<"$rogue" >/dev/null || fail "the rogue's reply: $rogue"
upstream=$(json_of 'map(select(.source.address == "'"$RELAY_IP"'")) | first')
jq -e --arg up "$UPSTREAM_IP" --arg relay "$RELAY_IP" '.server_identifier == $up and .relay == $relay
    and .expected and .flags.identifier_differs_from_source == false
    and .flags.offer_in_relay_network == true' <<<"$upstream" >/dev/null || fail "the relayed reply: $upstream"
direct=$(json_of 'map(select(.source.address == "'"$SERVER_IP"'")) | first')
jq -e '.flags.offer_in_relay_network == null and .relay == null and .expected' <<<"$direct" >/dev/null \
    || fail "the direct reply: $direct"
[ "$(json_of '[.[] | select(.type == "reply") | .flags.several_servers_on_link] | map(select(.)) | length')" = 2 ] \
    || fail "all but the first of three offers on the link carry several_servers_on_link"
[ "$(json_of '.[-1] | [.type, .verdict.status, (.verdict.unexpected | join(",")), (.servers | length)] | join(" ")')" \
  = "summary 2 $ALIAS 3" ] || fail "summary: $(tail -n 1 "$WORK/out")"

# Text: the rogue's block names it by its identifier and says why it stands out.
run_probe_on client --expect "$SERVER_IP,$UPSTREAM_IP" --wait 1
expect_status 2 "a rogue answered, text"
awk -v rogue="Packet from $ALIAS " '$0 == rogue {inside = 1} inside {print} /^-+$/ {inside = 0}' "$WORK/out" >"$WORK/block"
grep -qx " Source $ROGUE_IP:67" "$WORK/block" || fail "the rogue's block lacks its source: $(cat "$WORK/block")"
grep -q "^ Flags unexpected-server identifier-differs-from-source" "$WORK/block" || fail "rogue flags: $(cat "$WORK/block")"
has_line "Verdict 2: unexpected server answered: $ALIAS" "rogue verdict"
[ "$(grep -c "^Server $ALIAS unexpected: 1 reply, .* through $CLIENT_IF direct from $ROGUE_IP\$" "$WORK/out")" = 1 ] \
    || fail "the rogue's summary line: $(grep "^Server $ALIAS" "$WORK/out")"

# Named by its source address, the rogue is authorised; its identifier differs from that address, a
# concern: WARNING (1). --quick ends once all three answered.
run_probe_on client --expect "$SERVER_IP,$UPSTREAM_IP,$ROGUE_IP" --quick
expect_status 1 "rogue expected by its source address"
has_line "Verdict 1: every expected server answered; servers answering later were not waited for (--quick); replies carry concerns: $ALIAS identifier-differs-from-source" \
    "rogue expected by its source address"

# The upstream server made to offer from a network that is not the relay's.
replace_dnsmasq upstream upstream --dhcp-range=10.88.0.100,10.88.0.150,255.255.255.0,1h \
    --shared-network="$RELAY_IP,10.88.0.0"
run_probe_on client --expect "$SERVER_IP,$UPSTREAM_IP,$ROGUE_IP" --quick --format json
expect_status 1 "outside offer"
outside=$(json_of 'map(select(.type == "reply" and .relay != null)) | first')
jq -e '.flags.offer_in_relay_network == false and (.offered_address | startswith("10.88.0."))' <<<"$outside" >/dev/null \
    || fail "the outside offer: $outside"
run_probe_on client --expect "$SERVER_IP,$UPSTREAM_IP,$ROGUE_IP" --quick
grep -q '^ Flags .*offer-outside-relay-network' "$WORK/out" || fail "no block says offer-outside-relay-network"
! grep -q 'offer-inside-relay-network' "$WORK/out" || fail "the healthy relayed case is flagged"

# A NAK (no server sends one to a DISCOVER, so the server host sends one by hand, with the probe's
# transaction id as a server would): flagged not-offer.
server_hex=$(printf '%02x' ${SERVER_IP//./ })
nak=$(printf '020106009a020000%s' "$(printf '00%.0s' $(seq 8 235))")638253633501063604${server_hex}ff
start_probe 3
wait_blocks 3 3
lab server -- "$ORVANE_BIN/lab_send" "$CLIENT_IP" 68 "$nak" || fail "cannot send the NAK"
wait_probe 1  # a NAK answering a DISCOVER is a concern: WARNING
grep -qx ' Flags not-offer' "$WORK/err" || { cat "$WORK/err" >&2; fail "the NAK is not flagged not-offer"; }
pass "rogue $ALIAS from $ROGUE_IP: status 2, expected with a concern 1, flags in text and JSON, JSON as on the wire; outside offer; NAK"

#!/usr/bin/env bash
# Datagrams that are not offers, sent to the client's port 68 from the server host: a 548-byte garbage reply,
# a 600-byte one (a failed receive: counted, reported, not logged), an empty one and a short one.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

fill() { local out="" i; for ((i = 0; i < $1; i++)); do out+=$2; done; printf '%s' "$out"; }
put() { local h=$1 offset=$2 bytes=$3; printf '%s' "${h:0:$((offset * 2))}$bytes${h:$((offset * 2 + ${#bytes}))}"; }

# All 0xee but option 54 = 1.2.3.4 first: then 0xee lengths carry the walk past index 300.
garbage=$(put "$(fill 548 ee)" 240 360401020304)
# Zero yiaddr and giaddr, option 54 = 5.6.7.8, 52 bytes too many.
oversized=$(put "$(put "$(fill 600 ee)" 16 "$(fill 12 00)")" 240 3604050607080aff)
short=$(fill 30 7f)

start_capture client "$CLIENT_IF" 68 6 20
start_probe 12
wait_blocks 2 6  # the two offers first, so what follows meets a known buffer
n=2
for datagram in "$garbage" "$oversized" "" "$short"; do
    lab server -- "$ORVANE_BIN/lab_send" "$CLIENT_IP" 68 "$datagram" || fail "cannot send datagram $((n + 1))"
    n=$((n + 1))
    wait_blocks "$n" 5
done
signal_probe INT  # Ctrl-C ends the probe as cleanly as the wait does
wait_probe
wait_capture

tail -n +$(( $(grep -n -x -- '-------------------------' "$WORK/out" | sed -n 2p | cut -d: -f1) + 1 )) "$WORK/out" \
    | sed 's/$/|/' >"$WORK/odd"
expected="Packet from 1.2.3.4 |
 Relayed by 238.238.238.238 |
 Offered IP 238.238.238.238 |
-------------------------|
Packet from 5.6.7.8 |
-------------------------|
Packet from 5.6.7.8 |
-------------------------|
Packet from 5.6.7.8 |
 Relayed by 127.127.127.127 |
 Offered IP 127.127.127.127 |
-------------------------|"
[ "$(cat "$WORK/odd")" = "$expected" ] || { printf 'shown:\n%s\n' "$(cat "$WORK/odd")" >&2; fail "odd datagrams reported wrongly"; }
grep -qx 'Packets Recieved: 6' "$WORK/err" || fail "stderr lacks the received count 6"
[ "$(wc -l <"$WORK/capture")" -eq 6 ] || fail "expected 6 datagrams on the wire, saw $(wc -l <"$WORK/capture")"
[ "$(file_hex "$RUN/LogFile")" = "$(expected_log "$WORK/capture")" ] || fail "LogFile is not every delivered datagram, translated"
pass "garbage, oversized, empty and short datagrams counted and reported; the oversized one not logged; ended by SIGINT"

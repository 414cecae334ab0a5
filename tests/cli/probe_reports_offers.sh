#!/usr/bin/env bash
# orvane-probe on the client host against real servers: one block for the server on the link, one for the
# server behind the relay, and LogFile holding exactly the two offers as they came off the wire, translated.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# On a LAN whose servers ping first (PROBE_DEFAULT_WAIT set), the probe's default wait must suffice.
start_capture client "$CLIENT_IF" 68 2 8
if [ -n "${PROBE_DEFAULT_WAIT:-}" ]; then start_probe ""; else start_probe 3; fi
wait_capture
wait_probe

[ "$(wc -l <"$WORK/capture")" -eq 2 ] || fail "expected 2 offers on the wire, saw $(wc -l <"$WORK/capture")"
expected=""
while read -r src sport dst dport length payload; do
    offered=$(octets "$payload" 16)
    case $src in
        "$SERVER_IP") expected+="Packet from $SERVER_IP |"$'\n'" Offered IP $offered |"$'\n' ;;
        "$RELAY_IP") expected+="Packet from $UPSTREAM_IP |"$'\n'" Relayed by $RELAY_IP |"$'\n'" Offered IP $offered |"$'\n' ;;
        *) fail "an offer from $src, which is neither the server nor the relay" ;;
    esac
    expected+="-------------------------|"$'\n'
done <"$WORK/capture"
# Lines end in a space and the console's own line end, nothing else; '|' marks each end.
shown=$(sed 's/$/|/' "$WORK/out")
[ "$shown" = "${expected%$'\n'}" ] || { printf 'shown:\n%s\nexpected:\n%s\n' "$shown" "$expected" >&2; fail "report blocks differ"; }
[ "$(od -An -c "$WORK/out" | grep -c '\\r' || true)" -eq 0 ] || fail "stdout holds a carriage return"

[ -f "$RUN/LogFile" ] || fail "no LogFile in the probe's folder"
[ "$(file_hex "$RUN/LogFile")" = "$(expected_log "$WORK/capture")" ] || fail "LogFile is not the two offers, translated"
grep -qx 'Packets Sent: 1' "$WORK/err" || fail "stderr lacks the sent count"
grep -qx 'Packets Recieved: 2' "$WORK/err" || fail "stderr lacks the received count 2"
! grep -q 'Packets Recieved: 3' "$WORK/err" || fail "the receive broken off at the end was shown"
pass "blocks for $SERVER_IP and $UPSTREAM_IP via $RELAY_IP; LogFile $(stat -c %s "$RUN/LogFile") bytes as captured"

#!/usr/bin/env bash
# Capture mode beside a real DHCP client: with dhclient holding port 68 the plain probe still says so, while
# --capture binds no port and reports every offer, direct and relayed, each with its sender's Ethernet address;
# dhclient's lease and process stay as they were. It runs as nobody with cap_net_raw alone, holding no capability
# once its sockets are open. Frames spoilt in each way a capture can meet (lab_bad_frames, from the server host)
# and good offers for another host or client are counted by kind and never taken as replies. Lab: --dhclient.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
[ -n "${DHCLIENT_PID:-}" ] || fail "this test needs a lab started with --dhclient"
dhclient_snapshot

run_probe_on client --wait 1
expect_status 3 "the plain probe beside dhclient"
grep -q 'cannot bind UDP port 68: .*another program holds it' "$WORK/err" || fail "no port-held diagnosis: $(cat "$WORK/err")"

run_probe_on client --capture --interface eth0 --expect "$SERVER_IP,$UPSTREAM_IP" --wait 1.5 --format json
expect_status 0 "--capture beside dhclient"
[ "$(json_of "[.[] | select(.type == \"reply\") | \"\(.server_identifier) \(.relay) \(.ethernet.address) \(.vlan)\"] | sort | join(\",\")")" \
  = "$(printf '%s\n' "$SERVER_IP null $SERVER_MAC null" "$UPSTREAM_IP $RELAY_IP $RELAY_MAC null" | sort | paste -sd,)" ] \
    || fail "offers direct and relayed: $(cat "$WORK/out")"
[ "$(json_of '.[-1] | "\(.diagnostics) \(.kernel_drops) \(.not_dhcp)"')" = "null 0 0" ] || fail "summary: $(tail -1 "$WORK/out")"
cmp -s <(od -An -v -tx1 "$RUN/LogFile" | tr -d ' \n') <(printf '') && fail "the raw log stayed empty"
dhclient_untouched

# Rights: none at all refuses with the hint; cap_net_raw alone runs, and is dropped once the socket is open.
chmod 755 "$WORK" && chmod 777 "$RUN"
program=$WORK/orvane-probe
cp "$ORVANE_BIN/orvane-probe" "$program" && chmod 755 "$program"
as_nobody() {  # as_nobody [--bg] CAPS ARGS...
    local run=lab caps
    [ "$1" != --bg ] || { run=lab_bg; shift; }
    caps=$1
    shift
    "$run" client -- setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps="$caps" --ambient-caps="$caps" \
        sh -c 'cd "$1" && shift && exec "$@"' - "$RUN" "$program" "$@"
}
status=0
as_nobody -all --capture --interface eth0 --wait 1 >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" -eq 3 ] || fail "no right: status $status"
grep -q "cannot open a packet socket on interface eth0: Operation not permitted; --capture needs cap_net_raw" "$WORK/err" \
    || fail "no right: $(cat "$WORK/err")"
as_nobody --bg +net_raw --capture --interface eth0 --expect "$SERVER_IP,$UPSTREAM_IP" --wait 2 >"$WORK/out" 2>"$WORK/err"
pid=$!
within 10 "the capture's DISCOVER sent as nobody" grep -q "Packets Sent" "$WORK/err"
for field in CapInh CapPrm CapEff CapAmb; do
    value=$(awk -v f="$field:" '$1 == f {print $2}' "/proc/$pid/status")
    [ "$value" = 0000000000000000 ] || fail "$field is $value while capturing"
done
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { cat "$WORK/out" "$WORK/err" >&2; fail "cap_net_raw alone: status $status"; }
has_line "Verdict 0: every reply came from an expected server" "as nobody with cap_net_raw"

# Spoilt frames, a jumbo one among them (the link made able to carry it): each counted by its kind. A bridge that
# hands IPv4 to the host's netfilter drops bad IPv4 headers itself; a plain switch forwards them, as here.
lab switch -- sysctl -qw net.bridge.bridge-nf-call-iptables=0
for link in "server eth0" "switch p-server" "switch p-client" "switch br0" "client eth0"; do
    set -- $link
    lab "$1" -- ip link set "$2" mtu 9000
done
probe_bg client --capture --interface eth0 --expect "$SERVER_IP,$UPSTREAM_IP" --wait 4 --format json \
    >"$WORK/out" 2>"$WORK/err"
within 4 "a reply through the capture" grep -q '"type":"reply"' "$WORK/out"
lab server -- "$ORVANE_BIN/lab_bad_frames" eth0 "$CLIENT_MAC" "$SERVER_IP" "$CLIENT_IP" ip-options bad-udp-checksum \
    bad-ipv4-checksum bad-ipv4-length bad-udp-length fragment stacked-tags jumbo not-dhcp request other-station \
    other-address other-client other-transaction >"$WORK/sent" \
    || fail "lab_bad_frames: $(cat "$WORK/sent")"
status=0
wait "$PROBE_PID" || status=$?
[ "$status" -eq 0 ] || { cat "$WORK/err" >&2; fail "the probe among spoilt frames: status $status"; }
[ "$(json_of '.[-1].frames | to_entries | map(select(.value > 0) | "\(.key)=\(.value)") | join(" ")')" \
  = "oversized=1 stacked-tags=1 bad-ipv4-checksum=1 bad-ipv4-length=1 fragment=1 bad-udp-length=1 bad-udp-checksum=1 ip-options=1 requests-seen=1 other-station=1 other-address=1 other-client=1 other-transaction=1" ] \
    || fail "frame counts: $(json_of '.[-1].frames')"
[ "$(json_of '.[-1] | "\(.not_dhcp) \(.kernel_drops) \(.verdict.status)"')" = "1 0 0" ] \
    || fail "the summary: $(tail -1 "$WORK/out")"
[ "$(json_of "[.[] | select(.type == \"reply\" and .source.address == \"$SERVER_IP\" and .message_type == \"OFFER\")] | length")" = 2 ] \
    || fail "the server's offer and the frame with IP options are both replies: $(cat "$WORK/out")"
dhclient_untouched
pass "port 68 held by dhclient: plain probe says so; --capture hears both offers as nobody with cap_net_raw; spoilt frames counted"

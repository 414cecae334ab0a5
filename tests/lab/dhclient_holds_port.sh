#!/usr/bin/env bash
# The client host's own DHCP client: dhclient holds UDP port 68 with a lease from the LAN, keeps both while other
# DHCP traffic crosses the client's wire, and has not touched the machine's /etc/resolv.conf. Lab: --dhclient.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/lab_lib.sh"
[ -n "${DHCLIENT_PID:-}" ] || fail "this test needs a lab started with --dhclient"

lab client -- ss -Hlunp 'sport = :68' >"$WORK/ss"
grep -q "users:((\"dhclient\",pid=$DHCLIENT_PID," "$WORK/ss" \
    || { cat "$WORK/ss" >&2; fail "dhclient does not hold port 68"; }
out=$(lab client -- "$ORVANE_BIN/lab_exchange" hold-check 68 || true)
[[ $out == "first bind failed:"* ]] || fail "port 68 could still be bound beside dhclient: $out"

# The lease: an address of the server that gave it, and that server's log agrees.
in_range() {  # in_range ADDRESS FIRST,LAST (same /24)
    local last=${1##*.} first=${2%,*} end=${2#*,}
    [ "${1%.*}" = "${first%.*}" ] && [ "$last" -ge "${first##*.}" ] && [ "$last" -le "${end##*.}" ]
}
case $DHCLIENT_SERVER in
    "$SERVER_IP") range=$SERVER_RANGE log=$LAB_DIR/server.log ;;
    "$UPSTREAM_IP") range=$UPSTREAM_RANGE log=$LAB_DIR/upstream.log ;;
    *) fail "the lease is from $DHCLIENT_SERVER, no server of the lab" ;;
esac
in_range "$DHCLIENT_IP" "$range" || fail "leased $DHCLIENT_IP is not in $range"
grep -q "DHCPACK(eth0) $DHCLIENT_IP $CLIENT_MAC" "$log" || fail "$DHCLIENT_SERVER did not log the ACK of $DHCLIENT_IP"
grep -qx "BOUND $DHCLIENT_IP" "$DHCLIENT_EVENTS" || fail "the lab's dhclient script was not told of the lease"
# The client keeps its fixed address alone: the lab's script configures nothing.
[ "$(lab client -- ip -4 -o addr show dev eth0 | awk '{ print $4 }')" = "$CLIENT_IP/24" ] \
    || fail "the client's addresses changed"

# Another client's exchange on the same wire leaves dhclient and its lease as they were.
dhclient_snapshot
lab client -- "$ORVANE_BIN/lab_frame_send" eth0 02:00:5e:68:68:68 0 >/dev/null
offered() { grep -q 'DHCPOFFER(eth0) [0-9.]* 02:00:5e:68:68:68' "$LAB_DIR/server.log"; }
for _ in $(seq 40); do offered && break; sleep 0.05; done
offered || fail "the server did not offer"
sleep 0.2
dhclient_untouched
[ ! /etc/resolv.conf -nt "$LAB_DIR/state" ] || fail "/etc/resolv.conf changed while the lab ran"
pass "dhclient ($DHCLIENT_PID) holds port 68 with $DHCLIENT_IP from $DHCLIENT_SERVER, untouched by other traffic"

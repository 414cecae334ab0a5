#!/usr/bin/env bash
# The window program on the lab's client host under Xvfb: the report view shows exactly the
# offers that came off the wire, three Refresh clicks put three more identical requests on it,
# LogFile holds exactly the eight offers the wire carried, and screenshots of both windows are kept.
# In a lab with --dhclient, dhclient holds port 68: the replies come through the packet socket,
# everything shown and logged is the same, and dhclient and its lease stay as they were.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(cd "$(dirname "$0")/../lab" && pwd)/lab_lib.sh"
[ -z "${DHCLIENT_PID:-}" ] || dhclient_snapshot
here=$(cd "$(dirname "$0")" && pwd)
artifacts=${ORVANE_TEST_ARTIFACTS:-$ORVANE_BIN/../test-artifacts/qt}
mkdir -p "$artifacts"
artifacts=$(cd "$artifacts" && pwd)
run=$WORK/run
mkdir -p "$run"

capture() {  # capture DPORT COUNT SECONDS OUT: in the background, ready when it returns
    rm -f "$WORK/ready.$1"
    lab_bg client -- "$ORVANE_BIN/lab_capture" "$CLIENT_IF" "$3" "$2" "$4" --dport "$1" --ready "$WORK/ready.$1"
    for _ in $(seq 100); do [ -f "$WORK/ready.$1" ] && return 0; sleep 0.05; done
    fail "the capture of port $1 did not start"
}
capture 67 4 40 "$WORK/requests"
requests_pid=$!
capture 68 8 40 "$WORK/offers"
offers_pid=$!

( cd "$run" && lab client -- env ORVANE_TEST_ARTIFACTS="$artifacts" ORVANE_TEST_SERVER_IP="$SERVER_IP" \
      ORVANE_TEST_RELAY_IP="$RELAY_IP" ORVANE_TEST_UPSTREAM_IP="$UPSTREAM_IP" QT_QPA_PLATFORM=xcb \
      "$here/with_xvfb.sh" "$ORVANE_BIN/qt_lab_window" ) || fail "the window run failed"
wait "$requests_pid" || fail "the request capture failed"
wait "$offers_pid" || fail "the offer capture failed"

# Four requests from port 67 to the limited broadcast, 548 bytes each, all alike.
[ "$(wc -l <"$WORK/requests")" -eq 4 ] || fail "expected 4 requests on the wire, saw $(wc -l <"$WORK/requests")"
[ "$(awk '{print $1, $2, $3, $4, $5}' "$WORK/requests" | sort -u)" = "$CLIENT_IP 67 255.255.255.255 67 548" ] \
    || fail "a request left with the wrong addresses or length"
[ "$(awk '{print $6}' "$WORK/requests" | sort -u | wc -l)" -eq 1 ] || fail "the four requests differ"

# The first two blocks are the first two offers as they came off the wire.
octet() { printf '%d' "0x${1:$2:2}"; }
address_at() { echo "$(octet "$1" $(($2 * 2))).$(octet "$1" $(($2 * 2 + 2))).$(octet "$1" $(($2 * 2 + 4))).$(octet "$1" $(($2 * 2 + 6)))"; }
expected=""
while read -r src sport dst dport length payload; do
    offered=$(address_at "$payload" 16)
    case $src in
        "$SERVER_IP") expected+="Packet from $SERVER_IP "$'\n'" Offered IP $offered "$'\n' ;;
        "$RELAY_IP") expected+="Packet from $UPSTREAM_IP "$'\n'" Relayed by $RELAY_IP "$'\n'" Offered IP $offered "$'\n' ;;
        *) fail "an offer from $src" ;;
    esac
    expected+="-------------------------"$'\n'
done < <(head -2 "$WORK/offers")
[ "$(cat "$artifacts/report_first.txt")" = "${expected%$'\n'}" ] \
    || { printf 'shown:\n%s\nexpected:\n%s\n' "$(cat "$artifacts/report_first.txt")" "$expected" >&2; fail "report differs"; }
# LogFile: every offer's UDP payload once, as a text stream stores it (each 0a after a 0d).
[ "$(wc -l <"$WORK/offers")" -eq 8 ] || fail "expected 8 offers on the wire, saw $(wc -l <"$WORK/offers")"
logged=$(od -An -v -tx1 "$run/LogFile" | tr -d ' \n')
expected_log=$(awk '{print $6}' "$WORK/offers" | sed 's/../& /g; s/0a /0d 0a /g; s/ //g' | tr -d '\n')
[ "$logged" = "$expected_log" ] || fail "LogFile ($(stat -c %s "$run/LogFile") bytes) is not the eight offers"
for picture in main_window.png about_window.png screen.png; do
    [ -s "$artifacts/$picture" ] || fail "no screenshot $picture"
done
beside=
if [ -n "${DHCLIENT_PID:-}" ]; then
    dhclient_untouched
    beside=", beside dhclient ($DHCLIENT_PID), untouched"
fi
pass "both offers shown as they came in $(cat "$artifacts/first_blocks_ms.txt") ms; 4 identical requests on the wire;\
 LogFile exact$beside; screenshots in $artifacts"

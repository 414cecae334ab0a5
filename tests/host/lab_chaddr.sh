#!/usr/bin/env bash
# The client hardware address on the wire: the DISCOVER leaving the lab client carries the address
# the lookup selects, first with the client's own links, then with links of chosen addresses added.
# Usage: lab_chaddr.sh SENDER; orvane-probe from ORVANE_BIN is used instead when it has been built.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/../lab/lab_lib.sh"

sender=$1
[ -x "$ORVANE_BIN/orvane-probe" ] && sender="$ORVANE_BIN/orvane-probe"
mkdir -p "$WORK/run"
added=()
cleanup_links() { for l in "${added[@]}"; do ip -n "$NS_CLIENT" link del "$l" 2>/dev/null || true; done; }
trap 'cleanup_links; lab_cleanup' EXIT

add_link() {  # add_link NAME ip-link-add-arguments...: made in the client, removed at the end
    ip -n "$NS_CLIENT" link add "$@"
    added+=("$1")
}

# expect_chaddr MAC WHY: one DISCOVER from the client, captured on eth0, with MAC in chaddr.
expect_chaddr() {
    local want=${1//:/} src sport dst dport length payload
    start_capture client "$CLIENT_IF" 67 1 8
    if [ "$(basename "$sender")" = orvane-probe ]; then
        # With no wait nothing can have answered yet, so the verdict is 2 (nothing answered); only 3 (start-up)
        # is a failure here.
        local status=0
        lab client -- sh -c 'cd "$1" && exec "$2" --wait 0' probe "$WORK/run" "$sender" >/dev/null 2>"$WORK/err" \
            || status=$?
        [ "$status" -eq 0 ] || [ "$status" -eq 2 ] || { cat "$WORK/err" >&2; fail "orvane-probe failed ($status)"; }
    else
        lab client -- "$sender" >/dev/null || fail "the test sender failed"
    fi
    wait_capture
    [ "$(wc -l <"$WORK/capture")" -eq 1 ] || fail "$2: no DISCOVER on the wire"
    read -r src sport dst dport length payload <"$WORK/capture"
    [ "$sport $dport $length" = "67 67 548" ] || fail "$2: $src:$sport -> $dst:$dport, $length bytes"
    # htype 1 and hlen 6 at bytes 1-2; chaddr at bytes 28-33, the rest of it zero.
    [ "${payload:2:4}" = 0106 ] || fail "$2: htype/hlen are ${payload:2:4}"
    [ "${payload:56:12}" = "${want,,}" ] || fail "$2: chaddr is ${payload:56:12}, expected ${want,,}"
    [ "${payload:68:20}" = 00000000000000000000 ] || fail "$2: chaddr padding is ${payload:68:20}"
    pass "$2: chaddr ${payload:56:12}"
}

expect_chaddr "$CLIENT_MAC" "the client's own links"

# Placeholder addresses at higher indexes are passed over: the client's eth0 is still the last one.
add_link hw-d0 index 60000 address 44:45:53:54:00:00 type veth peer name hw-d1 index 60001 address 44:45:53:54:00:99
expect_chaddr "$CLIENT_MAC" "D-E-S-T-zero links after eth0"

# A bridge with a nonzero fifth byte, last in index order, is taken although eth0 carries the datagram.
add_link hw-b0 index 60002 address 44:45:53:54:01:02 type bridge
expect_chaddr 44:45:53:54:01:02 "a later link with 44:45:53:54:01:02"

# Two more Ethernet links made in reverse index order: the highest index wins, not the newest link.
add_link hw-b2 index 60004 address 00:aa:bb:cc:dd:ee type bridge
add_link hw-b1 index 60003 address 00:11:22:33:44:55 type bridge
expect_chaddr 00:aa:bb:cc:dd:ee "00:11:22:33:44:55 then 00:aa:bb:cc:dd:ee by index"

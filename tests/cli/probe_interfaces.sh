#!/usr/bin/env bash
# --interface, --all-interfaces and --mac on a client with a second port on the switch (eth1) and an
# Ethernet interface on a link where nobody answers (lone0); "why no reply?" there and on a host with no address.
# Runs on a lab of its own (it adds interfaces to the client).
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
SECOND_IP=192.168.77.11
lab client -- ip link add eth1 address 02:4f:52:56:00:0b type veth peer name p-client2 netns "$NS_SWITCH"
lab switch -- ip link set p-client2 master br0 up
lab client -- ip addr add "$SECOND_IP/24" dev eth1
lab client -- ip link set eth1 up
# A veth pair with both ends on the client: a link on which nobody answers.
lab client -- ip link add lone0 address 02:4f:52:56:00:0c type veth peer name lone1
lab client -- ip addr add 10.99.0.1/24 dev lone0
lab client -- ip link set lone1 up
lab client -- ip link set lone0 up
mac0=$CLIENT_MAC
mac1=02:4f:52:56:00:0b

# Every Ethernet interface up with an address: one socket pair each, each request with its own MAC, each
# reply saying where it came in; the server on the link is heard on both ports, and named once.
run_probe_on client --all-interfaces --format json --expect "$SERVER_IP,$UPSTREAM_IP" --wait 1.5
expect_status 0 "--all-interfaces"
[ "$(json_of '[.[] | select(.type == "reply") | .interface] | unique | join(" ")')" = "eth0 eth1" ] \
    || fail "replies came in on: $(json_of '[.[] | select(.type == "reply") | .interface] | unique')"
for pair in "eth0 $mac0" "eth1 $mac1"; do
    set -- $pair
    [ "$(json_of "[.[] | select(.type == \"reply\" and .interface == \"$1\") | .bootp.client_hardware_address] | unique | sort | join(\" \")")" \
      = "$(printf '%s\n' "$mac0" "$mac1" | sort | paste -sd' ')" ] || fail "$1 did not hear the offers for both MACs"
done
json_of 'map(select(.type == "reply" and .server_identifier == "'"$SERVER_IP"'")) | map(.flags.several_paths) | any' \
    | grep -qx true || fail "the server heard on two interfaces is not flagged several_paths"
[ "$(json_of '.[-1].servers | map(.server) | sort | join(" ")')" = "$(printf '%s\n' "$SERVER_IP" "$UPSTREAM_IP" | sort | paste -sd' ')" ] \
    || fail "the summary does not name each server once: $(tail -n 1 "$WORK/out")"
[ "$(json_of '.[-1].servers[] | select(.server == "'"$SERVER_IP"'") | [.paths[].interface] | unique | join(" ")')" = "eth0 eth1" ] \
    || fail "the summary does not give both interfaces as paths"

run_probe_on client --all-interfaces --expect "$SERVER_IP,$UPSTREAM_IP" --wait 1.5
expect_status 0 "--all-interfaces text"
[ "$(grep -c "^Server $SERVER_IP expected: 4 replies, 4 offers, 1 round, .* through eth[01] direct, eth[01] direct\$" "$WORK/out")" = 1 ] \
    || fail "the summary line: $(grep "^Server $SERVER_IP" "$WORK/out")"
grep -qx ' Interface eth1' "$WORK/out" && grep -qx ' Interface eth0' "$WORK/out" || fail "blocks do not name the interface"

# One interface: the request leaves there only (its source is eth1's address), with eth1's MAC.
start_capture client eth0 67 1 4
run_probe_on client --interface eth1 --format json --expect "$SERVER_IP,$UPSTREAM_IP" --quick
wait_capture
expect_status 0 "--interface eth1"
[ "$(cut -d' ' -f1,2 "$WORK/capture")" = "$SECOND_IP 67" ] || fail "the request left as: $(cut -c1-60 "$WORK/capture")"
[ "$(json_of '[.[] | select(.type == "reply") | "\(.interface) \(.bootp.client_hardware_address)"] | unique | join(",")')" = "eth1 $mac1" ] \
    || fail "--interface eth1 heard: $(json_of '[.[] | select(.type == "reply") | .interface]')"

# --mac: the given address, or a random locally administered unicast one, new each run.
run_probe_on client --interface eth0 --mac 02:00:5e:00:00:99 --format json --expect "$SERVER_IP,$UPSTREAM_IP" --quick
expect_status 0 "--mac"
[ "$(json_of '[.[] | select(.type == "reply") | .bootp.client_hardware_address] | unique | join(",")')" = 02:00:5e:00:00:99 ] \
    || fail "--mac was not sent"
randoms=()
for _ in 1 2; do
    run_probe_on client --mac random --format json --expect "$SERVER_IP,$UPSTREAM_IP" --quick
    expect_status 0 "--mac random"
    mac=$(json_of '[.[] | select(.type == "reply") | .bootp.client_hardware_address] | unique | join(",")')
    [[ $mac =~ ^[0-9a-f]([26ae]):([0-9a-f]{2}:){4}[0-9a-f]{2}$ ]] || fail "random MAC $mac is not locally administered unicast"
    randoms+=("$mac")
done
[ "${randoms[0]}" != "${randoms[1]}" ] || fail "two random MACs alike: ${randoms[0]}"

# An interface on no link: nothing answers (2, CRITICAL) and the probe says what it found.
run_probe_on client --interface lone0 --wait 1
expect_status 2 "--interface lone0"
has_line "Verdict 2: nothing answered" "lone0"
has_line " Ports: UDP 67 and 68 bound on lone0" "lone0"
has_line " Requests: 1 sent" "lone0"
has_line " Broadcast on lone0: leaves through lone0 from 10.99.0.1" "lone0"
grep -qx " IPv4: .*eth0 $CLIENT_IP/24.*lone0 10.99.0.1/24" "$WORK/out" || fail "IPv4 line: $(grep IPv4 "$WORK/out")"
has_line " Port 68: no other program holds it" "lone0"

# A host with no address and no route (the lab's switch): the send fails, so nothing was judged (UNKNOWN), and the
# probe says why.
run_probe_on switch --format json --wait 0.5
expect_status 3 "no address"
jq -e '(.verdict.status == 3 and (.verdict.text | startswith("no request could be sent"))) and (.diagnostics |
    .requests_failed == 1 and .send_error == "Network is unreachable" and .broadcast_routes[0].found == false
    and .ipv4_addresses == [] and .port_68_other_sockets == 0)' \
    <<<"$(tail -n 1 "$WORK/out")" >/dev/null || fail "diagnostics: $(tail -n 1 "$WORK/out")"

# Start-up failures: an interface that does not exist; a port another probe holds on every interface.
run_probe_on client --interface nosuch0
expect_status 3 "--interface nosuch0"
grep -q '^orvane-probe: no interface named nosuch0 (there are: .*eth1.*)$' "$WORK/err" || fail "$(cat "$WORK/err")"
start_probe 3
wait_blocks 2 3
run_probe_on client --interface eth0
expect_status 3 "port held"
grep -qx 'orvane-probe: on interface eth0: cannot bind UDP port 67: Address already in use; another program holds it, commonly a DHCP server or relay running on this host; stop it first' "$WORK/err" \
    || fail "port held: $(cat "$WORK/err")"
wait_probe
pass "--all-interfaces on eth0 and eth1, --interface eth1, --mac, random MACs ${randoms[*]}, no reply explained, start-up failures"

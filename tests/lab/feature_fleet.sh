# Lab feature: two more client LANs beside the first, and a monitoring host on all three. Sourced by lab.sh.
#   lab.sh up --fleet             LANs 2 and 3 (bridges br2, br3 on the switch), each with a client and a dnsmasq
#             server; a spare host on LAN 2 for a rogue the test starts (rogue2); the host monitor on all three
# LAN n (n = 2, 3) is 192.168.7(6+n).0/24: its client .10, its server .1; rogue2 is 192.168.78.3. The monitor host
# is .5 on every LAN (eth1, eth2, eth3), for an engine that scrapes the clients.
# State: NS_MONITOR MONITOR_IPS (LAN 1's, 2's and 3's) and, for n = 2, 3: NS_CLIENTn CLIENTn_IP NS_SERVERn SERVERn_IP
# SERVERn_RANGE; NS_ROGUE2 ROGUE2_IP ROGUE2_RANGE (nothing runs on rogue2 until a test starts it).

# shellcheck shell=bash disable=SC2034 # OPTION_TAKEN and the like are lab.sh's
LAB_FEATURES+=(fleet)

fleet_option() {
    case $1 in
        --fleet) OPTION_TAKEN=1 ;;
        *) OPTION_TAKEN=0 ;;
    esac
}

fleet_plan() {
    local n
    record NS_MONITOR "orv-$LAB_ID-monitor"
    add_host monitor "$NS_MONITOR"
    record MONITOR_IPS "$LAN_PREFIX.5 192.168.78.5 192.168.79.5"
    for n in 2 3; do
        record "NS_CLIENT$n" "orv-$LAB_ID-client$n"
        record "NS_SERVER$n" "orv-$LAB_ID-server$n"
        record "CLIENT${n}_IP" "192.168.7$((6 + n)).10"
        record "SERVER${n}_IP" "192.168.7$((6 + n)).1"
        record "SERVER${n}_RANGE" "192.168.7$((6 + n)).100,192.168.7$((6 + n)).150"
        add_host "client$n" "orv-$LAB_ID-client$n"
        add_host "server$n" "orv-$LAB_ID-server$n"
    done
    record NS_ROGUE2 "orv-$LAB_ID-rogue2"
    record ROGUE2_IP 192.168.78.3
    record ROGUE2_RANGE 192.168.78.160,192.168.78.190
    add_host rogue2 "$NS_ROGUE2"
}

# fleet_host NS BRIDGE PORT ADDRESS/PREFIX [DEVICE]: a host's link to a bridge on the switch.
fleet_host() {
    local device=${5:-eth0}
    veth "$1" "$device" "$NS_SWITCH" "$3"
    ip -n "$NS_SWITCH" link set "$3" master "$2" up
    ip -n "$1" addr add "$4" dev "$device"
    ip -n "$1" link set "$device" up
}

fleet_wire() {
    local n client server
    for n in 2 3; do
        ip -n "$NS_SWITCH" link add "br$n" type bridge forward_delay 0 stp_state 0 mcast_snooping 0
        ip -n "$NS_SWITCH" link set "br$n" up
        client=NS_CLIENT$n server=NS_SERVER$n
        fleet_host "${!client}" "br$n" "p-client$n" "192.168.7$((6 + n)).10/24"
        ip -n "${!client}" route add 255.255.255.255/32 dev eth0
        fleet_host "${!server}" "br$n" "p-server$n" "192.168.7$((6 + n)).1/24"
        fleet_host "$NS_MONITOR" "br$n" "p-monitor$n" "192.168.7$((6 + n)).5/24" "eth$n"
    done
    fleet_host "$NS_MONITOR" br0 p-monitor1 "$LAN_PREFIX.5/24" eth1
    fleet_host "$NS_ROGUE2" br2 p-rogue2 "$ROGUE2_IP/24"
}

fleet_start() {
    start_dnsmasq "$NS_SERVER2" server2 "$SERVER2_RANGE"
    start_dnsmasq "$NS_SERVER3" server3 "$SERVER3_RANGE"
}

fleet_ready() { udp_bound "$NS_SERVER2" 0043 && udp_bound "$NS_SERVER3" 0043; }

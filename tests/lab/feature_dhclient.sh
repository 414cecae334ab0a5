# Lab feature: a real DHCP client on the client host, as on almost every Linux machine. Sourced by lab.sh.
#   lab.sh up --dhclient          isc-dhcp-client's dhclient -4 on the client's eth0, holding UDP port 68 with a lease
# It runs in the foreground of its own session with the lab's script (dhclient_script.sh, which changes nothing),
# its own configuration, lease file and pid file in the lab folder. The client keeps its fixed address.
# State: DHCLIENT_PID DHCLIENT_PID_FILE DHCLIENT_LEASES DHCLIENT_LOG DHCLIENT_EVENTS DHCLIENT_CONF DHCLIENT_IP
# DHCLIENT_SERVER (the leased address and the server identifier, as the lease file has them).

# shellcheck shell=bash disable=SC2034 # OPTION_TAKEN and the like are lab.sh's
LAB_FEATURES+=(dhclient)

dhclient_option() {
    case $1 in
        --dhclient) OPTION_TAKEN=1 ;;
        *) OPTION_TAKEN=0 ;;
    esac
}

dhclient_plan() {
    DHCLIENT=$(find_tool dhclient isc-dhcp-client)
    record DHCLIENT_PID_FILE "$LAB_DIR/dhclient.pid"
    record DHCLIENT_LEASES "$LAB_DIR/dhclient.leases"
    record DHCLIENT_LOG "$LAB_DIR/dhclient.log"
    record DHCLIENT_EVENTS "$LAB_DIR/dhclient.events"
    record DHCLIENT_CONF "$LAB_DIR/dhclient.conf"
}

dhclient_wire() { :; }

dhclient_start() {
    # Its own configuration, not the host's /etc/dhcp/dhclient.conf. The lease comes from the LAN's own servers:
    # the unicast responder never acknowledges, and a lease from a rogue would come and go with the rogue.
    local rogue
    {
        echo 'send host-name "orvane-lab-client";'
        echo 'request subnet-mask, broadcast-address, routers, domain-name, domain-name-servers;'
        for rogue in ${ROGUE_IP:-} ${RESPONDER_IP:-}; do echo "reject $rogue;"; done
    } >"$DHCLIENT_CONF"
    wait_until "the server before dhclient" udp_bound "$NS_SERVER" 0043
    setsid ip netns exec "$NS_CLIENT" "$DHCLIENT" -4 -d -v -cf "$DHCLIENT_CONF" -lf "$DHCLIENT_LEASES" \
        -pf "$DHCLIENT_PID_FILE" -sf "$LAB_HOME/dhclient_script.sh" -e "LAB_EVENTS=$DHCLIENT_EVENTS" eth0 \
        </dev/null >"$DHCLIENT_LOG" 2>&1 &
    started dhclient
}

dhclient_ready() {
    grep -q 'fixed-address' "$DHCLIENT_LEASES" 2>/dev/null && [ -s "$DHCLIENT_PID_FILE" ] \
        && udp_bound "$NS_CLIENT" 0044
}

dhclient_finish() {
    record DHCLIENT_PID "$(tr -d ' \n' <"$DHCLIENT_PID_FILE")"
    record DHCLIENT_IP "$(sed -n 's/^ *fixed-address \(.*\);/\1/p' "$DHCLIENT_LEASES" | tail -1)"
    record DHCLIENT_SERVER "$(sed -n 's/^ *option dhcp-server-identifier \(.*\);/\1/p' "$DHCLIENT_LEASES" | tail -1)"
}

# Lab feature: a DHCP server that ignores the broadcast flag. Sourced by lab.sh.
#   lab.sh up --unicast-responder host responder on the untagged LAN, running unicast_responder
# It answers every DISCOVER (but one for its own chaddr) with an OFFER of RESPONDER_OFFER, sent by Ethernet unicast to
# the chaddr and by IP to the offered address, its server identifier its own address; such offers reach a client that
# uses another chaddr only through a capture of the link.
# State: NS_RESPONDER RESPONDER_IP RESPONDER_MAC RESPONDER_OFFER RESPONDER_PID_FILE RESPONDER_LOG

# shellcheck shell=bash disable=SC2034 # OPTION_TAKEN and the like are lab.sh's
LAB_FEATURES+=(unicast)

unicast_option() {
    case $1 in
        --unicast-responder) OPTION_TAKEN=1 ;;
        *) OPTION_TAKEN=0 ;;
    esac
}

unicast_plan() {
    UNICAST_RESPONDER=$(lab_tool unicast_responder)
    record NS_RESPONDER "orv-$LAB_ID-responder"
    record RESPONDER_IP "$LAN_PREFIX.4"
    record RESPONDER_MAC 02:4f:52:56:00:04
    record RESPONDER_OFFER "$LAN_PREFIX.44"
    record RESPONDER_PID_FILE "$LAB_DIR/responder.pid"
    record RESPONDER_LOG "$LAB_DIR/responder.log"
    add_host responder "$NS_RESPONDER"
}

unicast_wire() {
    veth "$NS_RESPONDER" eth0 "$NS_SWITCH" p-responder "$RESPONDER_MAC"
    ip -n "$NS_SWITCH" link set p-responder master br0 up
    ip -n "$NS_RESPONDER" addr add "$RESPONDER_IP/24" dev eth0
    ip -n "$NS_RESPONDER" link set eth0 up
}

unicast_start() {
    setsid ip netns exec "$NS_RESPONDER" "$UNICAST_RESPONDER" eth0 "$RESPONDER_IP" "$RESPONDER_OFFER" \
        --ready "$RESPONDER_PID_FILE" </dev/null >"$RESPONDER_LOG" 2>&1 &
    started unicast_responder
}

unicast_ready() { [ -s "$RESPONDER_PID_FILE" ]; }

# Lab feature: the client's link becomes an 802.1Q trunk. Sourced by lab.sh.
#
#   client eth0 ===trunk=== p-client [vlan_switch, host switch] t-lan ---- p-untagged (br0: server, relay, ...)
#                                                               t-v10 ---- eth0 vlan10 (dnsmasq 10.0.10.1)
#                                                               t-v20 ---- eth0 vlan20 (dnsmasq 10.0.20.1)
#                                                               t-r20 ---- eth0 rogue-vlan (--rogue-vlan 20)
#                                                               t-v30 ---- eth0 vlan30 (dnsmasq 10.0.30.1)
#
# The lab's kernels have no 802.1Q devices and no VLAN-filtering bridge, so the far end of the trunk is the lab's
# own switch in user space (vlan_switch.cpp). The client's kernel strips the tag of what it receives and hands it
# over in the packet's auxiliary data; what the client sends tagged crosses the veth unchanged.
#   lab.sh up --trunk             VLANs 10, 20, 30 on hosts vlan10, vlan20, vlan30, each with a dnsmasq of its own
#   lab.sh up --vlans N           VLANs 1..N on one host, vlans (links v1..vN), one dnsmasq serving all N
#   lab.sh up --rogue-vlan ID     a second dnsmasq on VLAN ID alone, host rogue-vlan (10.0.ID.3)
# State: TRUNK VLAN_IDS SWITCH_PID_FILE SWITCH_LOG; per VLAN VLAN_<ID>_HOST _NS _IF _NET _SERVER_IP _SERVER_MAC
# _RANGE _LOG; ROGUE_VLAN NS_ROGUE_VLAN ROGUE_VLAN_IP ROGUE_VLAN_MAC ROGUE_VLAN_RANGE ROGUE_VLAN_LOG.
# VLAN ID's subnet is 10.<ID/256>.<ID%256>.0/24; its server is .1 with MAC 02:4f:52:57:<ID as 2 bytes>.

# shellcheck shell=bash disable=SC2034 # OPTION_TAKEN and the like are lab.sh's
LAB_FEATURES+=(trunk)
VLAN_COUNT=
ROGUE_VLAN_ID=

trunk_option() {
    case $1 in
        --trunk) OPTION_TAKEN=1 ;;
        --vlans)
            need_value "$@"
            [[ $2 =~ ^[0-9]+$ ]] && [ "$2" -ge 1 ] && [ "$2" -le 4094 ] || die "--vlans takes a number from 1 to 4094"
            VLAN_COUNT=$2
            OPTION_TAKEN=2
            ;;
        --rogue-vlan)
            need_value "$@"
            ROGUE_VLAN_ID=$2
            OPTION_TAKEN=2
            ;;
        *) OPTION_TAKEN=0 ;;
    esac
}

# vlan_addresses ID KIND: NET (10.x.y, the subnet's first three bytes) and MAC (02:4f:52:KIND:ID) of VLAN ID's host,
# without a subshell: a hundred VLANs would otherwise take seconds.
vlan_addresses() {
    NET=10.$(($1 / 256)).$(($1 % 256))
    printf -v MAC '02:4f:52:%02x:%02x:%02x' "$2" $(($1 / 256)) $(($1 % 256))
}

trunk_plan() {
    local ids vid
    if [ -n "$VLAN_COUNT" ]; then ids=$(seq -s ' ' 1 "$VLAN_COUNT"); else ids="10 20 30"; fi
    if [ -n "$ROGUE_VLAN_ID" ] && [[ " $ids " != *" $ROGUE_VLAN_ID "* ]]; then
        die "--rogue-vlan $ROGUE_VLAN_ID is not one of the lab's VLANs"
    fi
    VLAN_SWITCH=$(lab_tool vlan_switch)
    record TRUNK yes
    record VLAN_IDS "$ids"
    record SWITCH_PID_FILE "$LAB_DIR/vlan_switch.pid"
    record SWITCH_LOG "$LAB_DIR/vlan_switch.log"
    [ -z "$VLAN_COUNT" ] || add_host vlans "orv-$LAB_ID-vlans"
    for vid in $ids; do
        vlan_addresses "$vid" 0x57
        if [ -n "$VLAN_COUNT" ]; then
            record "VLAN_${vid}_HOST" vlans
            record "VLAN_${vid}_NS" "orv-$LAB_ID-vlans"
            record "VLAN_${vid}_IF" "v$vid"
            record "VLAN_${vid}_LOG" "$LAB_DIR/vlans.log"
        else
            add_host "vlan$vid" "orv-$LAB_ID-vlan$vid"
            record "VLAN_${vid}_HOST" "vlan$vid"
            record "VLAN_${vid}_NS" "orv-$LAB_ID-vlan$vid"
            record "VLAN_${vid}_IF" eth0
            record "VLAN_${vid}_LOG" "$LAB_DIR/vlan$vid.log"
        fi
        record "VLAN_${vid}_NET" "$NET.0/24"
        record "VLAN_${vid}_SERVER_IP" "$NET.1"
        record "VLAN_${vid}_SERVER_MAC" "$MAC"
        record "VLAN_${vid}_RANGE" "$NET.100,$NET.150"
    done
    if [ -n "$ROGUE_VLAN_ID" ]; then
        vlan_addresses "$ROGUE_VLAN_ID" 0x58
        record ROGUE_VLAN "$ROGUE_VLAN_ID"
        record NS_ROGUE_VLAN "orv-$LAB_ID-vrogue"
        record ROGUE_VLAN_IP "$NET.3"
        record ROGUE_VLAN_MAC "$MAC"
        record ROGUE_VLAN_RANGE "$NET.200,$NET.250"
        record ROGUE_VLAN_LOG "$LAB_DIR/rogue-vlan.log"
        add_host rogue-vlan "$NS_ROGUE_VLAN"
    fi
}

trunk_wire() {
    local vid ns ns_of if_of mac_of ip_of
    # The client's port leaves the bridge; the switch program joins the untagged LAN through a veth of its own.
    ip -n "$NS_SWITCH" link set p-client nomaster
    ip -n "$NS_SWITCH" link add t-lan type veth peer name p-untagged
    ip -n "$NS_SWITCH" link set p-untagged master br0 up
    ip -n "$NS_SWITCH" link set t-lan up
    # In batches, without a process per VLAN: a hundred VLANs take some hundreds of link commands.
    {
        for vid in $VLAN_IDS; do
            ns_of=VLAN_${vid}_NS if_of=VLAN_${vid}_IF mac_of=VLAN_${vid}_SERVER_MAC
            echo "link add t-v$vid type veth peer name ${!if_of} address ${!mac_of} netns ${!ns_of}"
            echo "link set t-v$vid up"
        done
        if [ -n "$ROGUE_VLAN_ID" ]; then
            echo "link add t-r$ROGUE_VLAN_ID type veth peer name eth0 address $ROGUE_VLAN_MAC netns $NS_ROGUE_VLAN"
            echo "link set t-r$ROGUE_VLAN_ID up"
        fi
    } | ip netns exec "$NS_SWITCH" ip -batch -
    for ns in $(for vid in $VLAN_IDS; do ns_of=VLAN_${vid}_NS; echo "${!ns_of}"; done | sort -u); do
        for vid in $VLAN_IDS; do
            ns_of=VLAN_${vid}_NS if_of=VLAN_${vid}_IF ip_of=VLAN_${vid}_SERVER_IP
            [ "${!ns_of}" = "$ns" ] || continue
            echo "addr add ${!ip_of}/24 dev ${!if_of}"
            echo "link set ${!if_of} up"
        done | ip netns exec "$ns" ip -batch -
    done
    if [ -n "$ROGUE_VLAN_ID" ]; then
        ip -n "$NS_ROGUE_VLAN" addr add "$ROGUE_VLAN_IP/24" dev eth0
        ip -n "$NS_ROGUE_VLAN" link set eth0 up
    fi
}

trunk_start() {
    local ports=(t-lan=0) vid options=() ns_of range_of
    for vid in $VLAN_IDS; do ports+=("t-v$vid=$vid"); done
    [ -z "$ROGUE_VLAN_ID" ] || ports+=("t-r$ROGUE_VLAN_ID=$ROGUE_VLAN_ID")
    setsid ip netns exec "$NS_SWITCH" "$VLAN_SWITCH" p-client "${ports[@]}" --ready "$SWITCH_PID_FILE" \
        </dev/null >"$SWITCH_LOG" 2>&1 &
    started vlan_switch
    if [ -n "$VLAN_COUNT" ]; then
        for vid in $VLAN_IDS; do
            range_of=VLAN_${vid}_RANGE
            options+=("--interface=v$vid" "--dhcp-range=${!range_of},255.255.255.0,1h")
        done
        run_dnsmasq "$VLAN_1_NS" vlans "${options[@]}"
    else
        for vid in $VLAN_IDS; do
            ns_of=VLAN_${vid}_NS range_of=VLAN_${vid}_RANGE
            start_dnsmasq "${!ns_of}" "vlan$vid" "${!range_of}"
        done
    fi
    [ -z "$ROGUE_VLAN_ID" ] || start_dnsmasq "$NS_ROGUE_VLAN" rogue-vlan "$ROGUE_VLAN_RANGE"
}

trunk_ready() {
    local ns
    [ -s "$SWITCH_PID_FILE" ] || return 1
    for ns in $(echo "$NAMESPACES" | tr ' ' '\n' | grep -e '-vlan[0-9]*$' -e '-vlans$'); do
        udp_bound "$ns" 0043 || return 1
    done
    [ -z "$ROGUE_VLAN_ID" ] || udp_bound "$NS_ROGUE_VLAN" 0043
}

# Lab feature: IPv6 on the LAN, with DHCPv6 servers, routers and a relay. Sourced by lab.sh.
#   lab.sh up --ipv6              fd00:77::/64 on client (::10), server (::1) and relay (::2); a dnsmasq on
#                                 the server serving DHCPv6 on it and sending router advertisements (--enable-ra)
#   lab.sh up --rogue6            host rogue6: a rogue dnsmasq serving DHCPv6 on fd00:66::/64, and radvd advertising
#                                 fd00:99::/64, RDNSS fd00:99::53, DNSSL rogue-ra.example (implies --ipv6)
#   lab.sh up --relay6            dhcrelay -6 on the relay host to a dnsmasq on the upstream host serving
#                                 fd00:88::/64; the relay's link address is fd00:88::2 (implies --ipv6)
# Servers' DUIDs are fixed (DUID-EN of the documentation enterprise number 32473), so tests can name them.
# State: IPV6 LAN6_PREFIX CLIENT_IP6 SERVER_IP6 RELAY_IP6 CLIENT_LL6 SERVER_LL6 RELAY_LL6 SERVER6_RANGE SERVER6_DUID
# SERVER6_DNS SERVER6_DOMAIN SERVER6_LOG; with --rogue6 NS_ROGUE6 ROGUE6_MAC ROGUE6_LL6 ROGUE6_IP6 ROGUE6_RANGE
# ROGUE6_DUID ROGUE6_DNS ROGUE6_DOMAIN ROGUE6_LOG RADVD_CONF RADVD_PID_FILE RADVD_LOG RADVD_PREFIX RADVD_RDNSS
# RADVD_DNSSL; with --relay6 RELAY6_LINK_IP RELAY6_UPLINK_IP UPSTREAM_IP6 UPSTREAM6_RANGE UPSTREAM6_DUID
# UPSTREAM6_DNS UPSTREAM6_LOG RELAY6_PID_FILE RELAY6_LOG.

# shellcheck shell=bash disable=SC2034 # OPTION_TAKEN and the like are lab.sh's
LAB_FEATURES+=(ipv6)
ROGUE6=no
RELAY6=no

ipv6_option() {
    case $1 in
        --ipv6) OPTION_TAKEN=1 ;;
        --rogue6) ROGUE6=yes; OPTION_TAKEN=1 ;;
        --relay6) RELAY6=yes; OPTION_TAKEN=1 ;;
        *) OPTION_TAKEN=0 ;;
    esac
}

# duid_en ID: the DUID-EN (type 2) dnsmasq makes of --dhcp-duid=32473,ID, in hex.
duid_en() { echo "000200007ed9$1"; }

ipv6_plan() {
    record IPV6 yes
    record LAN6_PREFIX fd00:77::/64
    record CLIENT_IP6 fd00:77::10
    record SERVER_IP6 fd00:77::1
    record RELAY_IP6 fd00:77::2
    record SERVER6_RANGE fd00:77::100,fd00:77::1ff
    record SERVER6_DUID "$(duid_en 01)"
    record SERVER6_DNS fd00:77::1
    record SERVER6_DOMAIN lab.example
    record SERVER6_LOG "$LAB_DIR/server6.log"
    record ROGUE6 "$ROGUE6"
    record RELAY6 "$RELAY6"
    if [ "$ROGUE6" = yes ]; then
        RADVD=$(find_tool radvd radvd)
        record NS_ROGUE6 "orv-$LAB_ID-rogue6"
        record ROGUE6_MAC 02:4f:52:56:00:06
        record ROGUE6_IP6 fd00:66::1
        record ROGUE6_RANGE fd00:66::100,fd00:66::1ff
        record ROGUE6_DUID "$(duid_en 66)"
        record ROGUE6_DNS fd00:66::53
        record ROGUE6_DOMAIN rogue.example
        record ROGUE6_LOG "$LAB_DIR/rogue6.log"
        record RADVD_CONF "$LAB_DIR/radvd.conf"
        record RADVD_PID_FILE "$LAB_DIR/radvd.pid"
        record RADVD_LOG "$LAB_DIR/radvd.log"
        record RADVD_PREFIX fd00:99::/64
        record RADVD_RDNSS fd00:99::53
        record RADVD_DNSSL rogue-ra.example
        add_host rogue6 "$NS_ROGUE6"
    fi
    if [ "$RELAY6" = yes ]; then
        record RELAY6_LINK_IP fd00:88::2
        record RELAY6_UPLINK_IP fd00:78::1
        record UPSTREAM_IP6 fd00:78::2
        record UPSTREAM6_RANGE fd00:88::100,fd00:88::1ff
        record UPSTREAM6_DUID "$(duid_en 88)"
        record UPSTREAM6_DNS fd00:88::53
        record UPSTREAM6_LOG "$LAB_DIR/upstream6.log"
        record RELAY6_PID_FILE "$LAB_DIR/relay6.pid"
        record RELAY6_LOG "$LAB_DIR/relay6.log"
    fi
}

ipv6_wire() {
    # nodad as well as accept_dad=0: these addresses are usable the moment they are added.
    ip -n "$NS_CLIENT" addr add "$CLIENT_IP6/64" dev eth0 nodad
    ip -n "$NS_SERVER" addr add "$SERVER_IP6/64" dev eth0 nodad
    ip -n "$NS_RELAY" addr add "$RELAY_IP6/64" dev eth0 nodad
    if [ "$ROGUE6" = yes ]; then
        veth "$NS_ROGUE6" eth0 "$NS_SWITCH" p-rogue6 "$ROGUE6_MAC"
        ip -n "$NS_SWITCH" link set p-rogue6 master br0 up
        ip -n "$NS_ROGUE6" addr add "$ROGUE6_IP6/64" dev eth0 nodad
        ip -n "$NS_ROGUE6" link set eth0 up
        # radvd serves only where the host forwards, as a router does.
        ip netns exec "$NS_ROGUE6" sysctl -qw net.ipv6.conf.all.forwarding=1
    fi
    if [ "$RELAY6" = yes ]; then
        ip -n "$NS_RELAY" addr add "$RELAY6_LINK_IP/64" dev eth0 nodad
        ip -n "$NS_RELAY" addr add "$RELAY6_UPLINK_IP/64" dev eth1 nodad
        ip -n "$NS_UPSTREAM" addr add "$UPSTREAM_IP6/64" dev eth0 nodad
        ip -n "$NS_UPSTREAM" route add "${RELAY6_LINK_IP%::*}::/64" via "$RELAY6_UPLINK_IP"
    fi
}

ipv6_start() {
    run_dnsmasq "$NS_SERVER" server6 --interface=eth0 --dhcp-range="${SERVER6_RANGE},64,1h" --enable-ra \
        --dhcp-duid=32473,01 --dhcp-option="option6:dns-server,[$SERVER6_DNS]" \
        --dhcp-option="option6:domain-search,$SERVER6_DOMAIN"
    if [ "$ROGUE6" = yes ]; then
        run_dnsmasq "$NS_ROGUE6" rogue6 --interface=eth0 --dhcp-range="${ROGUE6_RANGE},64,1h" \
            --dhcp-duid=32473,66 --dhcp-option="option6:dns-server,[$ROGUE6_DNS]" \
            --dhcp-option="option6:domain-search,$ROGUE6_DOMAIN"
        cat >"$RADVD_CONF" <<RADVD
# The rogue router of the lab: another prefix, another DNS server and search domain than the LAN's own.
interface eth0 {
    AdvSendAdvert on;
    MinRtrAdvInterval 3;
    MaxRtrAdvInterval 10;
    AdvDefaultPreference high;
    prefix $RADVD_PREFIX {
        AdvOnLink on;
        AdvAutonomous on;
    };
    RDNSS $RADVD_RDNSS {
    };
    DNSSL $RADVD_DNSSL {
    };
};
RADVD
        # -n: radvd stays this job's child, in the rogue host's namespace, and down ends it there.
        setsid ip netns exec "$NS_ROGUE6" "$RADVD" -n -C "$RADVD_CONF" -p "$RADVD_PID_FILE" -m stderr -d 1 \
            </dev/null >"$RADVD_LOG" 2>&1 &
        started radvd
    fi
    if [ "$RELAY6" = yes ]; then
        run_dnsmasq "$NS_UPSTREAM" upstream6 --interface=eth0 --dhcp-range="${UPSTREAM6_RANGE},64,1h" \
            --dhcp-duid=32473,88 --dhcp-option="option6:dns-server,[$UPSTREAM6_DNS]"
        # The link address names the LAN's subnet to the server: the relay's address in fd00:88::/64.
        setsid ip netns exec "$NS_RELAY" "$DHCRELAY" -6 -d -pf "$RELAY6_PID_FILE" -l "$RELAY6_LINK_IP%eth0" \
            -u "$UPSTREAM_IP6%eth1" </dev/null >"$RELAY6_LOG" 2>&1 &
        started "dhcrelay -6"
    fi
}

ipv6_ready() {
    udp_bound "$NS_SERVER" 0223 udp6 || return 1
    if [ "$ROGUE6" = yes ]; then
        udp_bound "$NS_ROGUE6" 0223 udp6 && [ -s "$RADVD_PID_FILE" ] || return 1
    fi
    if [ "$RELAY6" = yes ]; then
        udp_bound "$NS_UPSTREAM" 0223 udp6 && udp_bound "$NS_RELAY" 0223 udp6 || return 1
    fi
}

# link_local NS IFACE: the interface's fe80:: address.
link_local() { ip -n "$1" -6 -o addr show dev "$2" scope link | awk '{ sub("/.*", "", $4); print $4; exit }'; }

ipv6_finish() {
    record CLIENT_LL6 "$(link_local "$NS_CLIENT" eth0)"
    record SERVER_LL6 "$(link_local "$NS_SERVER" eth0)"
    record RELAY_LL6 "$(link_local "$NS_RELAY" eth0)"
    [ "$ROGUE6" = no ] || record ROGUE6_LL6 "$(link_local "$NS_ROGUE6" eth0)"
}

#!/usr/bin/env bash
# A private LAN of network namespaces with real DHCP peers, for the tests and the demo.
#
#   client (eth0, fixed MAC) --+
#   server (dnsmasq)         --+-- bridge (own namespace)
#   relay  (dhcrelay) eth0   --+
#   relay eth1 --- routed link --- upstream (dnsmasq)
#
# lab.sh up [--ping] [--rogue] [--state FILE]  build one (--rogue: a third dnsmasq on the link); prints the state
# lab.sh exec STATE HOST -- CMD...        run CMD on client|server|relay|upstream|switch|rogue
# lab.sh down STATE                       remove everything that lab made
# lab.sh run [--ping] [--rogue] -- CMD... up, CMD with ORVANE_LAB_STATE set, down (also on failure)
# lab.sh sweep                            remove labs whose owner process has gone
set -euo pipefail

LAN_PREFIX=192.168.77
CLIENT_MAC_DEFAULT=02:4f:52:56:00:0a

die() { echo "lab: $*" >&2; exit 1; }

need_root() {
    [ "$(id -u)" -eq 0 ] || die "needs root (network namespaces, ports 67 and 68)"
}

find_tool() {
    local name=$1 path
    for path in "/usr/sbin/$name" "/sbin/$name" "$(command -v "$name" 2>/dev/null || true)"; do
        [ -n "$path" ] && [ -x "$path" ] && { echo "$path"; return 0; }
    done
    die "$name not found (install the Debian package $2)"
}

record() { printf '%s=%q\n' "$1" "$2" >>"$STATE"; printf -v "$1" '%s' "$2"; }

lab_down() {
    local state=$1
    [ -f "$state" ] || return 0
    # shellcheck disable=SC1090
    ( source "$state"
      for ns in ${NAMESPACES:-}; do
          ip netns pids "$ns" 2>/dev/null | xargs -r kill 2>/dev/null || true
      done
      for _ in $(seq 50); do
          busy=0
          for ns in ${NAMESPACES:-}; do
              [ -n "$(ip netns pids "$ns" 2>/dev/null)" ] && busy=1
          done
          [ $busy -eq 0 ] && break
          sleep 0.1
      done
      for ns in ${NAMESPACES:-}; do
          ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
          ip netns del "$ns" 2>/dev/null || true
      done
      if [ -n "${LAB_DIR:-}" ] && [ -d "$LAB_DIR" ] && [ -z "${ORVANE_LAB_KEEP:-}" ]; then
          rm -rf "$LAB_DIR"
      fi )
    rm -f "$state"
}

lab_sweep() {
    local dir owner
    for dir in /tmp/orvane-lab.*; do
        [ -f "$dir/state" ] || { [ -d "$dir" ] && [ -z "$(ls -A "$dir" 2>/dev/null)" ] && rmdir "$dir"; continue; }
        owner=$(sed -n 's/^OWNER_PID=//p' "$dir/state")
        if [ -n "$owner" ] && ! kill -0 "$owner" 2>/dev/null; then
            echo "lab: removing lab left by process $owner ($dir)" >&2
            lab_down "$dir/state"
        fi
    done
}

veth() {  # veth NS_A NAME_A NS_B NAME_B [MAC_A]
    if [ -n "${5:-}" ]; then
        ip link add "$2" netns "$1" address "$5" type veth peer name "$4" netns "$3"
    else
        ip link add "$2" netns "$1" type veth peer name "$4" netns "$3"
    fi
}

start_dnsmasq() {  # start_dnsmasq NS NAME RANGE
    local ns=$1 name=$2 range=$3 ping_option=--no-ping
    [ "$PING" = yes ] && ping_option=
    ip netns exec "$ns" "$DNSMASQ" --conf-file=/dev/null --port=0 --bind-interfaces --interface=eth0 \
        --except-interface=lo --no-resolv --no-hosts --user=root --group=root \
        --dhcp-range="$range,255.255.255.0,1h" --dhcp-leasefile="$LAB_DIR/$name.leases" \
        --pid-file="$LAB_DIR/$name.pid" --log-dhcp --log-facility="$LAB_DIR/$name.log" $ping_option \
        || die "dnsmasq did not start on $name (see $LAB_DIR/$name.log)"
}

lab_up() {
    local state="" owner=$PPID
    PING=no
    ROGUE=no
    while [ $# -gt 0 ]; do
        case $1 in
            --ping) PING=yes ;;
            --rogue) ROGUE=yes ;;
            --state) state=$2; shift ;;
            --owner) owner=$2; shift ;;
            *) die "unknown option $1" ;;
        esac
        shift
    done
    need_root
    command -v ip >/dev/null || die "ip not found (install iproute2)"
    DNSMASQ=$(find_tool dnsmasq dnsmasq-base)
    DHCRELAY=$(find_tool dhcrelay isc-dhcp-relay)
    lab_sweep

    local id
    id=$(od -An -N4 -tx1 /dev/urandom | tr -d ' \n')
    LAB_DIR=$(mktemp -d "/tmp/orvane-lab.$id.XXXX")
    chmod 755 "$LAB_DIR"
    STATE=$LAB_DIR/state
    : >"$STATE"
    [ -n "$state" ] || state=$LAB_DIR/state.public
    mkdir -p "$(dirname "$state")"
    # Whatever fails from here on, everything made so far is removed again.
    trap 'echo "lab: building the LAN failed" >&2; lab_down "$STATE"; rm -f "$state"' ERR

    record LAB_ID "$id"
    record LAB_DIR "$LAB_DIR"
    record OWNER_PID "$owner"
    record NS_SWITCH "orv-$id-switch"
    record NS_CLIENT "orv-$id-client"
    record NS_SERVER "orv-$id-server"
    record NS_RELAY "orv-$id-relay"
    record NS_UPSTREAM "orv-$id-upstream"
    if [ "$ROGUE" = yes ]; then
        # An unauthorised server on the client's link, for the probe's verdicts and flags.
        record NS_ROGUE "orv-$id-rogue"
        record ROGUE_IP "$LAN_PREFIX.3"
        record ROGUE_RANGE "$LAN_PREFIX.160,$LAN_PREFIX.190"
        record NAMESPACES "$NS_SWITCH $NS_CLIENT $NS_SERVER $NS_RELAY $NS_UPSTREAM $NS_ROGUE"
    else
        record NAMESPACES "$NS_SWITCH $NS_CLIENT $NS_SERVER $NS_RELAY $NS_UPSTREAM"
    fi
    record CLIENT_IF eth0
    record CLIENT_MAC "$CLIENT_MAC_DEFAULT"
    record CLIENT_IP "$LAN_PREFIX.10"
    record SERVER_IP "$LAN_PREFIX.1"
    record RELAY_IP "$LAN_PREFIX.2"
    record RELAY_UPLINK_IP 10.77.0.1
    record UPSTREAM_IP 10.77.0.2
    record SERVER_RANGE "$LAN_PREFIX.100,$LAN_PREFIX.150"
    record UPSTREAM_RANGE "$LAN_PREFIX.200,$LAN_PREFIX.250"
    record PING "$PING"

    local ns
    for ns in $NAMESPACES; do
        ip netns add "$ns" || die "cannot create network namespace $ns"
        ip -n "$ns" link set lo up
    done

    ip -n "$NS_SWITCH" link add br0 type bridge forward_delay 0 stp_state 0
    ip -n "$NS_SWITCH" link set br0 up

    veth "$NS_CLIENT" eth0 "$NS_SWITCH" p-client "$CLIENT_MAC"
    veth "$NS_SERVER" eth0 "$NS_SWITCH" p-server
    veth "$NS_RELAY" eth0 "$NS_SWITCH" p-relay
    veth "$NS_RELAY" eth1 "$NS_UPSTREAM" eth0
    for port in p-client p-server p-relay; do
        ip -n "$NS_SWITCH" link set "$port" master br0 up
    done
    if [ "$ROGUE" = yes ]; then
        veth "$NS_ROGUE" eth0 "$NS_SWITCH" p-rogue
        ip -n "$NS_SWITCH" link set p-rogue master br0 up
        ip -n "$NS_ROGUE" addr add "$ROGUE_IP/24" dev eth0
        ip -n "$NS_ROGUE" link set eth0 up
    fi

    ip -n "$NS_CLIENT" addr add "$CLIENT_IP/24" dev eth0
    ip -n "$NS_CLIENT" link set eth0 up
    # The limited broadcast needs a route out of the client; it has no default route.
    ip -n "$NS_CLIENT" route add 255.255.255.255/32 dev eth0

    ip -n "$NS_SERVER" addr add "$SERVER_IP/24" dev eth0
    ip -n "$NS_SERVER" link set eth0 up

    ip -n "$NS_RELAY" addr add "$RELAY_IP/24" dev eth0
    ip -n "$NS_RELAY" addr add "$RELAY_UPLINK_IP/30" dev eth1
    ip -n "$NS_RELAY" link set eth0 up
    ip -n "$NS_RELAY" link set eth1 up

    ip -n "$NS_UPSTREAM" addr add "$UPSTREAM_IP/30" dev eth0
    ip -n "$NS_UPSTREAM" link set eth0 up
    ip -n "$NS_UPSTREAM" route add "$LAN_PREFIX.0/24" via "$RELAY_UPLINK_IP"

    start_dnsmasq "$NS_SERVER" server "$SERVER_RANGE"
    start_dnsmasq "$NS_UPSTREAM" upstream "$UPSTREAM_RANGE"
    if [ "$ROGUE" = yes ]; then start_dnsmasq "$NS_ROGUE" rogue "$ROGUE_RANGE"; fi
    setsid ip netns exec "$NS_RELAY" "$DHCRELAY" -4 -d -pf "$LAB_DIR/relay.pid" -id eth0 -iu eth1 "$UPSTREAM_IP" \
        </dev/null >"$LAB_DIR/relay.log" 2>&1 &

    # The peers are ready when their sockets are bound.
    local tries
    for tries in $(seq 100); do
        if ip netns exec "$NS_RELAY" grep -q ':0043 ' /proc/net/udp 2>/dev/null \
            && ip netns exec "$NS_SERVER" grep -q ':0043 ' /proc/net/udp 2>/dev/null \
            && ip netns exec "$NS_UPSTREAM" grep -q ':0043 ' /proc/net/udp 2>/dev/null \
            && { [ "$ROGUE" = no ] || ip netns exec "$NS_ROGUE" grep -q ':0043 ' /proc/net/udp 2>/dev/null; }; then
            break
        fi
        [ "$tries" -eq 100 ] && die "the DHCP peers did not come up (see $LAB_DIR)"
        sleep 0.1
    done
    trap - ERR
    cp "$STATE" "$state"
    echo "$state"
}

lab_exec() {
    local state=$1 host=$2
    shift 2
    [ "${1:-}" = "--" ] && shift
    [ -f "$state" ] || die "no lab state at $state"
    # shellcheck disable=SC1090
    source "$state"
    local ns
    case $host in
        client) ns=$NS_CLIENT ;;
        server) ns=$NS_SERVER ;;
        relay) ns=$NS_RELAY ;;
        upstream) ns=$NS_UPSTREAM ;;
        switch) ns=$NS_SWITCH ;;
        rogue) ns=${NS_ROGUE:-}; [ -n "$ns" ] || die "this lab has no rogue host (lab.sh up --rogue)" ;;
        *) die "unknown host $host (client, server, relay, upstream, switch, rogue)" ;;
    esac
    exec ip netns exec "$ns" "$@"
}

lab_run() {
    local up_args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do up_args+=("$1"); shift; done
    [ "${1:-}" = "--" ] && shift
    RUN_STATE=$(lab_up "${up_args[@]}" --owner $$)
    trap 'lab_down "$RUN_STATE"' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    local status=0
    ORVANE_LAB_STATE=$RUN_STATE ORVANE_LAB=$(readlink -f "$0") "$@" || status=$?
    return $status
}

cmd=${1:-}
[ $# -gt 0 ] && shift
case $cmd in
    up) lab_up "$@" ;;
    exec) lab_exec "$@" ;;
    down) need_root; lab_down "${1:?state file}" ;;
    run) lab_run "$@" ;;
    sweep) need_root; lab_sweep ;;
    *) sed -n '2,12s/^# \{0,1\}//p' "$0"; exit 2 ;;
esac

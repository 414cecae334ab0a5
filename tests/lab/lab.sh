#!/usr/bin/env bash
# A private LAN of network namespaces with real DHCP peers, for the tests and the demo.
#
#   client (eth0, fixed MAC) --+
#   server (dnsmasq)         --+-- bridge br0 (host switch)
#   relay  (dhcrelay) eth0   --+
#   relay eth1 --- routed link --- upstream (dnsmasq)
#
# lab.sh up [--ping] [--rogue] [FEATURES] [--state FILE]  build one; prints the state file's path
# lab.sh exec STATE HOST -- CMD...   run CMD on a host: client server relay upstream switch, and the features' own
# lab.sh down STATE                  remove everything that lab made: processes, namespaces, files
# lab.sh run [UP OPTIONS] -- CMD...  up, CMD with ORVANE_LAB_STATE set, down (also on failure)
# lab.sh sweep                       remove labs whose owner process has gone
#   --ping: servers check an address before offering it (~3 s); --rogue: a third dnsmasq on the link (host rogue)
# The state file is shell to source: namespaces, addresses, MACs, pid and log files; HOSTS lists NAME=NAMESPACE.
# FEATURES come from the feature_*.sh files beside this one, each with its equipment and state described at its top.
set -euo pipefail

LAN_PREFIX=192.168.77
CLIENT_MAC_DEFAULT=02:4f:52:56:00:0a
LAB_HOME=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")

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

# lab_tool NAME: one of the lab's own programs, from ORVANE_BIN or the default build.
lab_tool() {
    local path=${ORVANE_BIN:-$LAB_HOME/../../build/bin}/$1
    [ -x "$path" ] || die "$1 not found at $path (set ORVANE_BIN, or build it: cmake --build build -t $1)"
    readlink -f "$path"
}

record() { printf '%s=%q\n' "$1" "$2" >>"$STATE"; printf -v "$1" '%s' "$2"; }

# add_host NAME NAMESPACE: a host that lab.sh exec reaches by NAME and that down removes.
add_host() { HOST_LIST+=("$1=$2"); }

need_value() { [ $# -ge 2 ] || die "$1 needs a value"; }

# started NAME: the last background job runs NAME in the foreground, and must live while the lab is built.
started() { STARTED+=("$!=$1"); }

# wait_until WHAT CHECK...: CHECK polled for up to 10 s; a started program that ends meanwhile ends the build.
wait_until() {
    local what=$1 job
    shift
    for _ in $(seq 200); do
        "$@" && return 0
        for job in "${STARTED[@]}"; do
            kill -0 "${job%%=*}" 2>/dev/null || die "${job#*=} ended while $what came up (see $LAB_DIR)"
        done
        sleep 0.05
    done
    die "$what did not come up (see $LAB_DIR)"
}

# udp_bound NS PORT_HEX [udp|udp6]: some socket in NS is bound to that UDP port.
udp_bound() { ip netns exec "$1" grep -q ":$2 " "/proc/net/${3:-udp}" 2>/dev/null; }

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

# run_dnsmasq NS NAME OPTIONS...: a dnsmasq with the lab's common options; pid, leases and log in LAB_DIR/NAME.*
run_dnsmasq() {
    local ns=$1 name=$2 ping_option=--no-ping
    shift 2
    [ "$PING" = yes ] && ping_option=
    ip netns exec "$ns" "$DNSMASQ" --conf-file=/dev/null --port=0 --bind-interfaces --except-interface=lo \
        --no-resolv --no-hosts --user=root --group=root --dhcp-leasefile="$LAB_DIR/$name.leases" \
        --pid-file="$LAB_DIR/$name.pid" --log-dhcp --log-facility="$LAB_DIR/$name.log" $ping_option "$@" \
        || die "dnsmasq did not start on $name (see $LAB_DIR/$name.log)"
}

start_dnsmasq() {  # start_dnsmasq NS NAME RANGE: the DHCPv4 server on the host's eth0
    run_dnsmasq "$1" "$2" --interface=eth0 --dhcp-range="$3,255.255.255.0,1h"
}

# The optional equipment: each feature_NAME.sh adds NAME to LAB_FEATURES and defines
#   NAME_option ARGS...  sets OPTION_TAKEN to the words it took of ARGS (0: not its option)
#   NAME_plan            records its state, adds its hosts (before any namespace exists)
#   NAME_wire            its links and addresses (after the base LAN's)
#   NAME_start           its programs
#   NAME_ready           succeeds once its programs serve (polled)
#   NAME_finish          optional: records what only the running programs tell
LAB_FEATURES=()
ENABLED_FEATURES=()
for feature_file in "$LAB_HOME"/feature_*.sh; do
    # shellcheck disable=SC1090
    [ ! -e "$feature_file" ] || source "$feature_file"
done

take_feature_option() {
    local feature
    for feature in "${LAB_FEATURES[@]}"; do
        OPTION_TAKEN=0
        "${feature}_option" "$@"
        if [ "$OPTION_TAKEN" -gt 0 ]; then
            [[ " ${ENABLED_FEATURES[*]} " == *" $feature "* ]] || ENABLED_FEATURES+=("$feature")
            return 0
        fi
    done
    return 1
}

run_features() {  # run_features PHASE
    local feature
    for feature in "${ENABLED_FEATURES[@]}"; do
        if [ "$1" != finish ] || [ "$(type -t "${feature}_finish")" = function ]; then "${feature}_$1"; fi
    done
}

base_ready() {
    udp_bound "$NS_RELAY" 0043 && udp_bound "$NS_SERVER" 0043 && udp_bound "$NS_UPSTREAM" 0043 \
        && { [ "$ROGUE" = no ] || udp_bound "$NS_ROGUE" 0043; }
}

lab_up() {
    local state="" owner=$PPID
    STARTED=()
    PING=no
    ROGUE=no
    while [ $# -gt 0 ]; do
        case $1 in
            --ping) PING=yes ;;
            --rogue) ROGUE=yes ;;
            --state) need_value "$@"; state=$2; shift ;;
            --owner) need_value "$@"; owner=$2; shift ;;
            *)
                take_feature_option "$@" || die "unknown option $1"
                shift $((OPTION_TAKEN - 1))
                ;;
        esac
        shift
    done
    need_root
    command -v ip >/dev/null || die "ip not found (install iproute2)"
    DNSMASQ=$(find_tool dnsmasq dnsmasq-base)
    DHCRELAY=$(find_tool dhcrelay isc-dhcp-relay)
    ETHTOOL=$(find_tool ethtool ethtool)
    lab_sweep

    local id
    id=$(od -An -N4 -tx1 /dev/urandom | tr -d ' \n')
    LAB_DIR=$(mktemp -d "/tmp/orvane-lab.$id.XXXX")
    chmod 755 "$LAB_DIR"
    STATE=$LAB_DIR/state
    : >"$STATE"
    [ -n "$state" ] || state=$LAB_DIR/state.public
    mkdir -p "$(dirname "$state")"
    # Whatever fails from here on, everything made so far is removed again. Errors end the build also where
    # lab_up runs in a command substitution (lab.sh run), which clears errexit.
    UP_STATE=$state
    set -e
    trap 'echo "lab: building the LAN failed; removing $LAB_DIR" >&2; lab_down "$STATE"; rm -f "$UP_STATE"' EXIT

    record LAB_ID "$id"
    record LAB_DIR "$LAB_DIR"
    record LAB_HOME "$LAB_HOME"
    record OWNER_PID "$owner"
    record FEATURES "${ENABLED_FEATURES[*]}"
    record NS_SWITCH "orv-$id-switch"
    record NS_CLIENT "orv-$id-client"
    record NS_SERVER "orv-$id-server"
    record NS_RELAY "orv-$id-relay"
    record NS_UPSTREAM "orv-$id-upstream"
    HOST_LIST=("client=$NS_CLIENT" "server=$NS_SERVER" "relay=$NS_RELAY" "upstream=$NS_UPSTREAM" "switch=$NS_SWITCH")
    if [ "$ROGUE" = yes ]; then
        # An unauthorised server on the client's link, for the probe's verdicts and flags.
        record NS_ROGUE "orv-$id-rogue"
        record ROGUE_IP "$LAN_PREFIX.3"
        record ROGUE_MAC 02:4f:52:56:00:03
        record ROGUE_RANGE "$LAN_PREFIX.160,$LAN_PREFIX.190"
        add_host rogue "$NS_ROGUE"
    fi
    record CLIENT_IF eth0
    record CLIENT_MAC "$CLIENT_MAC_DEFAULT"
    record CLIENT_IP "$LAN_PREFIX.10"
    record SERVER_IP "$LAN_PREFIX.1"
    record SERVER_MAC 02:4f:52:56:00:01
    record RELAY_IP "$LAN_PREFIX.2"
    record RELAY_MAC 02:4f:52:56:00:02
    record RELAY_UPLINK_IP 10.77.0.1
    record UPSTREAM_IP 10.77.0.2
    record SERVER_RANGE "$LAN_PREFIX.100,$LAN_PREFIX.150"
    record UPSTREAM_RANGE "$LAN_PREFIX.200,$LAN_PREFIX.250"
    record PING "$PING"
    run_features plan
    local namespaces="" host
    for host in "${HOST_LIST[@]}"; do namespaces+="${namespaces:+ }${host#*=}"; done
    record NAMESPACES "$namespaces"
    record HOSTS "${HOST_LIST[*]}"

    local ns
    for ns in $NAMESPACES; do
        ip netns add "$ns" || die "cannot create network namespace $ns"
        ip -n "$ns" link set lo up
        # Every address of the lab is unique by design, and duplicate address detection would hold each new one
        # (link-local ones too) tentative for a second or more, unusable by the servers and the probe.
        ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0
    done
    # The switch is layer 2 only: without IPv6 of its own it adds no solicitations or reports to the wire.
    ip netns exec "$NS_SWITCH" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1

    # No multicast snooping: every frame reaches every port, as on the simple switches this LAN stands for.
    ip -n "$NS_SWITCH" link add br0 type bridge forward_delay 0 stp_state 0 mcast_snooping 0
    ip -n "$NS_SWITCH" link set br0 up

    veth "$NS_CLIENT" eth0 "$NS_SWITCH" p-client "$CLIENT_MAC"
    veth "$NS_SERVER" eth0 "$NS_SWITCH" p-server "$SERVER_MAC"
    veth "$NS_RELAY" eth0 "$NS_SWITCH" p-relay "$RELAY_MAC"
    veth "$NS_RELAY" eth1 "$NS_UPSTREAM" eth0
    for port in p-client p-server p-relay; do
        ip -n "$NS_SWITCH" link set "$port" master br0 up
    done
    if [ "$ROGUE" = yes ]; then
        veth "$NS_ROGUE" eth0 "$NS_SWITCH" p-rogue "$ROGUE_MAC"
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
    run_features wire
    # A veth leaves UDP checksums to hardware that is not there, so captures would show partial sums that no real
    # wire carries. Summed in software by every sending host, the frames are those a real link would carry.
    for ns in $NAMESPACES; do
        [ "$ns" = "$NS_SWITCH" ] && continue
        ip netns exec "$ns" sh -c 'for device in $(ls /sys/class/net); do
            [ "$device" = lo ] || "$0" -K "$device" tx off >/dev/null || exit 1
        done' "$ETHTOOL"
    done

    start_dnsmasq "$NS_SERVER" server "$SERVER_RANGE"
    start_dnsmasq "$NS_UPSTREAM" upstream "$UPSTREAM_RANGE"
    if [ "$ROGUE" = yes ]; then start_dnsmasq "$NS_ROGUE" rogue "$ROGUE_RANGE"; fi
    setsid ip netns exec "$NS_RELAY" "$DHCRELAY" -4 -d -pf "$LAB_DIR/relay.pid" -id eth0 -iu eth1 "$UPSTREAM_IP" \
        </dev/null >"$LAB_DIR/relay.log" 2>&1 &
    started dhcrelay
    run_features start

    # The peers are ready when their sockets are bound.
    wait_until "the DHCP peers" base_ready
    local feature
    for feature in "${ENABLED_FEATURES[@]}"; do wait_until "--$feature's equipment" "${feature}_ready"; done
    run_features finish
    trap - EXIT
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
    local ns="" entry names=""
    for entry in ${HOSTS:-}; do
        names+="${names:+, }${entry%%=*}"
        [ "${entry%%=*}" = "$host" ] && ns=${entry#*=}
    done
    # Each VLAN's server host answers to vlanID too, also when one host serves them all (--vlans).
    if [ -z "$ns" ] && [[ $host =~ ^vlan([0-9]+)$ ]]; then
        local variable=VLAN_${BASH_REMATCH[1]}_NS
        ns=${!variable:-}
    fi
    [ -n "$ns" ] || die "this lab has no host $host (it has $names)"
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

usage() {
    sed -n '2,/^set -euo/s/^# \{0,1\}//p' "$0"
    echo "FEATURES:"
    for feature_file in "$LAB_HOME"/feature_*.sh; do
        [ -e "$feature_file" ] || continue
        awk '/^#   lab.sh up / { on = 1; sub(/^#   lab.sh up /, "  "); print; next }
             on && /^#             / { sub(/^#           /, ""); print; next } { on = 0 }' "$feature_file"
    done
}

cmd=${1:-}
[ $# -gt 0 ] && shift
case $cmd in
    up) lab_up "$@" ;;
    exec) lab_exec "$@" ;;
    down) need_root; lab_down "${1:?state file}" ;;
    run) lab_run "$@" ;;
    sweep) need_root; lab_sweep ;;
    *) usage; exit 2 ;;
esac

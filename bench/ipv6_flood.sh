#!/usr/bin/env bash
# orvane-probe -6 under a paced flood of 100,000 ADVERTISEs (another exchange's transaction id) and 100,000 router
# advertisements from one host of a private LAN: every one counted, and the probe's resident memory sampled from
# start to end. Run by hand, as root:
#
#   bench/ipv6_flood.sh [--count N] [--rate PER_SECOND] [--bin DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

if [ "${1:-}" = --inside ]; then
    count=$2 rate=$3 bin=$4
    source "$ORVANE_LAB_STATE"
    lab() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@"; }
    out=$(mktemp) rss=$(mktemp)
    wait_s=$(awk -v c="$count" -v r="$rate" 'BEGIN {printf "%d", 2 * c / r + 4}')
    # lab.sh, not the lab function: lab.sh and ip netns exec each exec the next, so $! is the probe itself, whose
    # /proc/PID/status is sampled.
    "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- "$bin/orvane-probe" -6 --interface eth0 --no-log \
        --format nagios --wait "$wait_s" >"$out" &
    probe=$!
    pid=$probe
    # The flood starts once the probe listens on port 546.
    for _ in $(seq 100); do lab client -- grep -q ':0222 ' /proc/net/udp6 && break; sleep 0.05; done
    ( while kill -0 "$pid" 2>/dev/null; do awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null; sleep 0.5; done ) >"$rss" &
    sampler=$!
    started=$(date +%s%N)
    sent=$(lab relay -- "$bin/ipv6_flood_sender" eth0 "$CLIENT_LL6" "$CLIENT_MAC" "$count" "$rate")
    took=$(( ($(date +%s%N) - started) / 1000000 ))
    wait "$probe" || true
    wait "$sampler" || true
    grep -E "^(IPv6:|Router $RELAY_LL6)" "$out" || true
    drops=$(sed -n 's/.*; \([0-9]*\) dropped by the kernel.*/\1/p' "$out")
    foreign=$(sed -n 's/^IPv6: \([0-9]*\) answers\{0,1\} with another transaction id.*/\1/p' "$out")
    adverts=$(sed -n "s/^Router $RELAY_LL6.* \([0-9]*\) advertisements.*/\1/p" "$out")
    echo "sent $sent in $took ms; counted $foreign ADVERTISEs with a foreign id and $adverts advertisements from the flooder; ${drops:-0} dropped by the kernel"
    echo "resident memory (kB), first sample after start-up, largest, last: $(head -n 1 "$rss") $(sort -n "$rss" | tail -n 1) $(tail -n 1 "$rss")"
    rm -f "$out" "$rss"
    exit 0
fi

count=100000 rate=20000 bin=$root/build/bin
while [ $# -gt 0 ]; do
    case $1 in
        --count) count=$2; shift ;;
        --rate) rate=$2; shift ;;
        --bin) bin=$2; shift ;;
        *) echo "usage: $0 [--count N] [--rate PER_SECOND] [--bin DIR]" >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "bench: needs root (a private LAN of network namespaces)" >&2; exit 1; }
for tool in orvane-probe ipv6_flood_sender; do
    [ -x "$bin/$tool" ] || { echo "bench: no $bin/$tool (build it first, or give --bin)" >&2; exit 1; }
done
echo "orvane-probe -6 under $count ADVERTISEs and $count router advertisements at $rate messages a second"
"$root/tests/lab/lab.sh" run --ipv6 -- "$here/ipv6_flood.sh" --inside "$count" "$rate" "$bin"

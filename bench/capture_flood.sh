#!/usr/bin/env bash
# A paced flood through the probe: 100,000 offers (lab_forge, from the relay host, each from a server of its own) to
# the client's port 68 at a rate the plain socket path keeps up with, read once through --capture (packet socket,
# ring, frame decoder) and once through the plain UDP socket. Every one must be counted, with the kernel's drop count
# 0, in both; the figure compared is replies per second of the probe's own CPU time (user + system), so the ratio
# says how much more or less work a reply costs through the capture path. Run by hand, as root:
#
#   bench/capture_flood.sh [--count N] [--rate PER_SECOND] [--bin DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

if [ "${1:-}" = --inside ]; then
    count=$2 rate=$3 bin=$4
    source "$ORVANE_LAB_STATE"
    lab() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@"; }
    wait_s=$(( count / rate + 4 ))
    out=$(mktemp)
    trap 'rm -f "$out"' EXIT
    # flood OPTIONS...: the probe with OPTIONS through the flood; prints "replies drops cpu_seconds".
    flood() {
        local probe
        # lab.sh, not the lab function: lab.sh and ip netns exec each exec the next, so $! is the probe itself.
        "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- "$bin/orvane-probe" "$@" --interface eth0 --no-log \
            --format json --wait "$wait_s" >"$out" 2>/dev/null &
        probe=$!
        local pid=$probe
        # Its DISCOVER out and both servers' offers in.
        for _ in $(seq 100); do [ "$(grep -c '"type":"reply"' "$out")" -ge 2 ] && break; sleep 0.05; done
        lab relay -- "$bin/lab_forge" "$CLIENT_IP" 68 "$count" "$rate" >/dev/null
        # The probe's CPU time, read just before its wait runs out (its process is still there to read).
        local ticks=0 tck
        tck=$(getconf CLK_TCK)
        while kill -0 "$pid" 2>/dev/null; do
            ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo "$ticks")
            sleep 0.2
        done
        wait "$probe" || true
        jq -r -s --argjson ticks "$ticks" --argjson tck "$tck" \
            '.[-1] | "\(.replies) \(.kernel_drops) \($ticks / $tck)"' "$out"
    }
    read -r cap_replies cap_drops cap_cpu < <(flood --capture)
    read -r plain_replies plain_drops plain_cpu < <(flood)
    expected=$((count + 2))  # the two servers' real offers besides the flood
    printf 'capture: %s replies (expected %s), kernel drops %s, %s s of CPU\n' "$cap_replies" "$expected" "$cap_drops" "$cap_cpu"
    printf 'plain:   %s replies (expected %s), kernel drops %s, %s s of CPU\n' "$plain_replies" "$expected" "$plain_drops" \
        "$plain_cpu"
    awk -v n="$count" -v c="$cap_cpu" -v p="$plain_cpu" -v r="$rate" 'BEGIN {
        printf "at %d/s: capture %.0f replies per CPU second, plain %.0f; capture/plain throughput %.2f\n",
               r, n / c, n / p, (n / c) / (n / p) }'
    [ "$cap_replies" -eq "$expected" ] && [ "$plain_replies" -eq "$expected" ] && [ "$cap_drops" -eq 0 ] \
        && [ "$plain_drops" -eq 0 ] || { echo "bench: a reply was lost" >&2; exit 1; }
    exit 0
fi

count=100000 rate=5000 bin=$root/build/bin
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
[ -x "$bin/orvane-probe" ] && [ -x "$bin/lab_forge" ] || { echo "bench: build orvane-probe and lab_forge first" >&2; exit 1; }
echo "orvane-probe: $count paced offers at $rate/s through --capture and through the plain socket"
ORVANE_BIN=$bin "$root/tests/lab/lab.sh" run -- "$here/capture_flood.sh" --inside "$count" "$rate" "$bin"

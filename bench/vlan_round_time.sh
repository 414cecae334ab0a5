#!/usr/bin/env bash
# Time to a verdict over 100 VLANs of a trunk: one `orvane-probe --capture --vlan 1-100 --expect ... --quick` round,
# against the same 100 VLANs probed one at a time (a whole probe per VLAN, each --quick too), in the same private LAN
# (lab.sh --vlans 100: one dnsmasq serving all 100 behind the lab's VLAN switch). Whole processes are timed: start-up,
# requests, replies, verdict, exit. Run by hand, as root:
#
#   bench/vlan_round_time.sh [--runs N] [--bin DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

if [ "${1:-}" = --inside ]; then
    runs=$2 bin=$3
    source "$ORVANE_LAB_STATE"
    lab() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@"; }
    expect=
    for vid in $VLAN_IDS; do
        server=VLAN_${vid}_SERVER_IP
        expect+="${expect:+,}$vid/${!server}"
    done
    # run_ms ARGS...: the probe's wall time in milliseconds; fails unless the verdict is 0.
    run_ms() {
        local started status=0
        started=$(date +%s%N)
        lab client -- "$bin/orvane-probe" --capture --interface eth0 --no-log --format json --quick --wait 10 "$@" \
            >/tmp/orvane-bench.$$ || status=$?
        local took=$(( ($(date +%s%N) - started) / 1000 ))
        [ "$status" -eq 0 ] || { echo "bench: verdict $status for ${*:0:3}" >&2; tail -c 600 /tmp/orvane-bench.$$ >&2; exit 1; }
        printf '%d.%03d\n' $((took / 1000)) $((took % 1000))
    }
    median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
    : >/tmp/orvane-bench-one.$$
    : >/tmp/orvane-bench-each.$$
    for ((k = 1; k <= runs; k++)); do
        one=$(run_ms --vlan 1-100 --expect "$expect")
        [ "$(jq -r -s '.[-1] | "\(.replies) \(.kernel_drops) \([.vlans[] | select(.verdict.status == 0)] | length)"' \
            /tmp/orvane-bench.$$)" = "100 0 100" ] || { echo "bench: not 100 replies, 100 VLANs at 0" >&2; exit 1; }
        each=0
        for vid in $VLAN_IDS; do
            server=VLAN_${vid}_SERVER_IP
            took=$(run_ms --vlan "$vid" --expect "$vid/${!server}")
            each=$(awk -v a="$each" -v b="$took" 'BEGIN {printf "%.3f", a + b}')
        done
        echo "$one" >>/tmp/orvane-bench-one.$$
        echo "$each" >>/tmp/orvane-bench-each.$$
        printf 'run %2d   100 VLANs in one round %9s ms   one VLAN at a time %10s ms\n' "$k" "$one" "$each"
    done
    o=$(median </tmp/orvane-bench-one.$$)
    e=$(median </tmp/orvane-bench-each.$$)
    rm -f /tmp/orvane-bench.$$ /tmp/orvane-bench-one.$$ /tmp/orvane-bench-each.$$
    echo "median   one round $o ms   one VLAN at a time $e ms   $(awk -v e="$e" -v o="$o" 'BEGIN {printf "%.1f", e / o}') times faster"
    exit 0
fi

runs=3 bin=$root/build/bin
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift ;;
        --bin) bin=$2; shift ;;
        *) echo "usage: $0 [--runs N] [--bin DIR]" >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "bench: needs root (a private LAN of network namespaces)" >&2; exit 1; }
[ -x "$bin/orvane-probe" ] || { echo "bench: no $bin/orvane-probe (build first, or give --bin)" >&2; exit 1; }
echo "orvane-probe --capture --quick over 100 VLANs: one round against one probe per VLAN; $runs runs"
ORVANE_BIN=$bin "$root/tests/lab/lab.sh" run --vlans 100 -- "$here/vlan_round_time.sh" --inside "$runs" "$bin"

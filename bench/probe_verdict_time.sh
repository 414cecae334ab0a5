#!/usr/bin/env bash
# Time from start to verdict: orvane-probe --expect (both lab servers) --quick against the same probe without
# --quick, which waits out a fixed timeout as discovery tools commonly do. Both run in turn, in one private
# LAN, as whole processes (start-up, request, replies, verdict, exit). Run by hand, as root:
#
#   bench/probe_verdict_time.sh [--runs N] [--ping] [--ipv6] [--bin DIR]
#
# --ping builds the LAN with servers that check an address first (they answer a new client after about
# 3 s); each run is then a new client. --ipv6 runs both families (-4 -6), expecting the lab's DHCP and DHCPv6
# servers and naming its router with --expect-router.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

if [ "${1:-}" = --inside ]; then
    shift
    runs=$1 bin=$2
    # With servers that ping first, each run is a new client (a random MAC), so each offer waits for the ping.
    client=()
    [ "${3:-}" = ping ] && client=(--mac random)
    source "$ORVANE_LAB_STATE"
    expect=(--expect "$SERVER_IP,$UPSTREAM_IP")
    if [ "${4:-}" = ipv6 ]; then
        client+=(-4 -6 --interface eth0)
        expect=(--expect "$SERVER_IP,$UPSTREAM_IP,$SERVER6_DUID,$UPSTREAM6_DUID" --expect-router "$SERVER_LL6")
    fi
    lab() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@"; }
    # run_ms ARGS...: the probe's wall time in milliseconds; fails unless the verdict is 0.
    run_ms() {
        local started status=0
        started=$(date +%s%N)
        lab client -- "$bin/orvane-probe" --no-log --format json "${client[@]}" "$@" >/tmp/orvane-bench.$$ || status=$?
        local took=$(( ($(date +%s%N) - started) / 1000 ))
        [ "$status" -eq 0 ] || { echo "bench: verdict $status for $*" >&2; exit 1; }
        printf '%d.%03d\n' $((took / 1000)) $((took % 1000))
    }
    median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
    : >/tmp/orvane-bench-quick.$$
    : >/tmp/orvane-bench-fixed.$$
    for ((k = 1; k <= runs; k++)); do
        quick=$(run_ms "${expect[@]}" --quick)
        fixed=$(run_ms "${expect[@]}")
        echo "$quick" >>/tmp/orvane-bench-quick.$$
        echo "$fixed" >>/tmp/orvane-bench-fixed.$$
        printf 'run %2d   --quick %9s ms   fixed wait %9s ms\n' "$k" "$quick" "$fixed"
    done
    q=$(median </tmp/orvane-bench-quick.$$)
    f=$(median </tmp/orvane-bench-fixed.$$)
    rm -f /tmp/orvane-bench.$$ /tmp/orvane-bench-quick.$$ /tmp/orvane-bench-fixed.$$
    echo "median   --quick $q ms   fixed wait (5 s default) $f ms   ratio $(awk -v f="$f" -v q="$q" 'BEGIN {printf "%.1f", f / q}'):1"
    exit 0
fi

runs=5 ping=() ipv6=() bin=$root/build/bin
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift ;;
        --ping) ping=(--ping) ;;
        --ipv6) ipv6=(--ipv6 --relay6) ;;
        --bin) bin=$2; shift ;;
        *) echo "usage: $0 [--runs N] [--ping] [--ipv6] [--bin DIR]" >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "bench: needs root (a private LAN of network namespaces)" >&2; exit 1; }
[ -x "$bin/orvane-probe" ] || { echo "bench: no $bin/orvane-probe (build first, or give --bin)" >&2; exit 1; }
if [ ${#ipv6[@]} -gt 0 ]; then
    echo "orvane-probe -4 -6, time to verdict with --expect naming the lab's four servers and --expect-router its router; $runs runs each${ping:+, servers ping first}"
else
    echo "orvane-probe, time to verdict with --expect naming both lab servers; $runs runs each${ping:+, servers ping first}"
fi
"$root/tests/lab/lab.sh" run "${ping[@]}" "${ipv6[@]}" -- "$here/probe_verdict_time.sh" --inside "$runs" "$bin" \
    "${ping:+ping}" "${ipv6:+ipv6}"

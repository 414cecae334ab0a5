#!/usr/bin/env bash
# The time one /metrics scrape takes against a bare HTTP round trip to the same exposer (a path it does not
# serve, answered 404), both from the client host of a private LAN to orvane-probe --monitor there, with its
# two servers answering each round. Run by hand, as root:
#
#   bench/scrape_time.sh [--requests N] [--bin DIR]
#
# Each figure is the median and 90th percentile of N requests, each on a connection of its own (as Prometheus
# opens one per scrape when keep-alive is off), timed by curl from connect to the last byte.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

if [ "${1:-}" = --inside ]; then
    requests=$2 bin=$3
    source "$ORVANE_LAB_STATE"
    lab() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@"; }
    pid_file=$LAB_DIR/bench.pid
    lab client -- sh -c 'echo $$ >"$1"; shift; exec "$@"' - "$pid_file" "$bin/orvane-probe" --monitor --interval 1 \
        --no-log --format json --expect "$SERVER_IP,$UPSTREAM_IP" --metrics-listen "$CLIENT_IP:9464" >/dev/null 2>&1 &
    trap 'kill "$(cat "$pid_file")" 2>/dev/null || true' EXIT
    for _ in $(seq 100); do
        lab client -- curl -s "http://$CLIENT_IP:9464/metrics" 2>/dev/null | grep -q '^orvane_rounds_total [2-9]' && break
        sleep 0.1
    done
    # times PATH: one time_total (seconds) per request, on a fresh connection each.
    times() {
        lab client -- sh -c 'for k in $(seq "$1"); do curl -s -o /dev/null -w "%{time_total}\n" "$2"; done' - \
            "$requests" "http://$CLIENT_IP:9464$1"
    }
    stats() { sort -n | awk '{v[NR] = $1 * 1000} END {printf "median %.3f ms, p90 %.3f ms", v[int((NR + 1) / 2)], v[int(NR * 0.9)]}'; }
    lab client -- curl -s "http://$CLIENT_IP:9464/metrics" >"$LAB_DIR/scrape"
    size=$(wc -c <"$LAB_DIR/scrape")
    series=$(grep -c '^orvane_server_replies_total{' "$LAB_DIR/scrape")
    bare=$(times /none | stats)
    scrape=$(times /metrics | stats)
    bare_again=$(times /none | stats)
    echo "bare round trip (404):   $bare (again after the scrapes: $bare_again)"
    echo "/metrics scrape:         $scrape ($size bytes, $series per-server series)"
    exit 0
fi

requests=500 bin=$root/build/bin
while [ $# -gt 0 ]; do
    case $1 in
        --requests) requests=$2; shift ;;
        --bin) bin=$2; shift ;;
        *) echo "usage: $0 [--requests N] [--bin DIR]" >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "bench: needs root (a private LAN of network namespaces)" >&2; exit 1; }
[ -x "$bin/orvane-probe" ] || { echo "bench: no $bin/orvane-probe (build first, or give --bin)" >&2; exit 1; }
bin=$(readlink -f "$bin")
ORVANE_BIN=$bin "$root/tests/lab/lab.sh" run -- "$0" --inside "$requests" "$bin"

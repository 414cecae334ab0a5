#!/usr/bin/env bash
# A hostile LAN against the metrics: 16 connections, idle or a byte a second, leave scrapes answered within 2 s;
# 12,000 forged servers leave at most 4096 series, then (--metrics-retire 3) only the real servers'; SIGTERM with
# 4096 servers tallied ends the probe within a second.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
URL=http://$CLIENT_IP:9464/metrics
probe_bg client --monitor --interval 1 --no-log --format json --expect "$SERVER_IP,$UPSTREAM_IP" \
    --metrics-listen "$CLIENT_IP:9464" --metrics-retire 3 >/dev/null 2>"$WORK/err"
scrape() { lab client -- curl -s --max-time 5 "$URL" >"$WORK/scrape" || true; }
value() { awk -v name="$1" '$1 == name {print $2}' "$WORK/scrape"; }
series() { grep -c '^orvane_server_replies_total{' "$WORK/scrape" || true; }
scraped() { scrape; local n; n=$(eval "$1"); test "${n:-0}" "$2" "$3"; }  # scraped COMMANDS TEST N: on a new scrape
within 10 "two rounds in the metrics" scraped "value orvane_rounds_total" -ge 2
lab_bg relay -- bash -c 'trap "" PIPE; end=$((SECONDS + 15))
    idle() { while [ $SECONDS -lt $end ]; do exec 3<>"/dev/tcp/$1/9464"; read -r -t 15 -u 3 _ || true; done; }
    dribble() { while [ $SECONDS -lt $end ]; do exec 3<>"/dev/tcp/$1/9464"; while [ $SECONDS -lt $end ] && printf G >&3; do sleep 1; done; done; }
    for _ in 1 2 3 4 5 6 7 8; do idle "$1" & dribble "$1" & done; wait' - "$CLIENT_IP" 2>/dev/null; HOSTILE=$!
within 10 "16 hostile connections" eval '[ "$(lab client -- ss -Htn state established "( sport = :9464 )" | wc -l)" -ge 16 ]'
times=$(for _ in $(seq 10); do lab client -- curl -s -o /dev/null --max-time 5 -w '%{time_total}\n' "$URL"; sleep 0.5; done)
worst=$(sort -n <<<"$times" | tail -n 1)  # of ten scrapes, paced over 5 s as the dribblers send
[ "$(wc -l <<<"$times")" -eq 10 ] && awk -v w="$worst" 'BEGIN {exit !(w < 2)}' || fail "scrapes beside 16 connections: $times"
sent=$(lab relay -- "$ORVANE_BIN/lab_forge" "$CLIENT_IP" 68 12000 4000) || fail "the forger failed"
within 5 "a round after the forging" scraped "value orvane_rounds_total" -gt "$(scrape; value orvane_rounds_total)"
forged=$(series) size=$(wc -c <"$WORK/scrape")
[ "$forged" -le 4096 ] && [ "$(value orvane_server_series_dropped_total)" -gt 0 ] || fail "$forged series after forging"
within 15 "the forged series retired" scraped series -eq 2
[ "$(value orvane_server_series_retired_total)" -gt 0 ] || fail "series retired, none counted"
wait "$HOSTILE" || true; started=$(date +%s%N) && signal_probe TERM
wait "$PROBE_PID" || true; PROBE_PID= took=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$took" -lt 1000 ] || fail "SIGTERM with 4096 servers tallied: ended after $took ms"
pass "scrapes within $worst s beside 16 connections; $sent forged: $forged series, $size bytes; SIGTERM in $took ms"

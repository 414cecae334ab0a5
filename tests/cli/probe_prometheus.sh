#!/usr/bin/env bash
# Debian's Prometheus on the lab's monitoring host scrapes three probes in --monitor, one on each of three client
# LANs (lab.sh run --fleet): the values read back through its query API, the contrib alert rules loaded; a rogue
# started on LAN 2 fires DhcpUnexpectedServer for that LAN's probe alone, and that probe says so once on stderr
# and runs its --on-change command; the rogue stopped, the event clears.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
RULES=$(cd "$(dirname "$0")/../../contrib/prometheus" && pwd)/orvane-probe.rules.yml
PROM=$WORK/prometheus
mkdir -p "$PROM"
declare -A PROBE_OF

# start_monitor HOST CLIENT_IP EXPECT [OPTIONS...]: orvane-probe --monitor on HOST, metrics on CLIENT_IP:9464;
# stderr in $WORK/HOST.err, its process id in PROBE_OF[HOST].
start_monitor() {
    local host=$1 address=$2 expect=$3
    shift 3
    probe_bg "$host" --monitor --interval 1 --no-log --format json --expect "$expect" \
        --metrics-listen "$address:9464" "$@" >/dev/null 2>"$WORK/$host.err"
    PROBE_OF[$host]=$PROBE_PID
}
start_monitor client "$CLIENT_IP" "$SERVER_IP,$UPSTREAM_IP"
EVENTS=$WORK/events
export EVENTS
start_monitor client2 "$CLIENT2_IP" "$SERVER2_IP" --on-change 'echo "$ORVANE_EVENT $ORVANE_SERVER $ORVANE_INTERFACE $ORVANE_EXPECTED $ORVANE_ROUND" >>"$EVENTS"'
start_monitor client3 "$CLIENT3_IP" "$SERVER3_IP"

cat >"$PROM/prometheus.yml" <<CONFIG
global:
  scrape_interval: 1s
  scrape_timeout: 1s
  evaluation_interval: 1s
rule_files:
  - $RULES
scrape_configs:
  - job_name: orvane
    static_configs:
      - targets: ["$CLIENT_IP:9464", "$CLIENT2_IP:9464", "$CLIENT3_IP:9464"]
CONFIG
# Listening on the monitoring host's loopback only; nothing else of it is needed.
lab_bg monitor -- prometheus --config.file="$PROM/prometheus.yml" --storage.tsdb.path="$PROM/data" \
    --web.listen-address=127.0.0.1:9090 --log.level=warn >"$PROM/log" 2>&1

# query PROMQL: the query API's result vector as "instance value" lines, sorted.
query() {
    lab monitor -- curl -s --max-time 2 -G http://127.0.0.1:9090/api/v1/query --data-urlencode "query=$1" \
        | jq -r '.data.result[] | "\(.metric.instance) \(.value[1])"' | sort
}
# firing ALERT: "instance server" of each firing alert of that name.
firing() {
    lab monitor -- curl -s --max-time 2 http://127.0.0.1:9090/api/v1/alerts \
        | jq -r --arg a "$1" '.data.alerts[] | select(.labels.alertname == $a and .state == "firing")
                               | "\(.labels.instance) \(.labels.server)"' | sort
}
# within SECONDS WHAT CHECK...: CHECK polled every 0.2 s.
within() {
    local seconds=$1 what=$2
    shift 2
    for _ in $(seq $((seconds * 5))); do "$@" && return 0; sleep 0.2; done
    cat "$PROM/log" >&2
    fail "$what within $seconds s"
}
three_up() { [ "$(query 'orvane_rounds_total > 1' 2>/dev/null | wc -l)" -eq 3 ]; }
started=$(date +%s%N)
within 30 "three probes scraped" three_up
scraped_ms=$(( ($(date +%s%N) - started) / 1000000 ))

# The values, as Prometheus holds them.
[ "$(query 'orvane_servers')" = "$(printf '%s 2\n%s 1\n%s 1' "$CLIENT_IP:9464" "$CLIENT2_IP:9464" "$CLIENT3_IP:9464" | sort)" ] \
    || fail "servers: $(query orvane_servers)"
[ "$(query 'orvane_round_success' | awk '{print $2}' | sort -u)" = 1 ] || fail "success: $(query orvane_round_success)"
[ "$(query 'sum by (instance) (orvane_unexpected_servers + orvane_expected_servers_missing)' | awk '{print $2}' | sort -u)" = 0 ] \
    || fail "unexpected or missing at the start"
[ "$(query "orvane_server_answered{instance=\"$CLIENT_IP:9464\",server=\"$UPSTREAM_IP\",relay=\"$RELAY_IP\",interface=\"\",expected=\"true\",family=\"ipv4\"}")" = "" ] \
    || fail "the relayed server is labelled with no interface"
[ "$(query "orvane_server_answered{instance=\"$CLIENT_IP:9464\",server=\"$UPSTREAM_IP\",relay=\"$RELAY_IP\",interface=\"$CLIENT_IF\",expected=\"true\",family=\"ipv4\",vlan=\"\"}")" = "$CLIENT_IP:9464 1" ] \
    || fail "the relayed server's labels: $(query "orvane_server_answered{instance=\"$CLIENT_IP:9464\"}")"
[ "$(query 'orvane_server_first_offer_seconds < 1' | wc -l)" -eq 4 ] || fail "first offers: $(query orvane_server_first_offer_seconds)"
[ "$(query 'orvane_round_interval_seconds' | awk '{print $2}' | sort -u)" = 1 ] || fail "interval"
[ "$(query 'orvane_build_info{version=~"[0-9]+[.][0-9]+[.][0-9]+.*"} == 1' | wc -l)" -eq 3 ] || fail "build info: $(query orvane_build_info)"
# increase() needs two scrapes of a probe, which the first check may have come before.
replies_grow() { query 'increase(orvane_server_replies_total[5s]) > 0' | grep -q .; }
within 10 "replies grow" replies_grow
[ -z "$(firing DhcpUnexpectedServer)" ] || fail "an alert without a rogue: $(firing DhcpUnexpectedServer)"

# A rogue on LAN 2: the alert fires for LAN 2's probe only, the probe says so once and runs its command.
lab rogue2 -- "$(command -v dnsmasq || echo /usr/sbin/dnsmasq)" --conf-file=/dev/null --port=0 --bind-interfaces \
    --interface=eth0 --except-interface=lo --no-resolv --no-hosts --user=root --group=root \
    --dhcp-leasefile="$WORK/rogue2.leases" --pid-file="$WORK/rogue2.pid" --no-ping \
    --dhcp-range="$ROGUE2_RANGE,255.255.255.0,1h" || fail "the rogue did not start"
started=$(date +%s%N)
rogue_fires() { [ "$(firing DhcpUnexpectedServer)" = "$CLIENT2_IP:9464 $ROGUE2_IP" ]; }
within 30 "DhcpUnexpectedServer firing for LAN 2 alone" rogue_fires
alert_ms=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$(query 'orvane_unexpected_servers > 0')" = "$CLIENT2_IP:9464 1" ] || fail "unexpected: $(query orvane_unexpected_servers)"
[ "$(query 'orvane_round_status')" = "$(printf '%s 0\n%s 2\n%s 0' "$CLIENT_IP:9464" "$CLIENT2_IP:9464" "$CLIENT3_IP:9464" | sort)" ] \
    || fail "statuses: $(query orvane_round_status)"
# The rogue answers two more rounds before it stops: each event comes once, not once a round.
rogue_replies() { query "orvane_server_replies_total{server=\"$ROGUE2_IP\"}" | awk '{ s += $2 } END { print s + 0 }'; }
seen=$(rogue_replies)
answered_twice_more() { [ "$(rogue_replies)" -ge $((seen + 2)) ]; }
within 10 "the rogue's replies counted in two more rounds" answered_twice_more
kill "$(cat "$WORK/rogue2.pid")"
gone() { grep -q "^unexpected-server-gone $ROGUE2_IP eth0 false " "$EVENTS" 2>/dev/null; }
within 10 "the rogue's departure as an event" gone
[ "$(grep -c "^orvane-probe: event unexpected-server server=$ROGUE2_IP family=ipv4 interface=eth0 vlan= relay= expected=false round=[0-9]* time=" "$WORK/client2.err")" -eq 1 ] \
    || fail "LAN 2's probe did not say the rogue once: $(grep event "$WORK/client2.err")"
[ "$(grep -c "^unexpected-server $ROGUE2_IP eth0 false [0-9]*$" "$EVENTS")" -eq 1 ] || fail "command runs: $(cat "$EVENTS")"
! grep -q 'event' "$WORK/client.err" "$WORK/client3.err" || fail "events on LANs without a rogue"

# SIGTERM ends each probe within a second, with the verdict of its run.
for host in client client2 client3; do
    started=$(date +%s%N)
    kill -TERM "${PROBE_OF[$host]}"
    wait "${PROBE_OF[$host]}" || true
    took=$(( ($(date +%s%N) - started) / 1000000 ))
    [ "$took" -lt 1000 ] || fail "$host took $took ms to end after SIGTERM"
done
pass "Prometheus scraped 3 probes after $scraped_ms ms; the rogue on LAN 2 alone fired DhcpUnexpectedServer after $alert_ms ms; events once each"

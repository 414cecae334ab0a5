#!/usr/bin/env bash
# Debian's Nagios 4 runs orvane-probe as a service check on the lab's client host, with the command definitions
# from contrib/nagios: with the authorised servers alone the service is OK, and CRITICAL once a rogue answers, as
# Nagios's own status file says. Runs on a lab of its own: lab.sh run --rogue (the rogue held back at first).
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
COMMANDS=$(cd "$(dirname "$0")/../../contrib/nagios" && pwd)/orvane-probe.cfg
NAG=$WORK/nagios
mkdir -p "$NAG/checkresults"

# The rogue waits until the first verdict is in.
kill "$(cat "$LAB_DIR/rogue.pid")"

# The packaged probe is /usr/bin/orvane-probe; here it is the build's.
sed "s|/usr/bin/orvane-probe |$ORVANE_BIN/orvane-probe |" "$COMMANDS" >"$NAG/commands.cfg"
grep -q "$ORVANE_BIN/orvane-probe --format nagios" "$NAG/commands.cfg" || fail "no command line to adapt in $COMMANDS"
cat >"$NAG/objects.cfg" <<CONFIG
define timeperiod {
    timeperiod_name always
    alias           Always
    monday          00:00-24:00
    tuesday         00:00-24:00
    wednesday       00:00-24:00
    thursday        00:00-24:00
    friday          00:00-24:00
    saturday        00:00-24:00
    sunday          00:00-24:00
}
define command {
    command_name    notify_none
    command_line    /bin/true
}
define contact {
    contact_name                    lab
    host_notifications_enabled      0
    service_notifications_enabled   0
    host_notification_period        always
    service_notification_period     always
    host_notification_options       n
    service_notification_options    n
    host_notification_commands      notify_none
    service_notification_commands   notify_none
}
define host {
    host_name               client
    address                 $CLIENT_IP
    max_check_attempts      1
    check_period            always
    contacts                lab
    notification_period     always
}
define service {
    host_name               client
    service_description     DHCP servers
    check_command           check_orvane_dhcp!$CLIENT_IF!$SERVER_IP,$UPSTREAM_IP
    max_check_attempts      1
    check_interval          2
    retry_interval          2
    check_period            always
    contacts                lab
    notification_period     always
}
CONFIG
# Seconds for every interval (interval_length=1), the status file rewritten each second, no state kept.
cat >"$NAG/nagios.cfg" <<CONFIG
log_file=$NAG/nagios.log
cfg_file=$NAG/objects.cfg
cfg_file=$NAG/commands.cfg
object_cache_file=$NAG/objects.cache
precached_object_file=$NAG/objects.precache
status_file=$NAG/status.dat
status_update_interval=1
nagios_user=root
nagios_group=root
check_external_commands=0
lock_file=$NAG/nagios.pid
temp_file=$NAG/nagios.tmp
temp_path=$NAG
check_result_path=$NAG/checkresults
check_result_reaper_frequency=1
retain_state_information=0
use_syslog=0
interval_length=1
max_service_check_spread=1
max_host_check_spread=1
execute_host_checks=0
enable_notifications=0
check_for_updates=0
CONFIG
lab client -- nagios4 -v "$NAG/nagios.cfg" >"$NAG/verify" 2>&1 || { cat "$NAG/verify" >&2; fail "nagios4 -v"; }
# The probe runs in the run folder, as from a supervisor.
( cd "$RUN" && exec "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- nagios4 "$NAG/nagios.cfg" ) >"$NAG/out" 2>&1 &

# service FIELD: the DHCP service's FIELD in Nagios's status file.
service() {
    awk -v f="$1" '/^servicestatus \{/ { on = 1 } on && $0 ~ "^[ \t]*" f "=" { sub("^[ \t]*" f "=", ""); print; exit }
                   /^[ \t]*\}/ { on = 0 }' "$NAG/status.dat" 2>/dev/null
}
# state_becomes N OUTPUT_PATTERN: the service's hard state N with output matching, after a check that ran.
state_becomes() {
    for _ in $(seq 150); do
        if [ "$(service has_been_checked)" = 1 ] && [ "$(service current_state)" = "$1" ] \
            && [ "$(service state_type)" = 1 ] && [[ "$(service plugin_output)" =~ $2 ]]; then
            return 0
        fi
        sleep 0.2
    done
    cat "$NAG/nagios.log" "$NAG/out" >&2
    fail "the service did not become $1 ($2): state $(service current_state), output '$(service plugin_output)'"
}

state_becomes 0 '^DHCP OK - 2 servers answered, all expected$'
perf=$(service performance_data)
[[ $perf =~ ^servers=2\;\;\;\;\ unexpected=0\;\;\;\;\ missing=0\;\;\;\;\ first_reply=0\.[0-9]{3}s\;\;\;\;\ verdict=5\.[0-9]{3}s\;\;\;\;$ ]] \
    || fail "performance data: '$perf'"
long=$(service long_plugin_output)
[[ $long == *"Server $SERVER_IP expected: 1 reply"* ]] || fail "long output: '$long'"

lab rogue -- "$(command -v dnsmasq || echo /usr/sbin/dnsmasq)" --conf-file=/dev/null --port=0 --bind-interfaces \
    --interface=eth0 --except-interface=lo --no-resolv --no-hosts --user=root --group=root \
    --dhcp-leasefile="$LAB_DIR/rogue.leases" --pid-file="$LAB_DIR/rogue.pid" --no-ping \
    --dhcp-range="$ROGUE_RANGE,255.255.255.0,1h" || fail "the rogue did not start"
state_becomes 2 "^DHCP CRITICAL - unexpected server $ROGUE_IP offered 192\\.168\\.77\\.1[6-9][0-9]\$"
[[ $(service performance_data) == "servers=3;;;; unexpected=1;;;; missing=0;;;; "* ]] \
    || fail "performance data with the rogue: '$(service performance_data)'"
pass "Nagios 4: OK with the authorised servers ($perf), CRITICAL once the rogue answered: $(service plugin_output)"

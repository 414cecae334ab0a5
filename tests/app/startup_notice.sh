#!/usr/bin/env bash
# A failed start-up told to the desktop: orvane, refused port 67, raises one notification on a private
# session bus (a stand-in service records it) when its stderr is not a terminal, none from a terminal, and
# nothing more without a session bus; it always ends with status 1 and opens no window. Without its helper,
# the line and the notification say so.
# Runs as nobody in a network namespace of its own, where binding port 67 is refused.
# Usage: startup_notice.sh ORVANE STAND_IN HELPER
set -euo pipefail
orvane=$1
stand_in=$2
helper=$3
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root for a network namespace and a user of its own"; exit 77; }
work=$(mktemp -d)
chmod 755 "$work"
bus_pid=
service_pid=
cleanup() {
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Background jobs only: the job's own process becomes the program, so cleanup can end it.
as_nobody() { exec setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all "$@"; }
# Laid out as installed, the helper in libexec/orvane beside bin/.
mkdir -p "$work/bin" "$work/libexec/orvane"
cp "$orvane" "$work/bin/orvane"
cp "$helper" "$work/libexec/orvane/orvane-helper"
chmod 755 "$work/bin" "$work/libexec" "$work/libexec/orvane"
chown nobody "$work"
touch "$work/calls" && chown nobody "$work/calls"

as_nobody dbus-daemon --session --nofork --print-address=1 --address="unix:path=$work/bus" >"$work/address" &
bus_pid=$!
for _ in $(seq 100); do [ -s "$work/address" ] && break; sleep 0.05; done
address=$(head -n1 "$work/address")
[ -n "$address" ] || fail "the private session bus did not start"
DBUS_SESSION_BUS_ADDRESS=$address as_nobody "$stand_in" "$work/calls" >"$work/ready" &
service_pid=$!
for _ in $(seq 100); do grep -q ready "$work/ready" 2>/dev/null && break; sleep 0.05; done
grep -q ready "$work/ready" || fail "the notification stand-in did not start"

# run_orvane HOW: the program as nobody in a namespace of its own, its stderr in $work/err; status in $status.
run_orvane() {
    status=0
    case $1 in
        desktop) DBUS_SESSION_BUS_ADDRESS=$address unshare -n setpriv --reuid=nobody --regid=nogroup --clear-groups \
            --inh-caps=-all env QT_QPA_PLATFORM=xcb DISPLAY=:31999 "$work/bin/orvane" 2>"$work/err" || status=$? ;;
        terminal) DBUS_SESSION_BUS_ADDRESS=$address unshare -n setpriv --reuid=nobody --regid=nogroup --clear-groups \
            --inh-caps=-all script -qefc "env QT_QPA_PLATFORM=xcb DISPLAY=:31999 $work/bin/orvane" /dev/null \
            >"$work/err" 2>&1 || status=$? ;;
        no_bus) env -u DBUS_SESSION_BUS_ADDRESS unshare -n setpriv --reuid=nobody --regid=nogroup --clear-groups \
            --inh-caps=-all env QT_QPA_PLATFORM=xcb DISPLAY=:31999 "$work/bin/orvane" 2>"$work/err" || status=$? ;;
    esac
}

run_orvane desktop
[ "$status" -eq 1 ] || fail "from the desktop: status $status, not 1"
line=$(head -n1 "$work/err")
case $line in "orvane: cannot bind UDP port 67: Permission denied; "*"setcap cap_net_bind_service=+ep $work/libexec/orvane/orvane-helper") ;;
    *) fail "stderr: $line" ;; esac
[ "$(wc -l <"$work/calls")" -eq 1 ] || fail "expected one notification, got: $(cat "$work/calls")"
IFS='|' read -r app replaces icon summary body _ <"$work/calls"
[ "$app" = Orvane ] && [ "$replaces" = 0 ] && [ "$icon" = orvane ] && [ "$summary" = "Orvane could not start" ] \
    || fail "notification fields: $(cat "$work/calls")"
[ "$body" = "$line" ] || fail "the notification's text is not the stderr line: $body"

run_orvane terminal
[ "$status" -eq 1 ] || fail "from a terminal: status $status, not 1"
grep -q "cannot bind UDP port 67" "$work/err" || fail "from a terminal: $(cat "$work/err")"
[ "$(wc -l <"$work/calls")" -eq 1 ] || fail "a start from a terminal raised a notification"

run_orvane no_bus
[ "$status" -eq 1 ] || fail "without a session bus: status $status, not 1"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "without a session bus: $(cat "$work/err")"
[ "$(wc -l <"$work/calls")" -eq 1 ] || fail "a notification without a session bus"
# Without its helper: one line, and the notification says it too.
rm "$work/libexec/orvane/orvane-helper"
run_orvane desktop
[ "$status" -eq 1 ] || fail "without the helper: status $status, not 1"
[ "$(cat "$work/err")" = "orvane: cannot start its helper $work/libexec/orvane/orvane-helper: No such file or directory" ] \
    || fail "without the helper: $(cat "$work/err")"
[ "$(wc -l <"$work/calls")" -eq 2 ] && tail -n1 "$work/calls" | grep -qF "|$(cat "$work/err")|" \
    || fail "without the helper, the notification: $(cat "$work/calls")"
echo "PASS: one notification from the desktop with the stderr line (also without the helper), none from a terminal or without a bus"

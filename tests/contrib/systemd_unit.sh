#!/usr/bin/env bash
# contrib/systemd/orvane-probe@.service: systemd-analyze verify says nothing at all about an instance of it (br-lan too),
# systemd-analyze security --offline=yes rates it 2.0 or lower. The unit runs the packaged /usr/bin/orvane-probe;
# verify needs its program to exist, so it checks a copy that names the build's program instead.
# Usage: systemd_unit.sh UNIT PROBE
set -euo pipefail
unit=$1 probe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

grep -q '^ExecStart=/usr/bin/orvane-probe ' "$unit" || fail "the unit does not run /usr/bin/orvane-probe"
sed "s|^ExecStart=/usr/bin/orvane-probe |ExecStart=$probe |" "$unit" >"$work/orvane-probe@.service"
for instance in eth0 "$(systemd-escape br-lan)"; do
    out=$(systemd-analyze verify --man=no "$work/orvane-probe@$instance.service" 2>&1) || fail "verify $instance: $out"
    [ -z "$out" ] || fail "verify $instance is not clean: $out"
done
grep -q '^ExecStart=.* --interface %I ' "$unit" && grep -q '^EnvironmentFile=/etc/orvane/probe-%I\.env$' "$unit" \
    && grep -q '^BindsTo=sys-subsystem-net-devices-%i\.device$' "$unit" || fail "escaped and plain instance names mixed up"
# An interface with "-" is escaped in the instance, not for the program; an empty variable is one empty word (off).
for variable in $(grep -oE '\$\{?ORVANE_[A-Z_]+' "$unit" | tr -d '${' | sort -u); do
    grep -q "^$variable=" "$(dirname "$unit")/orvane-probe.env.example" || fail "the example does not set $variable"
    grep -q -- " \${$variable}\|\$$variable\( \|$\)" "$unit" || fail "$variable can vanish and leave its option bare"
done

# Exactly the two rights, in both sets.
for key in AmbientCapabilities CapabilityBoundingSet; do
    [ "$(sed -n "s/^$key=//p" "$unit")" = "CAP_NET_BIND_SERVICE CAP_NET_RAW" ] || fail "$key: $(grep "^$key=" "$unit")"
done
grep -qx 'DynamicUser=yes' "$unit" && grep -qx 'SupplementaryGroups=orvane' "$unit" || fail "not a dynamic user in group orvane"

report=$(systemd-analyze security --offline=yes "$work/orvane-probe@.service" 2>&1) || fail "security: $report"
level=$(sed -n 's/^→ Overall exposure level for .*: \([0-9.]*\) .*/\1/p' <<<"$report")
[ -n "$level" ] || fail "no exposure level in: $(tail -n 3 <<<"$report")"
awk -v l="$level" 'BEGIN { exit !(l <= 2.0) }' || fail "exposure $level, over 2.0: $(grep '✗' <<<"$report")"
echo "PASS: verify clean; exposure $level"

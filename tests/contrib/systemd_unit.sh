#!/usr/bin/env bash
# contrib/systemd/orvane-probe@.service: systemd-analyze verify says nothing at all about an instance of it, and
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
out=$(systemd-analyze verify --man=no "$work/orvane-probe@eth0.service" 2>&1) || fail "verify: $out"
[ -z "$out" ] || fail "verify is not clean: $out"

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

#!/usr/bin/env bash
# A second orvane-probe on a host where the first holds ports 67 and 68 ends at once with status 3 (UNKNOWN) and one line
# on stderr saying which port and why; the first one is not disturbed.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

start_probe 3
wait_blocks 2 3
status=0
lab client -- "$ORVANE_BIN/orvane-probe" --wait 1 >"$WORK/second.out" 2>"$WORK/second.err" || status=$?
[ "$status" -eq 3 ] || fail "the second probe ended with status $status, not 3"
[ ! -s "$WORK/second.out" ] || fail "the second probe wrote to stdout"
[ "$(wc -l <"$WORK/second.err")" -eq 1 ] || fail "expected one line on stderr, got: $(cat "$WORK/second.err")"
grep -q 'cannot bind UDP port 67: .*another program holds it' "$WORK/second.err" \
    || fail "unexpected message: $(cat "$WORK/second.err")"
wait_probe
[ "$(blocks_seen)" -eq 2 ] || fail "the first probe's report changed"
pass "second probe refused: $(cat "$WORK/second.err")"

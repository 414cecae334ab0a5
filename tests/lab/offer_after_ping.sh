#!/usr/bin/env bash
# Servers that ping an address before offering it answer a new client only after about 3 s; run on a lab of its own.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/lab_lib.sh"
[ "$PING" = yes ] || fail "this test needs a lab started with --ping"
start=$(date +%s.%N)
lab client -- "$ORVANE_BIN/lab_exchange" send 02:00:5e:77:00:01 1 6 >"$WORK/out"
grep -q "^reply $SERVER_IP:67 " "$WORK/out" || fail "no reply from $SERVER_IP within 6 s"
grep -q "^reply $RELAY_IP:67 " "$WORK/out" || fail "no relayed reply within 6 s"
pass "offers from both servers with address checking on ($(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN{printf "%.1f", e-s}') s)"

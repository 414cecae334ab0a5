#!/usr/bin/env bash
# A port that another socket holds cannot be bound: no address reuse is asked for.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/lab_lib.sh"
for port in 67 68; do
    out=$(lab client -- "$ORVANE_BIN/lab_exchange" hold-check "$port") || fail "port $port: $out"
    [ "$out" = "second -1 in_use 1" ] || fail "port $port: $out"
done
pass "a held port 67 or 68 gives -1 (address in use)"

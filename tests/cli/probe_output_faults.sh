#!/usr/bin/env bash
# Standard output that fails: a pipe whose reader has gone (the monitor once broadcast on for ever), a full
# disk, and descriptors 0-2 closed at start (the port-67 socket once took descriptor 1 and the report).
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

IN_RUN='cd "$1" && shift && exec "$@"'

# expect_output_failure WHAT REASON: status 3 (UNKNOWN), said once on stderr, and the JSON summary there instead.
expect_output_failure() {
    [ "$status" -eq 3 ] || { cat "$WORK/err" >&2; fail "$1: status $status, not 3"; }
    [ "$(grep -c "^orvane-probe: the report cannot be written to standard output: $2; ending the run\$" "$WORK/err")" \
        -eq 1 ] || fail "$1: $(cat "$WORK/err")"
    summary=$(grep '"type":"summary"' "$WORK/err") || fail "$1: no summary on stderr: $(cat "$WORK/err")"
}

# --monitor into a pipe nobody reads any more, with SIGPIPE as it comes and ignored by a supervisor: the
# run ends at the first failed write. (timeout only guards the test against the old endless monitor.)
for disposition in default ignored; do
    status=0
    (
        [ "$disposition" = default ] || trap '' PIPE
        set +o pipefail
        timeout 20 "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- sh -c "$IN_RUN" - "$RUN" \
            "$ORVANE_BIN/orvane-probe" --monitor --interval 1 --format json 2>"$WORK/err" | true
        exit "${PIPESTATUS[0]}"
    ) || status=$?
    expect_output_failure "closed pipe, SIGPIPE $disposition" "Broken pipe"
    jq -e '.requests_sent <= 3' <<<"$summary" >/dev/null || fail "closed pipe: the monitor went on: $summary"
done

# A full disk on stdout, in JSON and in text (where stdout carries the window program's report).
for format in json text; do
    status=0
    lab client -- sh -c "$IN_RUN" - "$RUN" "$ORVANE_BIN/orvane-probe" --format "$format" \
        --expect "$SERVER_IP,$UPSTREAM_IP" --quick >/dev/full 2>"$WORK/err" || status=$?
    if [ "$format" = json ]; then
        expect_output_failure "/dev/full, json" "No space left on device"
        # The run ended at the first reply, so the verdict is that of a short run; it is there all the same.
        jq -e '.replies >= 1 and (.verdict.status | type) == "number"' <<<"$summary" >/dev/null \
            || fail "/dev/full: $summary"
    else
        [ "$status" -eq 3 ] || { cat "$WORK/err" >&2; fail "/dev/full, text: status $status"; }
        grep -q "^Verdict [0-9]: " "$WORK/err" || fail "/dev/full, text: no verdict on stderr: $(cat "$WORK/err")"
    fi
done

# Descriptors 0-2 closed at start: they are /dev/null while the probe runs, the sockets come after them, and
# the verdict is the LAN's.
status=0
lab_bg client -- sh -c 'cd "$1" && shift && exec "$@" <&- >&- 2>&-' - "$RUN" \
    "$ORVANE_BIN/orvane-probe" --wait 2 --format json --expect "$SERVER_IP,$UPSTREAM_IP"
PROBE_PID=$!
pid=$PROBE_PID
# Its rights are dropped once every socket is open.
started_up() {
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = orvane-probe ] && grep -q '^CapEff:	0*$' "/proc/$pid/status"
}
within 10 "the probe's start-up" started_up
for fd in 0 1 2; do
    [ "$(readlink "/proc/$pid/fd/$fd")" = /dev/null ] || fail "descriptor $fd is $(readlink "/proc/$pid/fd/$fd")"
done
for fd in /proc/"$pid"/fd/*; do
    case $(readlink "$fd") in socket:*) [ "${fd##*/}" -gt 2 ] || fail "a socket on descriptor ${fd##*/}" ;; esac
done
wait "$PROBE_PID" || status=$?
PROBE_PID=
[ "$status" -eq 0 ] || fail "closed descriptors: status $status"
pass "closed pipe (SIGPIPE default and ignored) and /dev/full end with status 3 and the summary on stderr; closed 0-2 become /dev/null"

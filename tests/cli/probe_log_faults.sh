#!/usr/bin/env bash
# Raw logs that cannot take a record: a FIFO planted as LogFile or named by --log (once a hang that only
# SIGKILL ended), files and places that cannot be written (said once, counted, the verdict untouched), and a
# full file system (no half record left behind).
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

ports_released() { ! lab client -- grep -qE ':004[34] ' /proc/net/udp; }

# end_on_sigterm WHAT: the probe started by start_probe reported both offers; SIGTERM ends it within a second,
# with its ports released.
end_on_sigterm() {
    wait_blocks 2 5
    local started took status=0
    started=$(date +%s%N)
    signal_probe TERM
    wait "$PROBE_PID" || status=$?
    took=$(( ($(date +%s%N) - started) / 1000000 ))
    PROBE_PID=
    [ "$status" -eq 0 ] || { cat "$WORK/err" >&2; fail "$1: status $status after SIGTERM"; }
    [ "$took" -lt 1000 ] || fail "$1: SIGTERM took $took ms"
    ports_released || fail "$1: ports 67/68 still bound"
}

# A FIFO named LogFile, nobody reading it: the replies are reported, the log said unwritable once.
mkfifo "$RUN/LogFile"
start_probe 30
end_on_sigterm "FIFO LogFile"
[ "$(grep -c 'raw log LogFile cannot be written' "$WORK/err")" -eq 1 ] || fail "FIFO LogFile: $(cat "$WORK/err")"
[ -p "$RUN/LogFile" ] || fail "the FIFO was replaced"
rm -f "$RUN/LogFile"

# --log naming a FIFO that has a reader: still no record goes in, and the reader sees an empty stream.
mkfifo "$WORK/fifo"
lab_bg client -- cat "$WORK/fifo" >"$WORK/fifo.read"
reader=$!
# Its open() waits for a writer in the kernel's wait_for_partner.
reader_waits() { [ "$(cat "/proc/$reader/wchan" 2>/dev/null)" = wait_for_partner ]; }
within 5 "the FIFO's reader blocked in open(), waiting for a writer" reader_waits
probe_bg client --log "$WORK/fifo" --wait 30 >"$WORK/out" 2>"$WORK/err"
end_on_sigterm "--log FIFO"
grep -q "raw log $WORK/fifo cannot be written (not a regular file)" "$WORK/err" || fail "--log FIFO: $(cat "$WORK/err")"
kill "$reader" 2>/dev/null || true
wait "$reader" 2>/dev/null || true
[ ! -s "$WORK/fifo.read" ] || fail "the FIFO's reader got $(wc -c <"$WORK/fifo.read") bytes"

# Logs that cannot be written: the verdict stands (0), stderr says why once, the summary counts both replies.
mkdir -p "$WORK/folder" "$WORK/ro"
touch "$WORK/readonly.log"
chmod 0444 "$WORK/readonly.log"
ln -sf "$WORK/missing/target" "$WORK/dangling"
while IFS='|' read -r path reason; do
    run_probe_on client --log "$path" --format json --expect "$SERVER_IP,$UPSTREAM_IP" --quick
    expect_status 0 "--log '$path'"
    [ "$(grep -c "orvane-probe: the raw log $path cannot be written ($reason); replies are still reported" "$WORK/err")" \
        -eq 1 ] || fail "--log '$path': $(cat "$WORK/err")"
    [ "$(json_of '.[-1].replies_not_logged')" = 2 ] || fail "--log '$path': $(tail -n 1 "$WORK/out")"
done <<EOF_CASES
$WORK/folder|Is a directory
/dev/full|not a regular file
$WORK/missing/log|No such file or directory
$WORK/dangling|No such file or directory
$WORK/readonly.log|Permission denied
|No such file or directory
EOF_CASES
# A read-only file system, seen by the probe alone (a mount namespace of its own).
status=0
lab client -- unshare -m sh -c 'mount -t tmpfs -o ro,size=64k none "$1" && cd "$2" && exec "$3" --log "$1/log" \
    --format json --expect "$4" --quick' - "$WORK/ro" "$RUN" "$ORVANE_BIN/orvane-probe" "$SERVER_IP,$UPSTREAM_IP" \
    >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" -eq 0 ] || { cat "$WORK/err" >&2; fail "read-only: status $status"; }
grep -q "cannot be written (Read-only file system)" "$WORK/err" || fail "read-only: $(cat "$WORK/err")"
[ "$(json_of '.[-1].replies_not_logged')" = 2 ] || fail "read-only: $(tail -n 1 "$WORK/out")"

# A full file system: each record that does not fit is cut out again, so the log ends where the last whole
# record ended (here the bytes that were there before), never in half a record.
status=0
lab client -- unshare -m sh -c 'mount -t tmpfs -o size=8k none "$1" && head -c 7900 /dev/zero >"$1/log" &&
    cd "$2" && "$3" --log "$1/log" --format json --expect "$4" --quick; status=$?; stat -c %s "$1/log"; exit $status' \
    - "$WORK/ro" "$RUN" "$ORVANE_BIN/orvane-probe" "$SERVER_IP,$UPSTREAM_IP" >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" -eq 0 ] || { cat "$WORK/err" >&2; fail "full: status $status"; }
[ "$(tail -n 1 "$WORK/out")" = 7900 ] || fail "full: the log holds $(tail -n 1 "$WORK/out") bytes, not 7900"
grep -q "cannot be written (No space left on device)" "$WORK/err" || fail "full: $(cat "$WORK/err")"
sed -i '$d' "$WORK/out"
[ "$(json_of '.[-1].replies_not_logged')" = 2 ] || fail "full: $(tail -n 1 "$WORK/out")"
pass "FIFO LogFile and --log FIFO end on SIGTERM within a second, ports released; 7 unwritable logs said and counted; no half record"

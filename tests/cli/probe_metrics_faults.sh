#!/usr/bin/env bash
# The metrics outlets when things go wrong: addresses the exposer cannot take refused at start with status 3
# before any request goes out; a textfile whose folder cannot be written said once per change of state while the
# rounds go on; the textfile never seen half-written by a reader, SIGTERM in the middle of a round ending the
# probe within a second with the file whole and no temporary file left.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# Start-up: a port under 1024 (the rights are dropped before the exposer binds), an address this host does not
# have, a port another program holds. Each ends with 3 and its reason, and no DISCOVER leaves.
# Debian's own python3: a version manager's shim takes seconds to start.
lab_bg client -- "$(command -v /usr/bin/python3 python3 | head -n 1)" -c 'import socket,sys,time; s=socket.socket(); s.bind((sys.argv[1], 9465)); s.listen(); time.sleep(30)' \
    "$CLIENT_IP"
holder=$!
port_held() { lab client -- grep -q ':24F9 ' /proc/net/tcp; }  # 9465
within 20 "port 9465 held" port_held
start_capture client "$CLIENT_IF" 67 1 6
for listen in "$CLIENT_IP:80" "192.0.2.99:9464" "$CLIENT_IP:9465"; do
    run_probe_on client --monitor --interval 1 --no-log --metrics-listen "$listen"
    expect_status 3 "--metrics-listen $listen"
    grep -q "^orvane-probe: cannot serve metrics on $listen: " "$WORK/err" || fail "$listen: $(cat "$WORK/err")"
    [ "$(wc -l <"$WORK/err")" -eq 1 ] || fail "$listen: more than the reason: $(cat "$WORK/err")"
done
kill "$holder"
wait "$holder" || true
wait_capture
[ ! -s "$WORK/capture" ] || fail "a probe that could not serve its metrics sent a DISCOVER"

# A textfile whose folder is missing, then made, then read-only, then writable: four changes, four lines.
folder=$WORK/textfile
file=$folder/orvane.prom
probe_bg client --monitor --interval 1 --no-log --format json --expect "$SERVER_IP,$UPSTREAM_IP" \
    --metrics-file "$file" >"$WORK/out" 2>"$WORK/err"
rounds() { grep -c '"type":"round"' "$WORK/out" || true; }
wait_rounds() {  # wait_rounds N: until N rounds have been reported
    for _ in $(seq 100); do [ "$(rounds)" -ge "$1" ] && return 0; sleep 0.1; done
    fail "no $1 rounds: $(cat "$WORK/err")"
}
wait_rounds 3
mkdir "$folder"
wait_rounds 6
[ -s "$file" ] || fail "no textfile once its folder exists"
chmod 0555 "$folder"
wait_rounds 9
chmod 0755 "$folder"
# Meanwhile a reader sees whole files only: each ends with the last family's samples and a line end.
reads=0
for _ in $(seq 150); do
    text=$(cat "$file"; echo x)
    [ "${text: -2}" = $'\nx' ] || fail "a read ended in the middle of a line"
    grep -q '^orvane_expected_server_answered{.*server="'"$UPSTREAM_IP"'".*} 1$' <<<"$text" || fail "a read lacked the last family"
    reads=$((reads + 1))
    sleep 0.02
done
# The file written again after the last change comes with the round after it.
written_again_twice() { [ "$(grep -c "^orvane-probe: the metrics file $file is written again\$" "$WORK/err")" -ge 2 ]; }
within 10 "the textfile written again" written_again_twice
cannot=$(grep -c "^orvane-probe: the metrics file $file cannot be written (" "$WORK/err" || true)
again=$(grep -c "^orvane-probe: the metrics file $file is written again\$" "$WORK/err" || true)
[ "$cannot" -eq 2 ] && [ "$again" -eq 2 ] || { cat "$WORK/err" >&2; fail "state lines: $cannot cannot, $again again"; }
grep -q "cannot be written (cannot create a file beside it: No such file or directory); the rounds go on" "$WORK/err" \
    || fail "the missing folder's reason: $(grep metrics "$WORK/err")"
# The folder may turn read-only between the new file's creation and its rename (a slow build).
grep -Eq "cannot be written \(cannot (create a file beside it|rename): Permission denied\); the rounds go on" \
    "$WORK/err" || fail "the read-only folder's reason: $(grep metrics "$WORK/err")"
total=$(rounds)
[ "$(grep -c "^orvane_rounds_total $((total))\$\|^orvane_rounds_total $((total - 1))\$\|^orvane_rounds_total $((total + 1))\$" "$file")" -eq 1 ] \
    || fail "rounds_total $(grep '^orvane_rounds_total' "$file") after $total rounds"

# SIGTERM half a second into a round of 5 s: the probe ends within a second; the file is whole, nothing left beside it.
kill -TERM "$PROBE_PID"
wait "$PROBE_PID" || true
PROBE_PID=
probe_bg client --monitor --interval 5 --no-log --format json --expect "$SERVER_IP,$UPSTREAM_IP" \
    --metrics-file "$file" >"$WORK/out" 2>"$WORK/err"
wait_rounds 1
sleep 0.5
started=$(date +%s%N)
kill -TERM "$PROBE_PID"
status=0
wait "$PROBE_PID" || status=$?
PROBE_PID=
took=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$took" -lt 1000 ] || fail "SIGTERM: ended after $took ms"
[ "$status" -eq 0 ] || fail "SIGTERM: status $status"
[ "$(tail -c 1 "$file" | od -An -c | tr -d ' ')" = '\n' ] || fail "the textfile does not end with a line end"
grep -q '^orvane_rounds_total 1$' "$file" || fail "the cut round was published: $(grep '^orvane_rounds_total' "$file")"
[ "$(ls -A "$folder")" = orvane.prom ] || fail "left in the folder: $(ls -A "$folder")"
pass "start-up refusals with 3 and no DISCOVER; 2+2 state lines over 4 changes; $reads whole reads; SIGTERM ended in $took ms"

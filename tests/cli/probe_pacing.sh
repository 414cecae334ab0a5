#!/usr/bin/env bash
# The pace of requests at its extremes, and typing mistakes refused before a single DISCOVER leaves: numbers
# that are no finite value in range, input that means nothing, names echoed without their control characters.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

# --count 5 with no wait at all: the rounds are still a second apart, and the wire carries 5 DISCOVERs, not more.
start_capture client "$CLIENT_IF" 67 6 7
run_probe_on client --count 5 --wait 0 --format json --no-log
wait_capture
[ "$STATUS" -eq 0 ] || [ "$STATUS" -eq 3 ] || { cat "$WORK/err" >&2; fail "--count 5 --wait 0: status $STATUS"; }
[ "$TOOK_MS" -ge 4000 ] || fail "--count 5 --wait 0 took $TOOK_MS ms: rounds closer than a second"
[ "$(wc -l <"$WORK/capture")" -eq 5 ] || fail "--count 5 --wait 0: $(wc -l <"$WORK/capture") DISCOVERs on the wire"
[ "$(json_of '.[-1].requests_sent')" = 5 ] || fail "--count 5: $(tail -n 1 "$WORK/out")"
paced_ms=$TOOK_MS

# Each of these once flooded the link, ended at once, or did something else than asked: now refused (1), with
# nothing on stdout and nothing on the wire.
ip -n "$NS_CLIENT" tuntap add dev tun0 mode tun 2>/dev/null && tun=tun0 || tun=
refused=(
    "--monitor --interval nan"
    "--monitor --interval 1e10"
    "--monitor --interval 0.5"
    "--count 20000 --interval 0 --wait 0"
    "--count 1000000"
    "--wait nan"
    "--wait inf"
    "--wait 1e10"
    "--wait 1.79e308"
    "--mac ff:ff:ff:ff:ff:ff"
    "--mac 01:00:5e:00:00:01"
    "--mac 00:00:00:00:00:00"
    "--interface lo"
    ${tun:+"--interface $tun"}
)
start_capture client "$CLIENT_IF" 67 1 8
for args in "${refused[@]}"; do
    # shellcheck disable=SC2086
    run_probe_on client $args
    expect_status 3 "$args"
    [ ! -s "$WORK/out" ] || fail "$args: wrote to stdout"
    [ -s "$WORK/err" ] || fail "$args: refused without a word"
    [ "$(wc -c <"$WORK/err")" -lt 400 ] || fail "$args: $(wc -c <"$WORK/err") bytes of complaint"
done
run_probe_on client --interface ""
expect_status 3 '--interface ""'
grep -q "an interface name cannot be empty" "$WORK/err" || fail "--interface '': $(cat "$WORK/err")"
wait_capture
[ ! -s "$WORK/capture" ] || fail "a refused command line sent a DISCOVER"
[ -z "$tun" ] || ip -n "$NS_CLIENT" link del tun0

run_probe_on client --wait 1.79e308
grep -qx "orvane-probe: --wait: 1.79e+308 is outside 0 to 3600 seconds" "$WORK/err" || fail "range: $(cat "$WORK/err")"
run_probe_on client --interface lo
grep -qx "orvane-probe: interface lo is a loopback interface; DHCP needs an Ethernet interface" "$WORK/err" \
    || fail "lo: $(cat "$WORK/err")"

# Control characters typed or planted are shown escaped, never sent to the terminal.
esc=$'\e[31m'
for args in "--interface ${esc}red" "--wait ${esc}" "--colour${esc}"; do
    # shellcheck disable=SC2086
    run_probe_on client $args
    expect_status 3 "$args"
    grep -q '\\x1b\[31m' "$WORK/err" || fail "not escaped: $(od -c "$WORK/err" | head -5)"
    ! grep -q $'\e' "$WORK/err" || fail "a raw ESC reached the terminal: $(od -c "$WORK/err" | head -5)"
done
pass "--count 5 --wait 0: 5 DISCOVERs in $paced_ms ms; ${#refused[@]} mistakes refused with nothing sent; names escaped"

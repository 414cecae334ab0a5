#!/usr/bin/env bash
# orvane-probe.exe under Wine on the lab's client host: the window program's report, the verdict with
# --expect/--quick, JSON Lines, and a clear refusal (status 3) of the options Winsock cannot honour.
# ORVANE_WINDOWS_ARCH says which build's program runs: win32 (the default) or its 64-bit twin win64, from
# ORVANE_WINDOWS_BIN; ORVANE_WINE_RUN is the Wine launcher, which says when 32-bit programs cannot run here.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"

ARCH=${ORVANE_WINDOWS_ARCH:-win32}
WIN_BIN=${ORVANE_WINDOWS_BIN:-${ORVANE_WIN32_BIN:?the win32 build\'s bin folder}}
WINE_RUN=${ORVANE_WINE_RUN:?the Wine launcher, cmake/wine-run.sh}
if [ ! -f "$WIN_BIN/orvane-probe.exe" ]; then
    echo "SKIP: no orvane-probe.exe in $WIN_BIN (build the $ARCH preset first)"
    exit 77
fi
"$WINE_RUN" --check "$ARCH" || exit $?
# The prefix is new, so its wineserver (which owns the sockets) starts on the client host.
WINEPREFIX=$WORK/prefix
trap 'lab client -- env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true; lab_cleanup' EXIT
wine_probe() {  # wine_probe ARGS...: status in $STATUS, stdout (CR removed) in $WORK/out, stderr in $WORK/err
    STATUS=0
    lab client -- env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
        sh -c 'cd "$1" && shift && exec "$@"' - "$RUN" "$WINE_RUN" "$ARCH" "$WIN_BIN/orvane-probe.exe" "$@" \
        >"$WORK/raw" 2>"$WORK/err" || STATUS=$?
    tr -d '\r' <"$WORK/raw" >"$WORK/out"
}
lab client -- env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
    "$WINE_RUN" "$ARCH" wineboot -i >/dev/null 2>&1 || fail "the Wine prefix could not be made"

wine_probe --wait 2
expect_status 0 "default run"
grep -qx "Packet from $SERVER_IP " "$WORK/out" && grep -qx " Relayed by $RELAY_IP " "$WORK/out" \
    || fail "the report lacks the two servers"
[ "$(grep -c '^-------------------------$' "$WORK/out")" -eq 2 ] || fail "expected two blocks"
[ -s "$RUN/LogFile" ] || fail "no LogFile"

wine_probe --expect "$SERVER_IP,$UPSTREAM_IP" --quick --format json
expect_status 0 "--quick --format json"
jq -e -s 'map(select(.type == "reply")) | length == 2 and all(.expected and .message_type == "OFFER" and .interface == null)' \
    "$WORK/out" >/dev/null || fail "JSON replies: $(cat "$WORK/out")"
[ "$(jq -r -s '.[-1] | "\(.type) \(.verdict.status)"' "$WORK/out")" = "summary 0" ] || fail "JSON summary"

wine_probe --expect "$SERVER_IP" --wait 1
expect_status 2 "unexpected server"

for option in "--interface eth0" "--all-interfaces"; do
    # shellcheck disable=SC2086
    wine_probe $option --wait 1
    expect_status 3 "$option"
    grep -q 'orvane-probe: --interface and --all-interfaces need a socket tied to one interface, which this platform cannot make' \
        "$WORK/err" || fail "$option: $(cat "$WORK/err")"
done
# Winsock has no packet socket: capture mode and its VLANs are refused as a command line is.
for option in "--capture" "--capture --vlan 10"; do
    # shellcheck disable=SC2086
    wine_probe $option --wait 1
    expect_status 3 "$option"
    grep -q 'this system offers no packet socket, which --capture and --vlan need' "$WORK/err" \
        || fail "$option: $(cat "$WORK/err")"
done
pass "orvane-probe.exe ($ARCH) under Wine: report, verdicts 0 and 2, JSON, --interface, --all-interfaces and --capture refused with 3"

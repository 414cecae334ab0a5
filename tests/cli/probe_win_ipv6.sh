#!/usr/bin/env bash
# orvane-probe.exe -6 under Wine on the lab's IPv6 LAN: the SOLICIT over Winsock's UDP socket, the LAN's ADVERTISE
# reported and judged; routers not heard (no raw ICMPv6 there), said once; --expect-router refused with 3. The
# program is ORVANE_WINDOWS_BIN's (its build's arch in ORVANE_WINDOWS_ARCH). Lab: lab.sh run --ipv6.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/probe_lib.sh"
ARCH=${ORVANE_WINDOWS_ARCH:?win32 or win64}
WIN_BIN=${ORVANE_WINDOWS_BIN:?the bin folder of the Windows build}
WINE_RUN=${ORVANE_WINE_RUN:?the Wine launcher, cmake/wine-run.sh}
[ -f "$WIN_BIN/orvane-probe.exe" ] || { echo "SKIP: no $WIN_BIN/orvane-probe.exe (build the $ARCH preset)"; exit 77; }
"$WINE_RUN" --check "$ARCH" || exit $?
WINEPREFIX=$WORK/prefix
trap 'lab client -- env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true; lab_cleanup' EXIT
wine_probe() {  # wine_probe ARGS...: status in $STATUS, stdout (CR removed) in $WORK/out, stderr in $WORK/err
    STATUS=0
    lab client -- env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
        sh -c 'cd "$1" && shift && exec "$@"' - "$RUN" "$WINE_RUN" "$ARCH" "$WIN_BIN/orvane-probe.exe" "$@" \
        >"$WORK/out.raw" 2>"$WORK/err" || STATUS=$?
    tr -d '\r' <"$WORK/out.raw" >"$WORK/out"
}
lab client -- env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
    "$WINE_RUN" "$ARCH" wineboot -i >/dev/null 2>&1 || true

# Wine's interface table gives no Ethernet address for the DUID: --mac gives it.
wine_probe -6 --mac "$CLIENT_MAC" --expect "$SERVER6_DUID" --wait 1.5 --no-log
expect_status 0 "-6 under Wine"
has_line "DHCPv6 ADVERTISE from $SERVER_LL6 port 547 on eth0" "-6 under Wine"
has_line "Verdict 0: IPv6: every answer and advertisement came from an expected server or router" "-6 under Wine"
grep -q "routers are not heard here" "$WORK/err" || fail "no word on the routers: $(cat "$WORK/err")"
wine_probe -6 --mac "$CLIENT_MAC" --expect 000200007ed9ff --wait 1 --no-log
expect_status 2 "an unexpected DHCPv6 server under Wine"
wine_probe -6 --expect-router "$SERVER_LL6" --wait 1
expect_status 3 "--expect-router under Wine"
grep -q "routers are heard through a raw ICMPv6 socket with hop limit 255" "$WORK/err" || fail "--expect-router: $(cat "$WORK/err")"
pass "orvane-probe.exe ($ARCH) -6 under Wine: the LAN's ADVERTISE judged 0 and 2, --expect-router refused with 3"

#!/usr/bin/env bash
# orvane.exe under Wine on the client host of the test LAN, on an X server of its own, driven and read
# by window_driver.exe: the first DISCOVER on the wire, both servers' offers in the view, Refresh,
# Clear, About, shutdown with status 0; and status 1 with no window when port 67 or 68 is held.
# Screenshots of both windows are kept in $ORVANE_ARTIFACTS.
# ORVANE_WINDOWS_ARCH says which build's programs run: win32 (the default) or its 64-bit twin win64, from
# ORVANE_WINDOWS_BIN; ORVANE_WINE_RUN is the Wine launcher, which says when 32-bit programs cannot run here.
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(dirname "$0")/../lab/lab_lib.sh"

ARCH=${ORVANE_WINDOWS_ARCH:-win32}
WIN_BIN=${ORVANE_WINDOWS_BIN:-${ORVANE_WIN32_BIN:?the win32 build\'s bin folder}}
WINE_RUN=${ORVANE_WINE_RUN:?the Wine launcher, cmake/wine-run.sh}
if [ ! -f "$WIN_BIN/orvane.exe" ] || [ ! -f "$WIN_BIN/window_driver.exe" ]; then
    echo "SKIP: no orvane.exe and window_driver.exe in $WIN_BIN (build the $ARCH preset first)"
    exit 77
fi
"$WINE_RUN" --check "$ARCH" || exit $?
ARTIFACTS=${ORVANE_ARTIFACTS:-$WORK/artifacts}
mkdir -p "$ARTIFACTS" "$WORK/run"
rm -f "$ARTIFACTS"/*.bmp

# Every Wine process of this run, and so its wineserver, which owns the sockets, lives on the client host:
# the prefix is new, so no wineserver outside the LAN can serve it.
WINEPREFIX=$WORK/prefix
XVFB_PID=
cleanup() {
    lab client -- env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
    if [ -n "$CAPTURE_PID" ]; then kill "$CAPTURE_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

# An X server on a Unix socket only, started through lab.sh directly (not the lab function)
# so that $! is Xvfb itself after the execs.
"$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 \
    3>"$WORK/display" 2>"$WORK/xvfb.log" &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
DISPLAY=:$(tr -d '\n' <"$WORK/display")

on_client_wine() {
    lab client -- env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        DISPLAY="$DISPLAY" "$@"
}

on_client_wine "$WINE_RUN" "$ARCH" wineboot -i >/dev/null 2>&1 || fail "the Wine prefix could not be made"

# The window run: five requests (the first, three Refresh clicks, one more with About open).
start_capture client eth0 67 5 240
on_client_wine "$WINE_RUN" "$ARCH" "$WIN_BIN/window_driver.exe" run "$WIN_BIN/orvane.exe" "$WORK/run" "$ARTIFACTS" \
    "$SERVER_IP" "$UPSTREAM_IP" "$RELAY_IP" | tr -d '\r' | tee "$WORK/driver.out" || true
grep -q '^FAIL' "$WORK/driver.out" && fail "the window run failed (see above)"
requests=$(sed -n 's/^requests //p' "$WORK/driver.out")
[ "$requests" = 5 ] || fail "the driver did not finish the window run"
wait_capture

[ "$(wc -l <"$WORK/capture")" -eq 5 ] || fail "expected 5 DISCOVERs on the wire, saw $(wc -l <"$WORK/capture")"
first=
n=0
while read -r src sport dst dport length payload; do
    [ "$src $sport $dst $dport $length" = "$CLIENT_IP 67 255.255.255.255 67 548" ] \
        || fail "datagram $n: $src:$sport -> $dst:$dport, $length bytes"
    [ -n "$first" ] || first=$payload
    [ "$payload" = "$first" ] || fail "request $n differs from the first"
    n=$((n + 1))
done <"$WORK/capture"
# A DISCOVER: boot request over Ethernet, the magic cookie, message type 1.
[ "${first:0:6}" = 010106 ] && [ "${first:472:8}" = 63825363 ] && [[ "${first:480}" == *350101* ]] \
    || fail "the first request is no DHCP DISCOVER: ${first:0:80}"
echo "chaddr on the wire: ${first:56:12} (Wine's inetmib1 has no usable physical address, so zero is expected)"
[ -s "$WORK/run/LogFile" ] || fail "no replies were appended to LogFile"
for shot in main_window about_window; do
    [ -s "$ARTIFACTS/$shot.bmp" ] || fail "no screenshot $shot.bmp"
done
pass "orvane.exe ($ARCH): first DISCOVER from port 67, offers of both servers, Refresh x3 gives 4 alike, Enter on Clear, Clear, About, status 0"

# A held port ends the start-up with status 1 before any window.
for port in 67 68; do
    on_client_wine "$WINE_RUN" "$ARCH" "$WIN_BIN/window_driver.exe" refused "$WIN_BIN/orvane.exe" "$WORK/run" "$port" \
        | tr -d '\r' | tee "$WORK/refused.out" || true
    grep -q '^FAIL' "$WORK/refused.out" && fail "port $port held: see above"
    [ "$(grep -c '^ok' "$WORK/refused.out")" -eq 4 ] || fail "port $port held: the driver did not finish"
done
pass "orvane.exe ($ARCH), port 67 or 68 held: status 1, no window"

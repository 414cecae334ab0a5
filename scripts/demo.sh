#!/usr/bin/env bash
# Installs, builds, and runs Orvane on a private virtual LAN (a client, a DHCP server on the link, and a relay
# agent with a second server behind it), then removes the LAN. With a display the window program runs on the
# client host, without one the console probe. --real runs the window program on this host's real network.
set -euo pipefail
cd "$(dirname "$0")/.."
real=no
[ "${1:-}" = "--real" ] && real=yes

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

if [ $real = yes ]; then
    [ -n "${DISPLAY:-}" ] && exec build/bin/orvane
    exec build/bin/orvane-probe
fi

demo_on_lab() {
    source "$ORVANE_LAB_STATE"
    echo "Private LAN $LAB_ID: client $CLIENT_IP ($CLIENT_MAC), server $SERVER_IP, relay $RELAY_IP -> $UPSTREAM_IP"
    cd "$LAB_DIR"
    if [ -n "${DISPLAY:-}" ] && [ -x "$OLDPWD/build/bin/orvane" ]; then
        echo "Running orvane on the client host; close its window to end the demo."
        "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- "$OLDPWD/build/bin/orvane" || true
    else
        echo "No display: running orvane-probe on the client host."
        "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" client -- "$OLDPWD/build/bin/orvane-probe" || true
    fi
    echo "LogFile holds $(stat -c %s LogFile 2>/dev/null || echo 0) bytes of raw replies."
}
export -f demo_on_lab
# Servers that check an address with a ping first, as real ones do: their offers come after about 3 s.
exec tests/lab/lab.sh run --ping -- bash -c demo_on_lab

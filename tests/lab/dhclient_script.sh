#!/bin/sh
# The script the lab's dhclient runs at each change of its lease (dhclient -sf): it notes the event, nothing more.
# Debian's own dhclient-script would set addresses and routes and rewrite /etc/resolv.conf. A network namespace
# shares the host's files, so that /etc/resolv.conf would be this machine's own, and the lab must never touch it.
# The client host keeps its fixed address; the lease only lives in dhclient and its lease file.
# LAB_EVENTS (given with dhclient -e) names the file for "REASON ADDRESS" lines; without it nothing is written.
if [ -n "${LAB_EVENTS:-}" ]; then
    echo "${reason:-} ${new_ip_address:-}${new_ip6_address:-}" >>"$LAB_EVENTS"
fi
exit 0

#!/usr/bin/env bash
# Installs every Debian package that building, testing and the demo need (run as root).
set -euo pipefail
cd "$(dirname "$0")"
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root (sudo bash $0)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
packages() { grep -v '^#' "$1" | sed '/^$/d'; }
# Wine's 32-bit half needs the i386 architecture.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
missing=$(for p in $(packages packages.txt) $(packages packages-wine.txt); do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || echo "$p"
done)
if [ -n "$missing" ]; then
    # Prometheus and Nagios run inside the lab's namespaces only: their packages must not start a service
    # on this host, now or at the next boot.
    held=
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
        chmod 755 /usr/sbin/policy-rc.d
        held=yes
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends $(packages packages.txt)
    apt-get install -y -q $(packages packages-wine.txt)
    [ -z "$held" ] || rm -f /usr/sbin/policy-rc.d
    for service in prometheus nagios4; do
        if [ -d /run/systemd/system ]; then systemctl disable --now "$service" >/dev/null 2>&1 || true; fi
        if command -v update-rc.d >/dev/null; then update-rc.d "$service" disable >/dev/null 2>&1 || true; fi
    done
fi

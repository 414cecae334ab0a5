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
    apt-get update -q
    apt-get install -y -q --no-install-recommends $(packages packages.txt)
    apt-get install -y -q $(packages packages-wine.txt)
fi

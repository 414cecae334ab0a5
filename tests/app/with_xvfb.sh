#!/usr/bin/env bash
# Runs a command against a private Xvfb server of its own, which it stops afterwards.
set -euo pipefail
command -v Xvfb >/dev/null || { echo "Xvfb is not installed" >&2; exit 1; }
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$fifo"' EXIT
read -r display <"$fifo" || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$display" "$@"

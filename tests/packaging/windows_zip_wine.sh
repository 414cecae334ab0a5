#!/usr/bin/env bash
# The download's probe starts under Wine and says its version, in a network namespace of its own. Where this
# machine cannot run 32-bit programs, a 64-bit build of the same probe (build-win64) stands in under wine64;
# without one the test is skipped.
# Environment: ORVANE_WIN32_BUILD, ORVANE_WIN64_BUILD, ORVANE_VERSION.
set -euo pipefail
win32=${ORVANE_WIN32_BUILD:?the win32 build tree}
win64=${ORVANE_WIN64_BUILD:?where a win64 build tree would be}
version=${ORVANE_VERSION:?the version}
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root for a network namespace of its own"; exit 77; }
zip_file=$win32/packages/orvane-$version-win32.zip
[ -f "$zip_file" ] || { echo "SKIP: no $zip_file (cmake --build --preset win32 -t windows-zip)"; exit 77; }
WORK=$(mktemp -d)
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WORK"' EXIT
unzip -q "$zip_file" -d "$WORK"

# Wine's 32-bit loader is itself a 32-bit program: when it cannot start, no 32-bit Windows program can.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    loader=wine
    program=$WORK/orvane-$version-win32/orvane-probe.exe
elif [ -f "$win64/bin/orvane-probe.exe" ]; then
    loader=/usr/lib/wine/wine64
    program=$win64/bin/orvane-probe.exe
else
    echo "SKIP: this machine cannot run 32-bit programs (Wine's 32-bit loader does not start), and there is no win64 build at $win64"
    exit 77
fi
status=0
unshare -n "$loader" "$program" --version >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" -eq 0 ] || fail "$program --version under $loader: status $status: $(cat "$WORK/err")"
[ "$(tr -d '\r' <"$WORK/out")" = "orvane-probe $version" ] || fail "$program --version said '$(cat "$WORK/out")'"
echo "PASS: $(basename "$program") --version under $loader: orvane-probe $version"

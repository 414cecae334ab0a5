#!/usr/bin/env bash
# One version everywhere, from project(VERSION): both programs' --version and both man pages. The window
# program answers as an ordinary user with no right and no display, so it can have bound no port and
# started no window (either would have ended it with status 1 or an abort).
set -euo pipefail
source "$ORVANE_LAB_STATE"
source "$(cd "$(dirname "$0")/../lab" && pwd)/lab_lib.sh"
version=${ORVANE_VERSION:?}
build=${ORVANE_BUILD:?}

# run_version HOW EXPECTED COMMAND...: status 0, exactly EXPECTED on stdout, nothing on stderr.
run_version() {
    local how=$1 expected=$2 status=0
    shift 2
    lab client -- "$@" >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" -eq 0 ] || fail "$how: status $status: $(cat "$WORK/err")"
    [ "$(cat "$WORK/out")" = "$expected" ] || fail "$how printed '$(cat "$WORK/out")', not '$expected'"
    [ ! -s "$WORK/err" ] || fail "$how wrote to stderr: $(cat "$WORK/err")"
}
# nobody runs a copy: the build tree may lie in a folder only its owner may enter.
chmod 755 "$WORK"
cp "$ORVANE_BIN/orvane" "$WORK/orvane"
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all)
run_version "orvane-probe --version" "orvane-probe $version" "$ORVANE_BIN/orvane-probe" --version
run_version "orvane-probe --wait 1 --version" "orvane-probe $version" "$ORVANE_BIN/orvane-probe" --wait 1 --version
run_version "orvane --version without rights" "orvane $version" \
    "${as_nobody[@]}" env -u DISPLAY QT_QPA_PLATFORM=xcb "$WORK/orvane" --version
run_version "orvane -style fusion --version" "orvane $version" \
    "${as_nobody[@]}" env -u DISPLAY QT_QPA_PLATFORM=xcb "$WORK/orvane" -style fusion --version

for page in app/orvane.1 cli/orvane-probe.1; do
    grep -q "^\.TH [A-Z-]* 1 \"[0-9]*\" \"Orvane $version\" " "$build/$page" || fail "$page: $(grep '^\.TH' "$build/$page")"
    [ "$(zcat "$build/$page.gz")" = "$(cat "$build/$page")" ] || fail "$page.gz is not the configured page"
done
pass "orvane-probe and orvane --version say $version (orvane with no right and no display); so do both man pages"

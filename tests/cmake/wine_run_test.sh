#!/usr/bin/env bash
# The Wine launcher's answer to "can 32-bit Windows programs run here", with stand-ins for Wine's i386
# loader: one that runs, one the kernel refuses with ENOEXEC, none at all; with and without the switch
# ORVANE_NO_32BIT=1, which as root must make the real attempt fail as on a kernel without 32-bit support.
#   wine_run_test.sh PATH/TO/wine-run.sh
set -uo pipefail
launcher=${1:?usage: wine_run_test.sh wine-run.sh}
# The rows set the switch themselves; the suite's own switch must not leak into them.
unset ORVANE_NO_32BIT ORVANE_WINE_STATE
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

printf '#!/bin/sh\necho wine-8.0\n' >"$work/runs"
head -c 64 /dev/zero >"$work/refused"
chmod 755 "$work/runs" "$work/refused"
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
    switched="cannot run 32-bit programs: running $work/runs gave \"Exec format error\""
else
    switched="ORVANE_NO_32BIT=1 asks for a kernel without 32-bit support"
fi

# check LOADER SWITCH STATUS TEXT: --check win32 with a fresh state ends with STATUS and prints TEXT.
check() {
    local loader=$1 switch=$2 status=$3 text=$4 got=0 out state
    state=$(mktemp -d -p "$work")
    out=$(ORVANE_WINE32_LOADER=$loader ORVANE_WINE_STATE=$state ORVANE_NO_32BIT=$switch \
        "$launcher" --check win32 2>&1) || got=$?
    if [ "$got" -ne "$status" ] || [[ "$out" != *"$text"* ]] || [ "$(printf '%s' "$out" | grep -c .)" -gt 1 ]; then
        echo "FAIL: loader $(basename "$loader"), switch '$switch': status $got (want $status), output: $out"
        failures=$((failures + 1))
    fi
}

# loader          switch  status  the one line
check "$work/runs"    ""  0       ""
check "$work/refused" ""  77      "SKIP: 32-bit Windows programs cannot run here: this kernel cannot run 32-bit programs: running $work/refused gave \"Exec format error\"; the win64 build runs these tests"
check "$work/none"    ""  1       "no i386 Wine loader at $work/none (install wine32:i386)"
check "$work/runs"    1   77      "$switched"
check "$work/refused" 1   77      "Exec format error"

# The answer is found once per state folder: a loader changed afterwards is not tried again.
state=$work/kept
ORVANE_WINE32_LOADER=$work/runs ORVANE_WINE_STATE=$state "$launcher" --check win32 >/dev/null || {
    echo "FAIL: the first check"; failures=$((failures + 1)); }
status=0
ORVANE_WINE32_LOADER=$work/refused ORVANE_WINE_STATE=$state "$launcher" --check win32 >/dev/null || status=$?
[ "$status" -eq 0 ] || { echo "FAIL: the kept answer was not used (status $status)"; failures=$((failures + 1)); }
# ... and the switch still turns a kept "yes" into a skip.
status=0
ORVANE_NO_32BIT=1 ORVANE_WINE32_LOADER=$work/runs ORVANE_WINE_STATE=$state "$launcher" --check win32 >/dev/null ||
    status=$?
[ "$status" -eq 77 ] || { echo "FAIL: the switch over a kept answer: status $status"; failures=$((failures + 1)); }
# An answer found under the switch is not kept for runs without it.
ORVANE_NO_32BIT=1 ORVANE_WINE32_LOADER=$work/runs ORVANE_WINE_STATE=$work/switched "$launcher" --check win32 >/dev/null
status=0
ORVANE_WINE32_LOADER=$work/runs ORVANE_WINE_STATE=$work/switched "$launcher" --check win32 >/dev/null || status=$?
[ "$status" -eq 0 ] || { echo "FAIL: the switched answer was kept: status $status"; failures=$((failures + 1)); }

# After the tests, the reason is said again for a state whose 32-bit runs were skipped, and only then.
for row in "refused:SKIP: 32-bit Windows programs cannot run here" "runs:" "none:"; do
    loader=${row%%:*}
    ORVANE_WINE32_LOADER=$work/$loader ORVANE_WINE_STATE=$work/report-$loader "$launcher" --check win32 >/dev/null 2>&1
    out=$("$launcher" --report "$work/report-$loader")
    if [[ "$out" != "${row#*:}"* ]] || { [ -z "${row#*:}" ] && [ -n "$out" ]; }; then
        echo "FAIL: report after loader $loader: '$out'"
        failures=$((failures + 1))
    fi
done

# A 32-bit run where they cannot run never reaches Wine: 77 and the line, whatever the program.
status=0
out=$(ORVANE_WINE32_LOADER=$work/refused ORVANE_WINE_STATE=$work/run "$launcher" win32 "$work/absent.exe" 2>&1) ||
    status=$?
if [ "$status" -ne 77 ] || [[ "$out" != SKIP:* ]]; then
    echo "FAIL: win32 run: $status $out"
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || exit 1
echo "PASS: the 32-bit answer, its reasons, the switch, the kept answer and the report after the tests"

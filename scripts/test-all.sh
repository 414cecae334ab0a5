#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds every form (Linux, sanitizers, 32- and 64-bit Windows) and runs every test.
# Needs root: the lab tests build private LANs of network namespaces.
# Where the kernel cannot run 32-bit programs, the runs of the 32-bit Windows programs are reported as skipped, with
# the reason; ORVANE_NO_32BIT=1 makes the whole suite behave so on any kernel (see cmake/wine-run.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export WINEDEBUG=-all
jobs=$(nproc)

status=0
echo "=== layout and format"
bash scripts/check-layers.sh || status=1
bash scripts/check-format.sh || status=1

build_preset() {  # build_preset PRESET [TARGET...]
    local preset=$1
    shift
    echo "=== $preset: build ($(date +%T))"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs" ${1:+-t "$@"}
}

test_preset() {  # test_preset PRESET [CTEST ARGS...]
    local preset=$1
    shift
    echo "=== $preset: test ($(date +%T))"
    ctest --preset "$preset" -j"$jobs" "$@" || status=1
}

# lab_preset PRESET [CTEST ARGS...]: the lab tests, twice as many at once as there are cores: they spend most of
# their time waiting on the LAN's timers, not computing. The shared LAN's tests still take it one at a time
# (RESOURCE_LOCK); a test with a LAN of its own runs beside them.
lab_preset() {
    local preset=$1
    shift
    echo "=== $preset: lab tests ($(date +%T))"
    ctest --preset "$preset" -L '^lab$' -j"$((jobs * 2))" "$@" || status=1
}

# The lab tests to which a sanitizer adds something: those that hand the programs bytes and failures the unit
# tests do not (odd, spoilt, forged and IPv6 frames from real peers, logs and outputs that cannot be written, the
# window program's receive path end to end, through its sockets and beside dhclient). The rest judge rights, timing, the lab's own equipment, Windows
# programs or the monitoring engines, which the default build's runs already cover.
sanitized_lab='^lab\.(qt_window_end_to_end|probe_reports_offers|probe_odd_datagrams|probe_log_faults|probe_output_faults|'
sanitized_lab+='probe_metrics_faults|probe_forged_flood|probe_capture_unicast|probe_capture_dhclient|probe_capture_trunk|'
sanitized_lab+='probe_ipv6|probe_ipv6_capture|qt_window_beside_dhclient)$'
# The lab tests in which threads meet: the window program's receiver thread, the probe's rounds beside its
# signal handler and its metrics exposer.
threaded_lab='^lab\.(qt_window_end_to_end|qt_program_rights|probe_rounds|probe_prometheus|probe_metrics_faults)$'

# The Windows builds first: the Linux build's tests read the win32 build's orvane.exe and run the programs of
# both (each skipped without its build). Where 32-bit programs cannot run, every 32-bit run is skipped, so only
# the programs are built: the Linux build's tests read orvane.exe, and the download holds both.
cmake --preset win32 >/dev/null
if answer=$(ORVANE_WINE_STATE=build-win32/wine bash cmake/wine-run.sh --check win32); then
    echo "=== 32-bit Windows programs run here"
    build_preset win32
else
    echo "=== ${answer#SKIP: }"
    build_preset win32 orvane orvane-probe
fi
test_preset win32
build_preset win64
test_preset win64
build_preset default
test_preset default -E '^lab\.'
lab_preset default
# The packages installed, run, removed and purged on this machine (1.5 min), and the Windows download built a
# second time and compared (2.5 min).
echo "=== packaging: test ($(date +%T))"
ctest --preset packaging || status=1
build_preset asan
test_preset asan -E '^lab\.'
lab_preset asan -R "$sanitized_lab"
build_preset tsan
test_preset tsan -E '^lab\.'
lab_preset tsan -R "$threaded_lab"

echo "=== fuzz: every decoder, 30 s each ($(date +%T))"
bash fuzz/run.sh 30 || status=1

if [ $status -ne 0 ]; then
    echo "=== some tests failed"
fi
exit $status

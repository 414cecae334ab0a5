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

# The lab tests that run Windows programs under Wine or test the lab's own equipment: a sanitizer build adds
# nothing to them.
not_sanitized='^lab\.(win32_window|win64_window|probe_win32|probe_win64|probe_win32_ipv6|probe_win64_ipv6|trunk_vlans|trunk_many_vlans|'
not_sanitized+='dhclient_holds_port|unicast_offer|ipv6_peers|features_teardown|offer_after_ping|'
not_sanitized+='probe_default_wait_after_ping|versions|discovery_on_wire|endpoint_held|hwaddr_chaddr)$'
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
test_preset default
# The packages installed, run, removed and purged on this machine (1.5 min), and the Windows download built a
# second time and compared (2.5 min).
echo "=== packaging: test ($(date +%T))"
ctest --preset packaging || status=1
build_preset asan
test_preset asan -E "$not_sanitized"
build_preset tsan
test_preset tsan -E '^lab\.'
test_preset tsan -R "$threaded_lab"

echo "=== fuzz: every decoder, 30 s each ($(date +%T))"
bash fuzz/run.sh 30 || status=1

if [ $status -ne 0 ]; then
    echo "=== some tests failed"
fi
exit $status

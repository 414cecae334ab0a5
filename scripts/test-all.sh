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

run_preset() {
    local preset=$1
    shift
    echo "=== $preset: build ($(date +%T))"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
    echo "=== $preset: test ($(date +%T))"
    ctest --preset "$preset" -j"$jobs" "$@" || status=1
}

# The Windows builds first: the Linux build's tests read the win32 build's orvane.exe and run the programs of
# both (each skipped without its build).
run_preset win32
# The answer the win32 build's tests were given, once more for the log.
if answer=$(ORVANE_WINE_STATE=build-win32/wine bash cmake/wine-run.sh --check win32); then
    echo "=== 32-bit Windows programs run here"
else
    echo "=== ${answer#SKIP: }"
fi
run_preset win64
run_preset default
# The packages installed, run, removed and purged on this machine (1.5 min), and the Windows download built a
# second time and compared (2.5 min).
echo "=== packaging: test ($(date +%T))"
ctest --preset packaging || status=1
run_preset asan
run_preset tsan

echo "=== fuzz: every decoder, 60 s each ($(date +%T))"
bash fuzz/run.sh 60 || status=1

if [ $status -ne 0 ]; then
    echo "=== some tests failed"
fi
exit $status

#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds every form (Linux, sanitizers, 32-bit Windows) and runs every test.
# Needs root: the lab tests build private LANs of network namespaces.
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

# win32 first: the Linux build's tests read and run its orvane.exe (they are skipped without it).
run_preset win32
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

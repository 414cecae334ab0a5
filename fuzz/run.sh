#!/usr/bin/env bash
# Builds the receive-and-decode fuzz target with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it over loopback for SECONDS (default 60). Exits nonzero on any finding; the input is kept in OUT.
# Usage: fuzz/run.sh [SECONDS] [OUT_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
keep=${2:+yes}
out=${2:-$(mktemp -d /tmp/orvane-fuzz-run.XXXXXX)}
mkdir -p "$out/corpus"
cxx=${CXX_FUZZ:-clang++}

"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
    -Wall -Wextra -Wpedantic -Werror -I"$root" \
    "$here/receive_reply_fuzz.cpp" "$root/common/app_state.cpp" "$root/discovery/network_posix.cpp" \
    "$root/discovery/raw_log.cpp" "$root/discovery/raw_log_posix.cpp" "$root/discovery/reply_decoder.cpp" \
    "$root/discovery/receiver_loop.cpp" -o "$out/receive_reply_fuzz"

# New inputs go to the scratch corpus; the seeds in the tree stay as they are.
status=0
ORVANE_FUZZ_DIR=$out "$out/receive_reply_fuzz" -max_total_time="$seconds" -max_len=1400 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$out/" "$out/corpus" "$here/corpus" || status=$?
if [ "$status" -ne 0 ]; then
    echo "fuzz: finding (status $status); inputs in $out" >&2
    exit "$status"
fi
[ -n "$keep" ] || rm -rf "$out"
echo "fuzz: no finding in $seconds s"

#!/usr/bin/env bash
# Builds the probe's decoder fuzz target with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it for SECONDS (default 60), seeded with the receive target's corpus. Exits nonzero on any finding.
# Usage: fuzz/run_reply_fields.sh [SECONDS] [OUT_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
keep=${2:+yes}
out=${2:-$(mktemp -d /tmp/orvane-fuzz-fields.XXXXXX)}
mkdir -p "$out/corpus"
cxx=${CXX_FUZZ:-clang++}

"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
    -Wall -Wextra -Wpedantic -Werror -I"$root" \
    "$here/reply_fields_fuzz.cpp" "$root/discovery/dhcp_options.cpp" "$root/discovery/reply_fields.cpp" \
    "$root/discovery/host_interfaces.cpp" "$root/cli/json_report.cpp" "$root/cli/text_report.cpp" \
    "$root/cli/reply_flags.cpp" "$root/cli/server_tally.cpp" "$root/cli/verdict.cpp" \
    "$root/discovery/network_posix.cpp" -o "$out/reply_fields_fuzz"

status=0
"$out/reply_fields_fuzz" -max_total_time="$seconds" -max_len=1400 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$out/" "$out/corpus" "$here/corpus" || status=$?
if [ "$status" -ne 0 ]; then
    echo "fuzz: finding (status $status); inputs in $out" >&2
    exit "$status"
fi
[ -n "$keep" ] || rm -rf "$out"
echo "fuzz: no finding in $seconds s"

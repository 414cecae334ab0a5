#!/usr/bin/env bash
# Builds one fuzz target with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs it for
# SECONDS (default 60), seeded with the corpus in fuzz/corpus. Exits nonzero on any finding; the input is kept in OUT.
# Usage: fuzz/run.sh TARGET [SECONDS] [OUT_DIR]
#   receive_reply   the window program's receive, raw log and decode, fed over loopback
#   reply_fields    the probe's full option decoder, flags, text and JSON reports
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
target=${1:?usage: fuzz/run.sh receive_reply|reply_fields [SECONDS] [OUT_DIR]}
seconds=${2:-60}
keep=${3:+yes}
out=${3:-$(mktemp -d "/tmp/orvane-fuzz-$target.XXXXXX")}
mkdir -p "$out/corpus"
cxx=${CXX_FUZZ:-clang++}

case $target in
    receive_reply)
        sources=(common/app_state.cpp discovery/network_posix.cpp discovery/raw_log.cpp discovery/raw_log_posix.cpp
                 discovery/reply_decoder.cpp discovery/receiver_loop.cpp) ;;
    reply_fields)
        sources=(discovery/dhcp_options.cpp discovery/reply_fields.cpp discovery/host_interfaces.cpp
                 cli/json_report.cpp cli/text_report.cpp cli/reply_flags.cpp cli/server_tally.cpp cli/verdict.cpp
                 discovery/network_posix.cpp) ;;
    *) echo "fuzz: unknown target $target" >&2; exit 2 ;;
esac

"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
    -Wall -Wextra -Wpedantic -Werror -I"$root" \
    "$here/${target}_fuzz.cpp" "${sources[@]/#/$root/}" -o "$out/${target}_fuzz"

# New inputs go to the scratch corpus; the seeds in the tree stay as they are.
status=0
ORVANE_FUZZ_DIR=$out "$out/${target}_fuzz" -max_total_time="$seconds" -max_len=1400 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$out/" "$out/corpus" "$here/corpus" || status=$?
if [ "$status" -ne 0 ]; then
    echo "fuzz: $target: finding (status $status); inputs in $out" >&2
    exit "$status"
fi
[ -n "$keep" ] || rm -rf "$out"
echo "fuzz: $target: no finding in $seconds s"

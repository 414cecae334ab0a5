#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each named
# target for SECONDS (default 60), two at a time, seeded with fuzz/corpus/<corpus>. Prints each target's
# executions per second and total; exits nonzero on any finding, whose input is kept under the run's folder.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]      (no target: every one)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
shift || true
all_targets=(reply_walk reply_fields link_dump frame_decoder vendor_registry dhcpv6 router_advert ipv6_packet helper_frames)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

# The seeds a target starts from: some targets share the lab's real replies.
corpus_of() {
    case $1 in
        reply_walk | reply_fields) echo reply ;;
        *) echo "$1" ;;
    esac
}

# The longest input worth trying: a reply walk reads a 548-byte buffer and a 12-byte summary.
max_len_of() {
    case $1 in
        reply_walk) echo 560 ;;
        reply_fields) echo 1400 ;;
        *) echo 4096 ;;
    esac
}

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]/%/_fuzz}" >/dev/null
out=$(mktemp -d /tmp/orvane-fuzz.XXXXXX)

run_one() {
    local target=$1 seeds
    seeds="$here/corpus/$(corpus_of "$target")"
    mkdir -p "$out/$target/corpus"
    # New inputs go to the scratch corpus; the seeds in the tree stay as they are.
    "$root/build-fuzz/bin/${target}_fuzz" -max_total_time="$seconds" -max_len="$(max_len_of "$target")" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$out/$target/" "$out/$target/corpus" "$seeds" >"$out/$target/log" 2>&1
}

status=0
pids=()
names=()
for target in "${targets[@]}"; do
    run_one "$target" &
    pids+=($!)
    names+=("$target")
    # Two at a time: the machines have two cores.
    if [ ${#pids[@]} -ge 2 ]; then
        wait "${pids[0]}" || { echo "fuzz: ${names[0]}: finding; see $out/${names[0]}" >&2; status=1; }
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
done
for k in "${!pids[@]}"; do
    wait "${pids[$k]}" || { echo "fuzz: ${names[$k]}: finding; see $out/${names[$k]}" >&2; status=1; }
done

for target in "${targets[@]}"; do
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$target/log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/$target/log")
    echo "fuzz: $target: ${runs:-?} executions, ${rate:-?} per second, in $seconds s"
done
[ $status -eq 0 ] && rm -rf "$out"
exit $status

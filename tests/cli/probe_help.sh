#!/usr/bin/env bash
# --help and the man pages as a reader uses them; orvane --help and --version answered without a socket (run where no
# network exists, so a fault could not broadcast). Usage: probe_help.sh PROBE ORVANE SOURCE_DIR
set -euo pipefail
probe=$1 orvane=$2 source=$3
manual=$source/cli/orvane-probe.1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Piped (80 columns) and on terminals of 200 and 60 columns.
"$probe" --help >"$work/help.pipe"
for columns in 200 60; do
    script -qec "stty cols $columns; '$probe' --help" /dev/null | tr -d '\r' >"$work/help.$columns"
done
for shown in pipe 200 60; do
    grep -q '^Monitoring:$' "$work/help.$shown" && [ -z "$(awk 'length > 100' "$work/help.$shown")" ] \
        || fail "--help ($shown) has no sections or runs past 100 columns: $(cat "$work/help.$shown")"
done
! grep -qE 'Excludes:|Needs:|\{text,json' "$work/help.pipe" || fail "CLI11's constraints shown in --help"
[ "$(awk '{ if (length > n) n = length } END { print n }' "$work/help.200")" -gt 80 ] || fail "--help ignores a wide terminal"

# Every option of --help in the man page, written as groff writes a hyphen.
for option in $(grep -oE -- '--[a-z0-9-]+' "$work/help.pipe" | sort -u); do
    grep -qF -- "${option//-/\\-}" "$manual" || fail "$option is not in orvane-probe(1)"
done
# Every metric the probe serves.
for metric in $(grep -rhoE '"orvane_[a-z_]+' "$source/cli" | tr -d '"' | sort -u); do
    grep -q "^\.B.* $metric\b\|^\.B.*\b$metric\b" "$manual" || fail "$metric is not in orvane-probe(1)"
done
for page in "$manual" "$source/app/orvane.1"; do
    sed -n 1,6p "$page" | grep -qx '\.hy 0' || fail "$page hyphenates words"
done

[ "$("$probe" -V)" = "$("$probe" --version)" ] || fail "-V is not --version"

# A mistyped option: the one it most likely meant, status 3.
status=0
"$probe" --montior 2>"$work/err" || status=$?
[ "$status" -eq 3 ] && grep -q 'did you mean --monitor?' "$work/err" || fail "--montior: $status $(cat "$work/err")"

# orvane: no network to reach, no display, no socket opened. LeakSanitizer cannot run under strace's ptrace.
for option in --help --version; do
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY ASAN_OPTIONS=detect_leaks=0 unshare -rn strace -f -qq -e trace=socket -o "$work/trace" "$orvane" $option \
        >"$work/out" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "orvane $option: status $status: $(cat "$work/out")"
    grep -q '^\(Usage: \)\?orvane' "$work/out" || fail "orvane $option: $(cat "$work/out")"
    ! grep -q 'socket(' "$work/trace" || fail "orvane $option opened a socket: $(cat "$work/trace")"
done
echo "PASS: --help within 100 columns at 60, 80 and 200; every option and metric in the man page; orvane --help and --version"

#!/usr/bin/env bash
# Checks that every C++ file of the tree is as clang-format leaves it (.clang-format at the root).
# Prints the files that are not; exits 1 when there are any. scripts/check-format.sh --fix formats them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
status=0
for file in "${files[@]}"; do
    clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || { echo "format: $file is not formatted" >&2; status=1; }
done
[ $status -eq 0 ] && echo "format: ${#files[@]} files as clang-format leaves them"
exit $status

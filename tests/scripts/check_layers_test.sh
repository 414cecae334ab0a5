#!/usr/bin/env bash
# check-layers.sh over a copy of the layers: each planted breach, alone, is caught and named; system headers whose
# folder shares a layer's name, and includes that run downward, are not.
set -euo pipefail
check=$1
source_dir=$(cd "$(dirname "$check")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$work/tree"
for layer in common protocol net host app cli support; do
    [ ! -d "$source_dir/$layer" ] || cp -r "$source_dir/$layer" "$work/tree/"
done

# FILE|TEXT ADDED (\n: a new line)|WHAT THE BREACH SAYS, or - for none. Each row's text is taken out again after it.
while IFS='|' read -r file text expected; do
    planted=$work/tree/$file
    rm -f "$work/kept"
    [ ! -f "$planted" ] || cp "$planted" "$work/kept"
    printf '%b\n' "$text" >>"$planted"
    status=0
    bash "$check" "$work/tree" >/dev/null 2>"$work/err" || status=$?
    if [ -f "$work/kept" ]; then mv "$work/kept" "$planted"; else rm "$planted"; fi
    if [ "$expected" = - ]; then
        [ "$status" -eq 0 ] || fail "$file '$text' is no breach: $(cat "$work/err")"
    else
        [ "$status" -eq 1 ] && grep -qF -- "$expected" "$work/err" \
            || fail "$file '$text': status $status, '$(cat "$work/err")', not '$expected'"
    fi
done <<'ROWS'
host/planted.h|#include <cli/probe_options.h>|host/planted.h:1 includes <cli/probe_options.h>, outside
host/planted.inc|#include "app/app_state.h"|host/planted.inc:1 includes "app/app_state.h", outside
net/planted.cpp|  #  include "host/interfaces.h"|net/planted.cpp:1 includes "host/interfaces.h"
host/planted.cpp|#include "../cli/probe_options.h"|includes "../cli/probe_options.h", outside
common/planted.h|#include <protocol/checksum.h>|common/planted.h:1 includes <protocol/checksum.h>
protocol/planted.h|#include <sys/socket.h>|includes <sys/socket.h>, which is no C++ standard header
support/planted.cpp|#include "net/network.h"|support/planted.cpp:1 includes "net/network.h"
host/CMakeLists.txt|target_link_libraries(orvane_host PUBLIC orvane_cli_core)|links orvane_host to orvane_cli_core
net/CMakeLists.txt|target_link_libraries(orvane_net\n    PRIVATE # the window program's state\n    orvane_app)|links orvane_net to orvane_app
cli/CMakeLists.txt|target_link_libraries(orvane-probe PRIVATE Qt6::Widgets)|a library of the window program
host/planted.cpp|#include <net/if.h>\n#include <vector>\n#include "net/network.h"|-
cli/CMakeLists.txt|# target_link_libraries(orvane-probe PRIVATE orvane_app)|-
ROWS
echo "PASS: every planted upward include and link caught"

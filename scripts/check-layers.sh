#!/usr/bin/env bash
# Checks that every layer includes and links only the layers below it, and that common/ and protocol/ include
# nothing but the standard library: no OS, socket, Qt or Windows header. Prints each breach; exits 1 on any.
# check-layers.sh [ROOT]: the tree at ROOT (default: this one).
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# Each layer and the layers it may use. support/ holds what the tests and the fuzz targets share.
declare -A allowed=(
    [common]="common"
    [protocol]="common protocol"
    [net]="common protocol net"
    [host]="common protocol net host"
    [app]="common protocol net host app"
    [cli]="common protocol net host cli"
    [support]="common protocol support"
)
layers="common protocol net host app cli support"
sources=(--include='*.h' --include='*.hpp' --include='*.c' --include='*.cc' --include='*.cpp' --include='*.inc'
         --include='*.rc' --include='*.h.in')

status=0
breach() { echo "layers: $*" >&2; status=1; }
uses() { [[ " ${allowed[$1]} " == *" $2 "* ]]; }

# The file an include names, into $target, as the compiler finds it with the tree's root on the include path: a
# quoted name beside the including file first. Empty for a system header; a generated one keeps its name.
included_file() {  # included_file FILE NAME QUOTED
    target=
    if [ "$3" = yes ] && [ -f "${1%/*}/$2" ]; then
        target=${1%/*}/$2
    elif [ -f "$2" ] || [ "$3" = yes ]; then
        target=$2
    fi
    if [[ $target == *..* ]]; then target=$(realpath -m --relative-to=. "$target"); fi
}

# Both forms of include, in every source of each layer: <cli/probe.h> compiles in host/ as "cli/probe.h" does.
for layer in $layers; do
    [ -d "$layer" ] || continue
    while IFS=: read -r file line text; do
        [[ $text =~ include[[:space:]]*([\"<])([^\">]*) ]] || continue
        name=${BASH_REMATCH[2]}
        quoted=no shown="<$name>"
        if [ "${BASH_REMATCH[1]}" = '"' ]; then quoted=yes shown="\"$name\""; fi
        included_file "$file" "$name" $quoted
        if [ -n "$target" ]; then
            uses "$layer" "${target%%/*}" || breach "$file:$line includes $shown, outside ${allowed[$layer]}"
        elif [ "$layer" = common ] || [ "$layer" = protocol ]; then
            # The standard library's headers carry neither a dot nor a folder.
            if [[ $name == */* || $name == *.* ]]; then
                breach "$file:$line includes <$name>, which is no C++ standard header"
            fi
        fi
    done < <(grep -rn "${sources[@]}" -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$layer" || true)
done

# cmake_calls FOLDER COMMANDS: "FILE ARGUMENTS" for each call of the COMMANDS (a regex) in FOLDER's CMake files.
cmake_calls() {
    local file
    while read -r file; do
        sed 's/#.*//' "$file" | tr '\n' ' ' | grep -oE "(^|[^a-z_])($2)\([^)]*\)" | sed -E "s|^[^(]*\(|$file |; s|\)$||"
    done < <(find "$1" -name CMakeLists.txt -o -name '*.cmake' | sort)
}

# Each library and program belongs to the layer that adds it; a layer links only its own and those below.
declare -A owner
for layer in $layers; do
    [ -d "$layer" ] || continue
    while read -r _ name _; do owner[$name]=$layer; done < <(cmake_calls "$layer" 'add_library|add_executable')
done
for layer in $layers; do
    [ -d "$layer" ] || continue
    while read -r file target words; do
        for word in $words; do
            if [ -n "${owner[$word]:-}" ] && ! uses "$layer" "${owner[$word]}"; then
                breach "$file links $target to $word, outside ${allowed[$layer]}"
            fi
            # Only the window program links Qt.
            if [[ $word == Qt6::* && $layer != app ]]; then
                breach "$file links $target to $word, a library of the window program"
            fi
        done
    done < <(cmake_calls "$layer" target_link_libraries)
done
[ $status -eq 0 ] && echo "layers: every include and link runs downward"
exit $status

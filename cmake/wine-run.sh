#!/usr/bin/env bash
# Runs a Windows test program under Wine: the test launcher of the win32 and win64 builds and of the
# lab scripts that run Windows programs.
#
#   wine-run.sh win32|win64 PROGRAM [ARGS...]   run PROGRAM (a file, or a Wine program such as wineboot)
#   wine-run.sh --check win32|win64             exit 0 when such programs can run here, else 77 with a SKIP line
#   wine-run.sh --report STATE                  the SKIP line again if the 32-bit runs of that state were skipped
#
# Wine 8 runs a 32-bit program only through its i386 loader, which a kernel without IA-32 emulation refuses
# with "Exec format error". Whether it can is decided by running that loader once per build; the answer is kept
# in ORVANE_WINE_STATE (default: wine/ in the build folder the program or the working folder lies in). Where it
# cannot, every 32-bit run ends with status 77 (CTest's skip) and one line saying why. 64-bit programs go to
# Wine's 64-bit loader: Debian's wine command takes the i386 loader whenever it is installed, even for them.
#
# ORVANE_NO_32BIT=1 makes this behave as on a kernel without 32-bit support. As root every Wine run then
# happens in a mount namespace of its own in which Wine's i386 files are replaced by a file the kernel
# refuses with ENOEXEC, so the 32-bit check fails as it would there and a 64-bit run that needed them fails.
#
# WINEPREFIX is kept when it is set. Otherwise 32-bit runs use Wine's default prefix, and 64-bit runs a
# 64-bit prefix in the state folder, made once.
set -euo pipefail

self=$(readlink -f "$0")
wine32_loader=${ORVANE_WINE32_LOADER:-/usr/lib/wine/wine}
wine64_loader=${ORVANE_WINE64_LOADER:-/usr/lib/wine/wine64}
# Wine's i386 files: the loader and the 32-bit server.
i386_files=("$wine32_loader" "$(dirname "$wine32_loader")/wineserver32")

usage() {
    echo "usage: wine-run.sh win32|win64 PROGRAM [ARGS...] | --check win32|win64 | --report STATE" >&2
    exit 2
}

# The folder holding CMakeCache.txt at or above $1, or nothing.
build_folder_of() {
    local dir
    dir=$(readlink -f "$1" 2>/dev/null) || return 0
    while [ "$dir" != / ]; do
        [ -f "$dir/CMakeCache.txt" ] && { echo "$dir"; return 0; }
        dir=$(dirname "$dir")
    done
}

state_folder() {  # state_folder PROGRAM
    local build=
    [ -z "${ORVANE_WINE_STATE:-}" ] || { echo "$ORVANE_WINE_STATE"; return 0; }
    [ -z "${1:-}" ] || [ ! -e "$1" ] || build=$(build_folder_of "$(dirname "$1")")
    [ -n "$build" ] || build=$(build_folder_of "$PWD")
    [ -n "$build" ] || { echo "wine-run: no build folder around ${1:-$PWD}; set ORVANE_WINE_STATE" >&2; exit 2; }
    echo "$build/wine"
}

masking() { [ "${ORVANE_NO_32BIT:-}" = 1 ] && [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; }

# Replaces Wine's i386 files by a file the kernel cannot execute (ENOEXEC, as a kernel without IA-32
# emulation answers an i386 program), in this process's own mount namespace.
mask_i386_files() {
    local refused=$STATE/not-executable file
    if [ ! -s "$refused" ]; then
        head -c 64 /dev/zero >"$refused.$$"
        chmod 755 "$refused.$$"
        mv -f "$refused.$$" "$refused"
    fi
    for file in "${i386_files[@]}"; do
        [ -e "$file" ] && mount --bind "$refused" "$file"
    done
    return 0
}

# Sets ANSWER to "yes" or "no REASON": can this kernel run the i386 loader? Tried once per build and switch.
check_i386() {
    local cache=$STATE/i386-check status=0 out line
    ! masking || cache=$cache-masked
    if [ ! -s "$cache" ]; then
        mkdir -p "$STATE"
        exec 9>"$cache.lock"
        flock 9
        if [ ! -s "$cache" ]; then
            if [ ! -e "$wine32_loader" ]; then
                ANSWER="missing no i386 Wine loader at $wine32_loader (install wine32:i386)"
            else
                if masking; then
                    out=$(unshare --mount --propagation private "$BASH" "$self" --masked-exec "$STATE" \
                        "$wine32_loader" --version 2>&1) || status=$?
                else
                    # Not through env or any execvp: those run a file the kernel refuses as a shell script.
                    out=$("$wine32_loader" --version 2>&1) || status=$?
                fi
                line=$(printf '%s\n' "$out" | grep -m1 -i 'exec format error' || true)
                if [ "$status" -ne 0 ] && [ -n "$line" ]; then
                    ANSWER="no this kernel cannot run 32-bit programs: running $wine32_loader gave \"${line##*: }\""
                else
                    ANSWER=yes
                fi
            fi
            printf '%s\n' "$ANSWER" >"$cache.$$"
            mv -f "$cache.$$" "$cache"
        fi
        exec 9>&-
    fi
    kept_answer "$cache"
}

# Sets ANSWER from the cache file $1, the switch applied; empty when nothing was decided yet.
kept_answer() {
    ANSWER=$(head -n1 "$1" 2>/dev/null || true)
    if [ "$ANSWER" = yes ] && [ "${ORVANE_NO_32BIT:-}" = 1 ]; then
        ANSWER="no ORVANE_NO_32BIT=1 asks for a kernel without 32-bit support"
    fi
}

skip_line() { echo "SKIP: 32-bit Windows programs cannot run here: ${ANSWER#no }; the win64 build runs these tests"; }

# Exits 77 with the one SKIP line when 32-bit programs cannot run here, 1 when Wine's i386 half is missing.
require_i386() {
    check_i386
    case $ANSWER in
        yes) ;;
        no\ *)
            skip_line
            exit 77
            ;;
        *)
            echo "wine-run: ${ANSWER#missing }" >&2
            exit 1
            ;;
    esac
}

# The 64-bit runs are never skipped: they are what runs everywhere.
require_wine64() {
    [ -x "$wine64_loader" ] || { echo "wine-run: no 64-bit Wine loader at $wine64_loader (install wine64)" >&2; exit 1; }
}

# Makes the 64-bit prefix in the state folder once; the tests of a build share it.
ensure_prefix64() {
    local prefix=$STATE/prefix64
    export WINEPREFIX=$prefix
    [ -f "$prefix/system.reg" ] && return 0
    mkdir -p "$STATE"
    exec 8>"$STATE/prefix64.lock"
    flock 8
    if [ ! -f "$prefix/system.reg" ]; then
        rm -rf "$prefix"
        WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY='' run_wine64 wineboot -i >"$STATE/prefix64.log" 2>&1 ||
            { cat "$STATE/prefix64.log" >&2; echo "wine-run: the 64-bit Wine prefix could not be made" >&2; exit 1; }
    fi
    exec 8>&-
}

run_wine64() {  # run_wine64 ARGS...: Wine's 64-bit loader, in the masked namespace under the switch
    if masking; then
        unshare --mount --propagation private "$BASH" "$self" --masked-exec "$STATE" "$wine64_loader" "$@"
    else
        "$wine64_loader" "$@"
    fi
}

case ${1:-} in
    --masked-exec)
        # Inside the new mount namespace: mask, then become the command.
        [ $# -ge 3 ] || usage
        STATE=$2
        shift 2
        mask_i386_files
        exec "$@"
        ;;
    --report)
        # After a test run (CTest's post-test command): CTest shows no output of a skipped test.
        [ $# -eq 2 ] || usage
        STATE=$2
        cache=$STATE/i386-check
        ! masking || cache=$cache-masked
        kept_answer "$cache"
        case $ANSWER in no\ *) skip_line ;; esac
        exit 0
        ;;
    --check)
        [ $# -eq 2 ] || usage
        STATE=$(state_folder "")
        case $2 in
            win32) require_i386 ;;
            win64) require_wine64 ;;
            *) usage ;;
        esac
        exit 0
        ;;
    win32 | win64) ;;
    *) usage ;;
esac
[ $# -ge 2 ] || usage
arch=$1
shift
STATE=$(state_folder "$1")
export WINEDEBUG=${WINEDEBUG:-fixme-all}

if [ "$arch" = win32 ]; then
    require_i386
    exec wine "$@"
fi

require_wine64
export WINEARCH=win64
# Processes the program starts come from the same loader.
export WINELOADER=$wine64_loader
[ -n "${WINEPREFIX:-}" ] || ensure_prefix64
if masking; then
    exec unshare --mount --propagation private "$BASH" "$self" --masked-exec "$STATE" "$wine64_loader" "$@"
fi
exec "$wine64_loader" "$@"

#!/usr/bin/env bash
# The Windows download: made a second time from a copy of the tree in another folder, through a build of its
# own, in another time zone and under another umask, it is the same zip byte for byte, and the programs are
# the same files. It holds the two programs (stripped), README.txt and LICENSE.txt with CRLF line ends, all
# dated at the last commit, with fixed modes and no extra attributes.
# Environment: ORVANE_SOURCE, ORVANE_WIN32_BUILD (a configured win32 build tree), ORVANE_VERSION.
set -euo pipefail
source_dir=${ORVANE_SOURCE:?the source tree}
win32=${ORVANE_WIN32_BUILD:?the win32 build tree}
version=${ORVANE_VERSION:?the version}
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -f "$win32/CMakeCache.txt" ] || { echo "SKIP: no win32 build at $win32 (cmake --preset win32)"; exit 77; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
folder=orvane-$version-win32
zip_name=$folder.zip
epoch=$(git -C "$source_dir" log -1 --format=%ct)

cmake --build "$win32" -t windows-zip >"$WORK/build.log" 2>&1 || { cat "$WORK/build.log" >&2; fail "windows-zip failed"; }
first=$win32/packages/$zip_name
[ -f "$first" ] || fail "no $first"

# The entries, as zip stores them.
python3 - "$first" "$folder" "$epoch" <<'EOF' || fail "the zip's entries are not as they should be"
import sys, time, zipfile
path, folder, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
names = [folder + "/" + n for n in ("LICENSE.txt", "README.txt", "orvane-probe.exe", "orvane.exe")]
when = time.gmtime(epoch)[:6]
when = when[:5] + (when[5] // 2 * 2,)  # zip keeps even seconds
archive = zipfile.ZipFile(path)
entries = archive.infolist()
problems = []
if [e.filename for e in entries] != names:
    problems.append("names %s" % [e.filename for e in entries])
if archive.comment:
    problems.append("a comment")
for e in entries:
    if e.extra:
        problems.append("%s has extra fields %r" % (e.filename, e.extra))
    if e.date_time != when:
        problems.append("%s is dated %s, not %s" % (e.filename, e.date_time, when))
    if e.external_attr >> 16 != 0o100644:
        problems.append("%s has mode %o" % (e.filename, e.external_attr >> 16))
    if e.compress_type != zipfile.ZIP_DEFLATED:
        problems.append("%s is not deflated" % e.filename)
for problem in problems:
    print(problem, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF

mkdir "$WORK/unpacked"
unzip -q "$first" -d "$WORK/unpacked"
unpacked=$WORK/unpacked/$folder
for text in README.txt LICENSE.txt; do
    [ "$(grep -c $'\r$' "$unpacked/$text")" -eq "$(wc -l <"$unpacked/$text")" ] || fail "$text has lines without CRLF"
done
grep -q "^Orvane $version for Windows"$'\r$' "$unpacked/README.txt" || fail "README.txt does not name $version"
[ "$(head -c 11 "$unpacked/LICENSE.txt")" = "MIT License" ] && grep -q "Copyright (c) 2026 The Orvane developers" \
    "$unpacked/LICENSE.txt" || fail "LICENSE.txt is not the licence"
file "$unpacked/orvane.exe" | grep -q 'PE32 executable (GUI) Intel 80386' || fail "orvane.exe: $(file "$unpacked/orvane.exe")"
file "$unpacked/orvane-probe.exe" | grep -q 'PE32 executable (console) Intel 80386' \
    || fail "orvane-probe.exe: $(file "$unpacked/orvane-probe.exe")"
for program in orvane.exe orvane-probe.exe; do
    ! i686-w64-mingw32-objdump -h "$unpacked/$program" | grep -q '\.debug' || fail "$program is not stripped"
done
grep -qaP "\\x00${version//./\\.}\\x00" "$unpacked/orvane-probe.exe" || fail "orvane-probe.exe does not carry $version"

# The same inputs, another time zone and umask: the same bytes.
(umask 077 && TZ=Pacific/Kiritimati "$source_dir/packaging/windows/make-zip.sh" "$WORK/again.zip" "$version" \
    "$source_dir" "$(grep '^CMAKE_STRIP:' "$win32/CMakeCache.txt" | cut -d= -f2)" "$win32/bin/orvane.exe" \
    "$win32/bin/orvane-probe.exe") >/dev/null
cmp "$first" "$WORK/again.zip" || fail "the zip made again from the same programs differs"

# The same sources in another folder, without their history, built anew: the same programs and the same zip.
mkdir "$WORK/copy"
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard \
    | while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done \
    | tar --null -T - -cf -) | tar -xf - -C "$WORK/copy"
started=$(date +%s)
(cd "$WORK/copy" && cmake --preset win32 && umask 077 \
    && SOURCE_DATE_EPOCH=$epoch TZ=America/St_Johns cmake --build build-win32 -j"$(nproc)" -t windows-zip) \
    >"$WORK/copy.log" 2>&1 || { tail -30 "$WORK/copy.log" >&2; fail "the second build failed"; }
second=$WORK/copy/build-win32/packages/$zip_name
for program in orvane.exe orvane-probe.exe; do
    cmp "$win32/bin/$program" "$WORK/copy/build-win32/bin/$program" || fail "$program differs between the two builds"
done
cmp "$first" "$second" || fail "the zips of the two builds differ"
sha256sum "$win32/bin/orvane.exe" "$WORK/copy/build-win32/bin/orvane.exe" "$win32/bin/orvane-probe.exe" \
    "$WORK/copy/build-win32/bin/orvane-probe.exe" "$first" "$second" | sed "s|$WORK/copy|<copy>|"
echo "PASS: $zip_name the same byte for byte from two builds in two folders ($(($(date +%s) - started)) s for the second)"

#!/usr/bin/env bash
# Makes the Windows download: both programs, stripped, with README.txt and LICENSE.txt (CRLF line ends, for
# Notepad) in one folder of one zip. Its bytes depend on the inputs alone: every time stamp is the last
# commit's (or SOURCE_DATE_EPOCH), names go in sorted, modes are fixed and zip stores no extra attributes.
#   make-zip.sh ZIP VERSION SOURCE_DIR STRIP ORVANE_EXE PROBE_EXE
set -euo pipefail
[ $# -eq 6 ] || { echo "usage: $0 ZIP VERSION SOURCE_DIR STRIP ORVANE_EXE PROBE_EXE" >&2; exit 2; }
zip_file=$(realpath -m "$1")
version=$2 source_dir=$3 strip=$4 orvane_exe=$5 probe_exe=$6
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) \
        || { echo "make-zip: $source_dir has no git history; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
# strip writes this time, not the current one, into the programs' PE headers.
export SOURCE_DATE_EPOCH
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder=orvane-$version-win32
mkdir "$stage/$folder"

"$strip" -o "$stage/$folder/orvane.exe" "$orvane_exe"
"$strip" -o "$stage/$folder/orvane-probe.exe" "$probe_exe"
crlf() { sed 's/\r*$/\r/'; }
sed "s/@VERSION@/$version/g" "$source_dir/packaging/windows/README.txt" | crlf >"$stage/$folder/README.txt"
cat "$source_dir/LICENSE" "$source_dir/packaging/windows/NOTICES.txt" | crlf >"$stage/$folder/LICENSE.txt"
chmod 0644 "$stage/$folder"/*
# A zip stores local time: the same instant must read the same in every time zone. It keeps even seconds only,
# and zip rounds an odd one up: the time is taken down to the even second before, which zip keeps as it is.
export TZ=UTC
touch -d "@$((SOURCE_DATE_EPOCH / 2 * 2))" "$stage/$folder"/*

mkdir -p "$(dirname "$zip_file")"
rm -f "$zip_file" "$zip_file.part"
(cd "$stage" && find "$folder" -type f | LC_ALL=C sort | zip -q -X -D -9 "$zip_file.part" -@)
mv "$zip_file.part" "$zip_file"
echo "$zip_file"

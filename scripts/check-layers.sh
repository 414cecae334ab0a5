#!/usr/bin/env bash
# Checks that every layer includes only the layers below it, and that common/ and protocol/ include
# nothing but the standard library: no OS, socket, Qt or Windows header. Prints each breach; exits 1 on any.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
breach() { echo "layers: $*" >&2; status=1; }

# check_folder FOLDER ALLOWED...: every quoted include in FOLDER names one of the ALLOWED folders.
check_folder() {
    local folder=$1 file line target
    shift
    local allowed=" $* "
    while IFS=: read -r file line target; do
        target=${target#*\"}
        target=${target%%\"*}
        [[ $allowed == *" ${target%%/*} "* ]] || breach "$file:$line includes \"$target\", outside ${*}"
    done < <(grep -rn --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$folder" || true)
}

check_folder common common
check_folder protocol common protocol
check_folder net common protocol net
check_folder host common protocol net host
check_folder app common protocol net host app
check_folder cli common protocol net host cli

# The values and the pure protocol code take nothing from the system beyond the C++ standard library,
# whose headers carry neither a dot nor a folder.
while IFS=: read -r file line target; do
    name=${target#*<}
    name=${name%%>*}
    [[ $name == */* || $name == *.* ]] && breach "$file:$line includes <$name>, which is no C++ standard header"
done < <(grep -rn --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*<' common protocol || true)

# The probe's build links no library of the window program.
if grep -nE 'orvane_app|orvane_qt|Qt6' cli/CMakeLists.txt; then
    breach "cli/CMakeLists.txt links the window program"
fi
[ $status -eq 0 ] && echo "layers: every include runs downward"
exit $status

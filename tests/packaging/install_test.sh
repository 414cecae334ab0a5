#!/usr/bin/env bash
# The Debian packages for real, as root: made from this build tree by CPack, judged by lintian, installed with
# apt-get, their owners, modes and capabilities checked, each installed program run on a private LAN (the probe
# as root; both refused to a user outside the group orvane and run by a member, the window program under Xvfb),
# then removed and purged, after which nothing of them may be left.
# Environment: ORVANE_BUILD (a Linux build tree), ORVANE_SOURCE, ORVANE_LAB (lab.sh), ORVANE_VERSION.
set -euo pipefail
build=${ORVANE_BUILD:?the build tree}
source_dir=${ORVANE_SOURCE:?the source tree}
lab_script=${ORVANE_LAB:?lab.sh}
version=${ORVANE_VERSION:?the version}
started=$(date +%s)
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "=== $(($(date +%s) - started)) s: $*"; }

[ "$(id -u)" -eq 0 ] || { echo "SKIP: installs packages on this machine, which needs root"; exit 77; }
package_state() { dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || echo not-installed; }
# It installs and purges the real packages: never over an installation of someone's own.
for package in orvane orvane-probe; do
    [ "$(package_state "$package")" = not-installed ] || fail "$package is on this machine; purge it first"
done
! getent group orvane >/dev/null || fail "a group orvane exists already, which the purge would delete"

WORK=$(mktemp -d /tmp/orvane-packaging.XXXXXX)
chmod 755 "$WORK"
user=orvtest$$
lab_state=
installed_here=
cleanup() {
    set +e
    [ -n "$lab_state" ] && "$lab_script" down "$lab_state"
    if [ -n "$installed_here" ]; then
        for package in orvane orvane-probe; do
            [ "$(package_state "$package")" = not-installed ] || dpkg --purge "$package" >/dev/null 2>&1
        done
    fi
    getent passwd "$user" >/dev/null && userdel "$user"
    rm -rf "$WORK"
}
trap cleanup EXIT

# Capabilities anywhere a copy could land, before: the purge must leave exactly these.
cap_roots=(/usr /etc /opt /var /srv)
getcap -r "${cap_roots[@]}" 2>/dev/null | sort >"$WORK/caps.before" || true

step "packages from $build"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB) >"$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
deb_window=$WORK/orvane_${version}_$arch.deb
deb_probe=$WORK/orvane-probe_${version}_$arch.deb
cp "$build/packages/orvane_${version}_$arch.deb" "$deb_window" || fail "no orvane package"
cp "$build/packages/orvane-probe_${version}_$arch.deb" "$deb_probe" || fail "no orvane-probe package"
[ "$(find "$build/packages" -name '*.deb' | wc -l)" -eq 2 ] || fail "more than the two packages: $(ls "$build/packages")"

# Control fields: the version, the tools the maintainer scripts call, and libraries read from the binaries
# (the probe links no Qt).
for deb in "$deb_window" "$deb_probe"; do
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$(basename "$deb"): version $(dpkg-deb -f "$deb" Version)"
done
# shellcheck disable=SC2034 # read through ${!depends}
depends_window=$(dpkg-deb -f "$deb_window" Depends)
depends_probe=$(dpkg-deb -f "$deb_probe" Depends)
for row in "window libcap2-bin" "window libc6" "window libqt6widgets6" "window libstdc++6" \
    "probe adduser" "probe libcap2-bin" "probe libc6" "probe libstdc++6"; do
    read -r which dependency <<<"$row"
    depends=depends_$which
    [[ ", ${!depends}" == *", $dependency "* || ", ${!depends}," == *", $dependency,"* ]] \
        || fail "$which package: Depends '${!depends}' lacks $dependency"
done
[[ $depends_probe != *qt6* ]] || fail "the probe depends on Qt: $depends_probe"

# Contents: exactly these files, with these modes, and contrib/ as it is in the tree.
contents() { dpkg-deb -c "$1" | awk '$1 ~ /^-/ {print $1, $2, substr($6, 2)}' | sort; }
expected_contents() {  # expected_contents PACKAGE ROWS: "MODE PATH" rows plus the files every package has
    local package=$1
    {
        printf '%s\n' "$2"
        echo "-rw-r--r-- /usr/share/doc/$package/copyright"
        echo "-rw-r--r-- /usr/share/doc/$package/changelog.gz"
        [ -f "$source_dir/packaging/debian/$package/lintian-overrides" ] \
            && echo "-rw-r--r-- /usr/share/lintian/overrides/$package"
        if [ "$package" = orvane-probe ] && [ -d "$source_dir/contrib" ]; then
            (cd "$source_dir/contrib" && find . -type f | sed 's|^\./|-rw-r--r-- /usr/share/doc/orvane-probe/examples/|')
            [ -f "$source_dir/contrib/systemd/orvane-probe@.service" ] \
                && echo "-rw-r--r-- /usr/lib/systemd/system/orvane-probe@.service"
        fi
    } | awk '{print $1, "root/root", $2}' | sort
}
expected_contents orvane "-rwxr-xr-x /usr/bin/orvane
-rwxr-xr-x /usr/libexec/orvane/orvane-helper
-rw-r--r-- /usr/share/applications/orvane.desktop
-rw-r--r-- /usr/share/icons/hicolor/48x48/apps/orvane.png
-rw-r--r-- /usr/share/man/man1/orvane.1.gz" >"$WORK/expected.orvane"
expected_contents orvane-probe "-rwxr-xr-x /usr/bin/orvane-probe
-rw-r--r-- /usr/share/man/man1/orvane-probe.1.gz" >"$WORK/expected.orvane-probe"
contents "$deb_window" >"$WORK/contents.orvane"
contents "$deb_probe" >"$WORK/contents.orvane-probe"
for package in orvane orvane-probe; do
    diff "$WORK/expected.$package" "$WORK/contents.$package" >&2 || fail "$package: contents differ (- expected, + packaged)"
done

step "lintian"
lintian --show-overrides --fail-on error,warning "$deb_window" "$deb_probe" >"$WORK/lintian.log" 2>&1 \
    || { cat "$WORK/lintian.log" >&2; fail "lintian reports errors or warnings without an override"; }
sed 's/^/lintian: /' "$WORK/lintian.log"

step "apt-get install"
installed_here=1
(cd "$WORK" && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "./$(basename "$deb_window")" "./$(basename "$deb_probe")") >"$WORK/install.log" 2>&1 \
    || { cat "$WORK/install.log" >&2; fail "apt-get install failed"; }
! grep -q 'keeps no file capabilities' "$WORK/install.log" || fail "setcap was refused here: $(cat "$WORK/install.log")"
dpkg-query -L orvane orvane-probe | sort -u >"$WORK/installed.list"
[ -z "$(dpkg --verify orvane orvane-probe)" ] || fail "installed files differ from the packages: $(dpkg --verify orvane orvane-probe)"

# Owner, group, mode and capabilities: the probe with the raw right for root and the group alone.
check_files() {
    local path owner group mode caps shown
    while read -r path owner group mode caps; do
        [ -e "$path" ] || fail "$path is not installed"
        [ "$(stat -c '%U %G %a' "$path")" = "$owner $group $mode" ] \
            || fail "$path is $(stat -c '%U %G %a' "$path"), not $owner $group $mode"
        shown=$(getcap "$path" | awk '{print $2}')
        [ "${shown:--}" = "$caps" ] || fail "$path has capabilities '${shown:-none}', not '$caps'"
    done
}
check_files <<'EOF'
/usr/bin/orvane root root 755 -
/usr/libexec/orvane/orvane-helper root orvane 750 cap_net_bind_service,cap_net_raw=ep
/usr/bin/orvane-probe root orvane 750 cap_net_bind_service,cap_net_raw=ep
/usr/share/applications/orvane.desktop root root 644 -
/usr/share/icons/hicolor/48x48/apps/orvane.png root root 644 -
/usr/share/man/man1/orvane.1.gz root root 644 -
/usr/share/man/man1/orvane-probe.1.gz root root 644 -
EOF
gid=$(getent group orvane | cut -d: -f3)
[ -n "$gid" ] && [ "$gid" -lt 1000 ] || fail "no system group orvane (gid '${gid}')"
for path in /usr/bin/orvane-probe /usr/libexec/orvane/orvane-helper; do
    [ "$(dpkg-statoverride --list "$path")" = "root orvane 750 $path" ] \
        || fail "statoverride: '$(dpkg-statoverride --list "$path")'"
done
# Of the packages' files, the helper and the probe alone carry capabilities.
caps=$(xargs -a "$WORK/installed.list" getcap 2>/dev/null | awk '{print $1}' | sort | tr '\n' ' ')
[ "$caps" = "/usr/bin/orvane-probe /usr/libexec/orvane/orvane-helper " ] || fail "capabilities on: $caps"
for page in orvane orvane-probe; do
    # Read whole first: grep -q would leave zcat writing into a closed pipe, which pipefail counts.
    text=$(zcat "/usr/share/man/man1/$page.1.gz")
    grep -q "^\.TH .* \"Orvane $version\" " <<<"$text" || fail "$page.1 does not say $version"
done
if [ -d "$source_dir/contrib" ]; then
    diff -r "$source_dir/contrib" /usr/share/doc/orvane-probe/examples >&2 || fail "examples differ from contrib/"
fi
if [ -f "$source_dir/contrib/systemd/orvane-probe@.service" ]; then
    [ -z "$(find /etc/systemd/system -lname '*orvane-probe@*' 2>/dev/null)" ] || fail "the unit was enabled"
fi
sha256sum /usr/bin/orvane /usr/bin/orvane-probe /usr/libexec/orvane/orvane-helper | awk '{print $1}' >"$WORK/program.sums"

# Where the file system refuses capabilities, postinst says so in one line and the installation goes on.
mkdir "$WORK/refusing"
printf '#!/bin/sh\necho "Failed to set capabilities on file (Operation not supported)" >&2\nexit 1\n' \
    >"$WORK/refusing/setcap"
chmod 755 "$WORK/refusing/setcap"
for row in "orvane /usr/libexec/orvane/orvane-helper run orvane" "orvane-probe /usr/bin/orvane-probe run it"; do
    read -r package path run_what <<<"$row"
    status=0
    PATH="$WORK/refusing:$PATH" "/var/lib/dpkg/info/$package.postinst" configure "$version" \
        >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" -eq 0 ] || fail "$package postinst with setcap refused: status $status"
    [ ! -s "$WORK/out" ] && [ "$(wc -l <"$WORK/err")" -eq 1 ] \
        && grep -qxF "$package: this file system keeps no file capabilities, so $path has none; $run_what as root (see $package(1), PRIVILEGES)" "$WORK/err" \
        || fail "$package postinst with setcap refused said: $(cat "$WORK/out" "$WORK/err")"
    [ "$(stat -c '%U %G %a' "$path")" = "root orvane 750" ] || fail "postinst run again changed $path"
done

step "the installed programs on a private LAN"
lab_state=$("$lab_script" up --owner $$)
# shellcheck disable=SC1090
source "$lab_state"
lab() { "$lab_script" exec "$lab_state" "$@"; }
new_run() { rm -rf "$WORK/run"; mkdir -m 777 "$WORK/run"; }

[ "$(lab client -- /usr/bin/orvane-probe --version)" = "orvane-probe $version" ] || fail "orvane-probe --version"
[ "$(lab client -- env -u DISPLAY /usr/bin/orvane --version)" = "orvane $version" ] || fail "orvane --version"

# probe_run WHO [SETPRIV...]: the installed probe with its default report on the client, from $WORK/run.
probe_run() {
    local who=$1
    shift
    new_run
    status=0
    lab client -- "$@" sh -c 'cd "$1" && exec /usr/bin/orvane-probe --wait 3' - "$WORK/run" \
        >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" -eq 0 ] || fail "the probe as $who: status $status: $(cat "$WORK/err")"
    for line in "Packet from $SERVER_IP " "Packet from $UPSTREAM_IP " " Relayed by $RELAY_IP "; do
        grep -qxF -- "$line" "$WORK/out" || fail "the probe as $who did not report '$line': $(cat "$WORK/out")"
    done
    [ "$(grep -cx -- '-------------------------' "$WORK/out")" -eq 2 ] || fail "the probe as $who: not two offers"
}
probe_run root

useradd --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin --user-group "$user"
# setpriv keeps root's capabilities up to its own exec, which would pass any permission check: env is
# started first, so the probe is started by the user alone.
as_user=(setpriv --reuid="$user" --regid="$user" --init-groups env)
status=0
lab client -- "${as_user[@]}" /usr/bin/orvane-probe --version >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" -eq 126 ] && grep -q 'Permission denied' "$WORK/err" \
    || fail "a user outside the group ran the probe: status $status, $(cat "$WORK/out" "$WORK/err")"
! "${as_user[@]}" cat /usr/bin/orvane-probe >/dev/null 2>&1 || fail "a user outside the group can copy the probe"
# The window program outside the group: no window (a display that does not exist would make Qt abort), status 1,
# and the line that names the group and adduser.
status=0
lab client -- "${as_user[@]}" QT_QPA_PLATFORM=xcb DISPLAY=:31999 /usr/bin/orvane >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" -eq 1 ] && [ "$(cat "$WORK/err")" = "orvane: cannot bind UDP port 67: Permission denied; only root and the \
members of the group orvane may run its helper /usr/libexec/orvane/orvane-helper: sudo adduser $user orvane, then log in again" ] \
    || fail "the window program outside the group: status $status, $(cat "$WORK/out" "$WORK/err")"
adduser --quiet "$user" orvane
probe_run "a member of orvane" "${as_user[@]}"
[ "$(stat -c %U "$WORK/run/LogFile")" = "$user" ] || fail "the member's run did not write its LogFile as $user"

# The window program as a member of the group, under Xvfb: its helper binds both ports with the file's rights, the
# program holds no capability, logs both offers and ends with status 0 on SIGTERM.
new_run
(cd "$WORK/run" && exec setsid "$lab_script" exec "$lab_state" client -- "$source_dir/tests/app/with_xvfb.sh" \
    setpriv --reuid="$user" --regid="$user" --init-groups env HOME="$WORK/run" QT_QPA_PLATFORM=xcb /usr/bin/orvane) \
    >"$WORK/window.out" 2>"$WORK/window.err" &
launcher=$!
offers_logged() { od -An -v -tx1 "$WORK/run/LogFile" 2>/dev/null | tr -d ' \n' | grep -o 63825363 | wc -l; }
pid=
for _ in $(seq 200); do
    for candidate in $(ip netns pids "$NS_CLIENT"); do
        [ "$(cat "/proc/$candidate/comm" 2>/dev/null)" = orvane ] && [ "$(stat -c %U "/proc/$candidate")" = "$user" ] \
            && pid=$candidate
    done
    [ -n "$pid" ] && [ "$(offers_logged)" -ge 2 ] && break
    sleep 0.05
done
[ -n "$pid" ] || fail "orvane did not start as $user: $(cat "$WORK/window.err")"
[ "$(offers_logged)" -ge 2 ] || fail "orvane logged $(offers_logged) offers, not two"
for field in CapPrm CapEff CapAmb; do
    value=$(awk -v f="$field:" '$1 == f {print $2}' "/proc/$pid/status")
    [ "$value" = 0000000000000000 ] || fail "orvane holds $field $value while it runs"
done
kill -TERM "$pid"
status=0
wait "$launcher" || status=$?
[ "$status" -eq 0 ] || fail "orvane ended with status $status on SIGTERM: $(cat "$WORK/window.err")"
"$lab_script" down "$lab_state"
lab_state=

step "apt-get remove"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -q orvane orvane-probe >"$WORK/remove.log" 2>&1 \
    || { cat "$WORK/remove.log" >&2; fail "apt-get remove failed"; }
while read -r path; do
    [ -d "$path" ] || [ ! -e "$path" ] || fail "$path is left after remove"
done <"$WORK/installed.list"
getent group orvane >/dev/null || fail "remove deleted the group orvane"
for path in /usr/bin/orvane-probe /usr/libexec/orvane/orvane-helper; do
    [ -n "$(dpkg-statoverride --list "$path")" ] || fail "remove dropped the owner and mode of $path"
done

step "apt-get purge"
# Both keep the group and their helper's or probe's owner and mode for a purge.
for package in orvane orvane-probe; do
    [ "$(package_state "$package")" = config-files ] || fail "after remove $package is $(package_state "$package")"
done
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q orvane orvane-probe >"$WORK/purge.log" 2>&1 \
    || { cat "$WORK/purge.log" >&2; fail "apt-get purge failed"; }
installed_here=
for package in orvane orvane-probe; do
    [ "$(package_state "$package")" = not-installed ] || fail "$package is $(package_state "$package") after purge"
    [ -z "$(find /var/lib/dpkg/info -name "$package.*")" ] || fail "dpkg keeps files of $package"
    [ ! -e "/usr/share/doc/$package" ] || fail "/usr/share/doc/$package is left"
done
! getent group orvane >/dev/null || fail "purge left the group orvane"
for path in /usr/bin/orvane-probe /usr/libexec/orvane/orvane-helper; do
    [ -z "$(dpkg-statoverride --list "$path")" ] || fail "purge left the owner and mode of $path"
done
userdel "$user"
! getent passwd "$user" >/dev/null || fail "the test's user is left"
getcap -r "${cap_roots[@]}" 2>/dev/null | sort >"$WORK/caps.after" || true
diff "$WORK/caps.before" "$WORK/caps.after" >&2 || fail "capabilities differ from before the installation"
# No copy of either program with capabilities anywhere a copy could have gone, /tmp included.
while read -r path _; do
    if grep -qxF "$(sha256sum "$path" | awk '{print $1}')" "$WORK/program.sums"; then
        fail "$path is a copy of a program, with capabilities"
    fi
done < <(getcap -r "${cap_roots[@]}" /tmp /root /home 2>/dev/null)
step "done"
echo "PASS: built, lintian clean, installed, rights checked, run on the LAN as root, member, outsider and user, removed and purged with nothing left"

#!/usr/bin/env bash
# Runs the test command again as the unprivileged user nobody, the way an ordinary user runs it
# on a fresh clone: on a copy of the sources that user owns, building in the copy's own build/,
# with a home folder and a TMPDIR of its own. Afterwards both must be empty: a test that leaves
# files behind or writes into the home folder fails the run. Needs root (to become nobody);
# its arguments go to ctest like those of test.sh.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root: it becomes the user nobody. As another user, ./scripts/test.sh already runs unprivileged." >&2
    exit 1
fi
install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${WINDOWS_GUI_PACKAGES[@]}"

work="$(mktemp -d /var/tmp/tidelin-unprivileged-XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/src" "$work/home" "$work/tmp"
tar -C "$TIDELIN_ROOT" --exclude=./.git --exclude=./build --exclude='./build-*' -cf - . | tar -C "$work/src" -xf -
chown -R nobody:nogroup "$work"

status=0
setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env \
    env HOME="$work/home" TMPDIR="$work/tmp" TIDELIN_BUILD="$work/src/build" \
    "$work/src/scripts/test.sh" "$@" || status=$?

check_nothing_left "$work/home" "$work/tmp" || status=1
exit $status

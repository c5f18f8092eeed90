#!/usr/bin/env bash
# Runs the engine tests that need a user without privileges (unreadable files and folders,
# a folder that refuses the replacement, a process limit that leaves no thread to start). As
# root they run as "nobody"; where that user
# cannot reach the build, they are reported as skipped.
set -uo pipefail
tests="$1"
filter='*WithoutReadPermission*:*RefusedByTheFolder*:*UnreadableFolder*:*NoThreadCanStart*'
if [ "$(id -u)" -ne 0 ]; then
    exec "$tests" --gtest_filter="$filter"
fi
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env)
if ! "${as_nobody[@]}" test -x "$tests" 2>/dev/null; then
    echo "skipped: the user nobody cannot run $tests"
    exit 77
fi
exec "${as_nobody[@]}" env TMPDIR=/tmp "$tests" --gtest_filter="$filter"

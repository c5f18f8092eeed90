#!/usr/bin/env bash
# Starts the built program under a real X server and window manager and checks what a user
# sees: one window titled Tidelin that can be minimised but not maximised, a second start
# that ends at once without a second window, and a close through the window manager that
# removes a left-over work file and ends the program.
set -uo pipefail
program="$1"

work="$(mktemp -d)"
export TMPDIR="$work"
# The window manager and the program keep their state under a home folder of their own.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME XDG_STATE_HOME
mkdir -m 700 "$HOME" "$XDG_RUNTIME_DIR"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail=0
check() { if [ "$2" = 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }
wait_for() {  # wait_for SECONDS COMMAND...
    local until=$((SECONDS + $1)); shift
    while ! "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $until ] && return 1
        sleep 0.1
    done
}

# A display of our own.
exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
# On a loaded machine the server and the window manager may take a while to come up.
wait_for 30 test -s "$work/display" || { echo "FAILED: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 30 wmctrl -m || { echo "FAILED: the window manager did not start"; cat "$work/openbox.log"; exit 1; }

tidelin_windows() { wmctrl -l | awk '{ $1=$2=$3=""; sub(/^ +/, ""); print }' | grep -cx 'Tidelin'; }
one_window() { [ "$(tidelin_windows)" = 1 ]; }

"$program" >"$work/first.log" 2>&1 &
first=$!
pids+=($first)
wait_for 15 one_window
check "the program shows one window titled Tidelin" $?

id="$(wmctrl -l | awk '$NF == "Tidelin" { print $1; exit }')"
actions="$(xprop -id "$id" _NET_WM_ALLOWED_ACTIONS 2>/dev/null)"
echo "$actions" | grep -q '_NET_WM_ACTION_MINIMIZE'
check "the window can be minimised" $?
! echo "$actions" | grep -q '_NET_WM_ACTION_MAXIMIZE'
check "the window cannot be maximised" $?
! echo "$actions" | grep -q '_NET_WM_ACTION_RESIZE'
check "the window cannot be resized" $?

start=$SECONDS
timeout 10 "$program" >"$work/second.log" 2>&1
status=$?
check "a second start exits at once with status 0 (status $status)" $([ $status = 0 ] && [ $((SECONDS - start)) -le 5 ]; echo $?)
sleep 1
one_window
check "a second start shows no second window" $?
check "a second start leaves the first running" $(kill -0 $first 2>/dev/null; echo $?)

# A work file left over by a conversion that failed midway.
echo "left over" >"$work/k5ywhqx"
wmctrl -c Tidelin
wait_for 10 bash -c "! kill -0 $first"
check "closing the window through the window manager ends the program" $?
wait $first
check "the program ends with status 0" $?
check "the left-over work file is removed" $([ ! -e "$work/k5ywhqx" ]; echo $?)

exit $fail

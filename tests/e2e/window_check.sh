#!/usr/bin/env bash
# Starts the built program under a real X server and window manager and checks what a user
# sees: one window titled Tidelin that can be minimised but not maximised, a second start
# that ends at once without a second window, and a close through the window manager that
# removes a left-over work file and ends the program.
set -uo pipefail
program="$1"

source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"
start_desktop

one_window() { [ "$(count_windows Tidelin)" = 1 ]; }

"$program" >"$work/first.log" 2>&1 &
first=$!
pids+=($first)
wait_for 15 one_window
check "the program shows one window titled Tidelin" $?

id="$(window_id Tidelin)"
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

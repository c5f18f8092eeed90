#!/usr/bin/env bash
# Starts the built program under a real X server and window manager and checks what a user
# sees: one window titled Tidelin that can be minimised but not maximised, a start that
# removes the user's stale work files, a second start that ends at once without a second
# window, a close through the window manager that ends the program and leaves alone a file it
# did not create, and a start that refuses to run without its lock.
set -uo pipefail
program="$1"

source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"
start_desktop

one_window() { [ "$(count_windows Tidelin)" = 1 ]; }

# Work files of crashed runs: the user's own (mode 0600) go at the start, others stay.
install -m 600 /dev/null "$work/k5ywhqx0"
install -m 644 /dev/null "$work/k5ywhqx1"

"$program" >"$work/first.log" 2>&1 &
first=$!
pids+=($first)
wait_for 15 one_window
check "the program shows one window titled Tidelin" $?
check "a stale work file of the user's own is removed at the start" $([ ! -e "$work/k5ywhqx0" ]; echo $?)
check "a work-file name of another mode is left alone" $([ -e "$work/k5ywhqx1" ]; echo $?)

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

# A file that appeared at the work file's name: not the program's to delete.
echo "not ours" >"$work/k5ywhqx"
wmctrl -c Tidelin
wait_for 10 bash -c "! kill -0 $first"
check "closing the window through the window manager ends the program" $?
wait $first
check "the program ends with status 0" $?
check "a file the program did not create is left at the work file's name" $([ -e "$work/k5ywhqx" ]; echo $?)

# A lock folder that others may write: the program says so and does not run unlocked.
mkdir -m 777 "$work/shared-runtime"
XDG_RUNTIME_DIR="$work/shared-runtime" "$program" >"$work/unlocked.log" 2>&1 &
unlocked=$!
pids+=($unlocked)
wait_for 15 one_window
check "without its lock the program shows a message" $?
wmctrl -c Tidelin
wait_for 10 bash -c "! kill -0 $unlocked"
wait $unlocked
status=$?
check "without its lock the program ends with a non-zero status (status $status)" $([ $status != 0 ]; echo $?)

exit $fail

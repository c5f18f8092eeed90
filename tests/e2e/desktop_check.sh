#!/usr/bin/env bash
# Drives the built program on a real X server and window manager as a person and a screen
# reader would: each of the four commands through its chooser and confirmation to its
# completion or error box, a long folder walk with its progress in the title and stopped
# from the close box, the About window's link with no program to open it. Then the idle
# program must use next to no CPU, still answer the accessibility bus, and its window carry
# both icon sizes.
set -uo pipefail
program="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/x_session.sh"
start_desktop accessibility

# Texts the program shows, read through the accessibility bus.
a11y_texts() { timeout 10 /usr/bin/python3 "$here/a11y.py" texts Tidelin; }
shows() { local texts; texts="$(a11y_texts)" && grep -qF -- "$1" <<<"$texts"; }
# CPU seconds the process used per second over $2 seconds.
cpu_share() {
    local hz before after
    hz=$(getconf CLK_TCK)
    before=$(awk '{ print $14 + $15 }' "/proc/$1/stat")
    sleep "$2"
    after=$(awk '{ print $14 + $15 }' "/proc/$1/stat")
    awk -v a="$after" -v b="$before" -v s="$2" -v hz="$hz" 'BEGIN { printf "%.3f", (a - b) / hz / s }'
}

active_is() { [ "$(xdotool getwindowname "$(xdotool getactivewindow)")" = "$1" ]; }
windows_titled() { [ "$(count_windows "$1")" = "$2" ]; }

# Inputs: a file for each single-file command (the second one read-only, so it fails), and
# a tree whose read-only file has a name wider than the message list.
mkdir -p "$work/one" "$work/tree/sub" "$work/long" "$work/bin"
printf 'a\r\nb\r\n' >"$work/one/file.txt"
printf 'a\nb\n' >"$work/one/locked.txt"
chmod 444 "$work/one/locked.txt"
printf 'x\r\n' >"$work/tree/a.txt"
wide="$work/tree/sub/$(printf 'a_rather_long_file_name_%.0s' 1 2 3 4 5 6).txt"
printf 'y\r\n' >"$wide"
chmod 444 "$wide"
line="$(head -c 100 /dev/zero | tr '\0' 'x')"$'\r'
for _ in $(seq 1000); do echo "$line"; done >"$work/long/f000.txt"
for i in $(seq -w 1 799); do cp "$work/long/f000.txt" "$work/long/f$i.txt"; done

# No program on the path can open a web address.
PATH="$work/bin" "$program" >"$work/program.log" 2>&1 &
app=$!
pids+=($app)
wait_for 15 windows_titled Tidelin 1
check "the program shows its window" $?
main="$(window_id Tidelin)"

# A box of the program (titled Tidelin, not the main window) has the focus.
box_active() { local a; a=$(xdotool getactivewindow) && [ "$a" != "$((main))" ] && [ "$(xdotool getwindowname "$a")" = Tidelin ]; }
box_says() { box_active && shows "$1"; }
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
back_to_main() { windows_titled Tidelin 1 && active_is Tidelin; }

# run_command X Y CHOOSER-TITLE PATH CONFIRMATION-KEYS: clicks the button at X,Y, chooses
# PATH in the chooser and answers the confirmation with the keys.
run_command() {
    click "$1" "$2"
    wait_for 10 active_is "$3" || { echo "FAILED: no chooser '$3'"; return 1; }
    xdotool type --delay 2 "$4"
    xdotool key Return
    wait_for 10 box_says "Перезаписать" || { echo "FAILED: no confirmation for $4"; return 1; }
    xdotool key $5
}
# finish TEXT: waits for the box that says TEXT and closes it with Enter.
finish() {
    wait_for 20 box_says "$1" || return 1
    xdotool key Return
    wait_for 10 back_to_main
}

file_title="Выберите файл для конвертирования"
folder_title="Выберите папку, все файлы которой нужно сконвертировать"

run_command 132 20 "$file_title" "$work/one/file.txt" Return
finish "Операция завершена."
check "file Windows to Unix: confirmed, converted, completion box" \
    $([ "$(od -An -c "$work/one/file.txt" | tr -d ' \n')" = 'a\nb\n' ]; echo $?)

run_command 132 52 "$file_title" "$work/one/locked.txt" Return
finish "Error 75"
check "file Unix to Windows on a read-only file: error box, file unchanged" \
    $([ "$(od -An -c "$work/one/locked.txt" | tr -d ' \n')" = 'a\nb\n' ]; echo $?)

# The folder confirmation defaults to Нет: Tab moves to Да.
run_command 396 20 "$folder_title" "$work/tree" "Tab space"
finish "Операция завершена."
check "folder Windows to Unix: confirmed, walked, completion box" \
    $([ "$(od -An -c "$work/tree/a.txt" | tr -d ' \n')" = 'x\n' ]; echo $?)
before=$(cpu_share $app 3)
check "idle after a walk that listed a wide entry: CPU $before s/s" $(awk -v c="$before" 'BEGIN { exit !(c < 0.05) }'; echo $?)
shows "!_ Ошибка 75"
check "the list holds the walk's error entry" $?

run_command 396 52 "$folder_title" "$work/tree" "Tab space"
finish "Операция завершена."
check "folder Unix to Windows: confirmed, walked, completion box" \
    $([ "$(od -An -c "$work/tree/a.txt" | tr -d ' \n')" = 'x\r\n' ]; echo $?)

# A long walk: the close box offers to stop it (Нет goes on, Да stops after the file in
# hand), and meanwhile the title counts the files done. A close request sent as the walk
# starts is answered at its first file, however fast the disk.
counting() { window_titles | grep -q '^Tidelin — файлов: [0-9]*$'; }
run_command 396 20 "$folder_title" "$work/long" "Tab space"
wmctrl -i -c "$main"
wait_for 10 box_says "Остановить после текущего файла?"
check "the close box during a walk asks whether to stop" $?
xdotool key Return
wait_for 20 counting
check "Нет goes on, and the title counts the files done" $?
# TIDELIN_WALK_SHOT=FILE keeps a picture of the screen during the walk.
[ -n "${TIDELIN_WALK_SHOT:-}" ] && import -window root "$TIDELIN_WALK_SHOT"
wmctrl -i -c "$main"
wait_for 10 box_says "Остановить после текущего файла?"
check "the close box asks again" $?
# Nothing is rewritten while the question is open; after Да only the files in hand (about one
# per thread) are.
rewritten() { grep -L $'\r' "$work"/long/*.txt | wc -l; }
asked=$(rewritten)
sleep 1
open=$(rewritten)
check "nothing is rewritten while the question is open ($asked, then $open files)" $([ "$open" = "$asked" ]; echo $?)
xdotool key Tab space
finish "Операция завершена."
check "Да ends the walk with its completion box" $?
shows "!_  Остановлено пользователем: $work/long"
check "the list names the folder where the walk stopped" $?
converted=$(rewritten)
limit=$((4 * $(nproc)))
check "after Да at most $limit files are rewritten ($((converted - open)))" $([ $((converted - open)) -le "$limit" ]; echo $?)
check "the walk stopped early ($converted of 800 files converted)" $([ "$converted" -gt 0 ] && [ "$converted" -lt 800 ]; echo $?)
check "the program keeps running with its own title" $(kill -0 $app && windows_titled Tidelin 1; echo $?)

# The About window's link, with no program on the path to open it: no box.
click 460 228
wait_for 10 active_is "О программе Tidelin"
check "the About window opens" $?
about="$(xdotool getactivewindow)"
xdotool mousemove --window "$about" 60 220 click 1
! wait_for 2 windows_titled Error 1
check "a web address no program opens shows nothing" $?
xdotool key Escape
wait_for 10 back_to_main

idle=$(cpu_share $app 3)
check "the idle program uses next to no CPU ($idle s/s)" $(awk -v c="$idle" 'BEGIN { exit !(c < 0.05) }'; echo $?)
texts="$(a11y_texts)" && grep -qxF "Конвертировать файл Windows в Unix" <<<"$texts"
check "the program answers the accessibility bus" $?
icons="$(xprop -id "$main" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort | tr '\n' ' ')"
check "the window icon carries both sizes: $icons" \
    $([ "$icons" = "Icon (16 x 16) Icon (32 x 32) " ]; echo $?)

wmctrl -i -c "$main"
wait_for 10 bash -c "! kill -0 $app"
check "closing the idle window ends the program" $?
exit $fail

#!/usr/bin/env bash
# Starts the built program natively under a Wayland compositor (weston, headless, drawing in
# memory), as on a desktop whose default session is Wayland, and checks it from a screenshot:
# one window of the main window's fixed size with the title bar Qt draws itself on top, and
# the title the program gave it. The compositor's desktop is plain black, so the window is
# whatever is not black.
#   TIDELIN_WAYLAND_SHOT=FILE keeps the screenshot.
set -uo pipefail
program="$1"
# The main window's fixed size in pixels (its twips divided by 15).
width=529
height=262

source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"
unset DISPLAY

# A black desktop with no panel, no on-screen keyboard, no lock and no animation to wait for.
cat >"$work/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff000000
panel-position=none
locking=false
animation=none
startup-animation=none
[input-method]
path=
EOF
# --debug offers the screenshot protocol to any client.
weston --config="$work/weston.ini" --backend=headless-backend.so --use-pixman --debug \
    --socket=wayland-tidelin --width=800 --height=600 >"$work/weston.log" 2>&1 &
pids+=($!)
export WAYLAND_DISPLAY=wayland-tidelin
wait_for 20 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ||
    { echo "FAILED: weston did not start"; cat "$work/weston.log"; exit 1; }

# WAYLAND_DEBUG logs every request the program sends to the compositor.
QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client "$program" >"$work/program.log" 2>&1 &
app=$!
pids+=($app)

# shoot: a screenshot in $work/shot.png; prints the window's place on it, WxH+X+Y.
mkdir "$work/shots"
shoot() {
    rm -f "$work"/shots/*.png
    (cd "$work/shots" && timeout 10 weston-screenshooter) >/dev/null 2>&1 || return 1
    mv "$work"/shots/*.png "$work/shot.png" 2>/dev/null || return 1
    timeout 10 convert "$work/shot.png" -trim -format '%wx%h%X%Y' info:
}
# The window is shown once two screenshots in a row find it at the same place and size (an
# all-black screen trims to a single pixel).
shown() {
    local now
    now="$(shoot)" && [[ "$now" != 1x1[-+]* ]] && [ "$now" = "${last:-}" ] && return 0
    last="$now"
    return 1
}
last=
start=$SECONDS
wait_for 20 shown
check "the window shows on the Wayland desktop ($last after $((SECONDS - start)) s)" $?
[ $fail = 0 ] || { tail -n 20 "$work/weston.log" "$work/program.log"; exit 1; }
[ -n "${TIDELIN_WAYLAND_SHOT:-}" ] && cp "$work/shot.png" "$TIDELIN_WAYLAND_SHOT"

# Qt draws the frame: a thin border on the sides and below, the title bar above.
read -r w h x y < <(sed 's/[x+]/ /g' <<<"$last")
check "the window is ${width} × ${height} inside a frame of a few pixels (${w} × ${h} on the screen)" \
    $([ $((w - width)) -ge 0 ] && [ $((w - width)) -le 12 ] && [ $((h - height)) -ge 20 ] && [ $((h - height)) -le 60 ]; echo $?)
check "the window cannot be resized: its least and greatest size are both ${width} × ${height}" \
    $(grep -q "set_min_size($width, $height)" "$work/program.log" &&
      grep -q "set_max_size($width, $height)" "$work/program.log"; echo $?)
colours=$(convert "$work/shot.png" -crop "${w}x${h}+${x}+${y}" -format '%k' info:)
check "the window's controls are drawn ($colours colours)" $([ "$colours" -ge 16 ]; echo $?)

# The title: its text as the compositor received it, and a title drawn in the middle of the
# title bar: ink of a short word's width about the window's centre (Qt centres it within a
# few pixels), where a missing or clipped title would leave none or a stub.
check "the program, running natively, tells the compositor its title Tidelin" \
    $(grep -q 'set_title("Tidelin")' "$work/program.log"; echo $?)
bar=$((h - height - (w - width) / 2))
ink="$(convert "$work/shot.png" -crop "$((w / 2))x${bar}+$((x + w / 4))+${y}" +repage \
    -colorspace Gray -threshold 90% -negate -trim -format '%w %X' info: 2>/dev/null)"
read -r inkw inkx <<<"$ink"
off=$((2 * ${inkx:-0} + ${inkw:-0} - w / 2))
check "the title bar shows a title in its middle (${inkw:-0} px wide, its centre $((off / 2)) px off the window's)" \
    $([ "${inkw:-0}" -ge 20 ] && [ "${inkw:-0}" -le 150 ] && [ ${off#-} -le 12 ]; echo $?)

exit $fail

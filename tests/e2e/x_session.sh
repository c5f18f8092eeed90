# Shared by the end-to-end checks: a private folder with its own home and runtime folder, the
# helpers that report and wait, and for the X checks a display of their own under a window
# manager. Sourced, not run.
#   start_desktop [accessibility]   Xvfb + openbox; with "accessibility" also a session bus
#                                   and the accessibility bus, as a screen reader has them

work="$(mktemp -d)"
export TMPDIR="$work"
# The window manager, the bus and the program keep their state under a home folder of their own.
export XDG_RUNTIME_DIR="$work/runtime"
export HOME="$work/home"
unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME XDG_STATE_HOME
mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
pids=()
cleanup() {
    stop_x_display
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null
    wait 2>/dev/null
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail=0
check() { if [ "$2" = 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }
# start_x_display and wait_for SECONDS COMMAND...
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/x_display.sh"

start_desktop() {
    start_x_display "$work" 1024x768x24 openbox || exit 1
    if [ "${1:-}" = accessibility ]; then
        eval "$(dbus-launch --sh-syntax)"
        /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/at-spi.log" 2>&1 &
        pids+=($!)
        # Qt speaks to the accessibility bus when it is asked to, as with a screen reader on.
        export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    fi
}

# The titles of the open top-level windows, one per line.
window_titles() { wmctrl -l | awk '{ $1=$2=$3=""; sub(/^ +/, ""); print }'; }
# The id of the first window titled exactly $1.
window_id() { wmctrl -l | awk -v t="$1" '{ id=$1; $1=$2=$3=""; sub(/^ +/, ""); if ($0 == t) { print id; exit } }'; }
# How many windows are titled exactly $1.
count_windows() { window_titles | grep -cxF "$1"; }

# A private X display for the checks and the screenshot: Xvfb on a display number of its own,
# optionally under the openbox window manager. Sourced, not run.
#   start_x_display FOLDER SIZE [openbox]   starts it (logs in FOLDER), exports DISPLAY;
#                                          prints what failed and returns 1 when it does not come up
#   stop_x_display                          ends what start_x_display started
#   wait_for SECONDS COMMAND...             polls until COMMAND succeeds; 1 after SECONDS

X_DISPLAY_PIDS=()

wait_for() {
    local until=$((SECONDS + $1)); shift
    while ! "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $until ] && return 1
        sleep 0.1
    done
}

start_x_display() {
    local folder="$1" size="$2" manager="${3:-}"
    # Xvfb picks a free display and writes its number here (-displayfd): no clash with another
    # display on the machine.
    : >"$folder/display"
    Xvfb -displayfd 4 -screen 0 "$size" -nolisten tcp 4>"$folder/display" >"$folder/xvfb.log" 2>&1 &
    X_DISPLAY_PIDS+=($!)
    # On a loaded machine the server and the window manager may take a while to come up.
    if ! wait_for 30 test -s "$folder/display"; then
        echo "FAILED: Xvfb did not start" >&2
        cat "$folder/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$folder/display")"
    if [ "$manager" = openbox ]; then
        openbox >"$folder/openbox.log" 2>&1 &
        X_DISPLAY_PIDS+=($!)
        if ! wait_for 30 wmctrl -m; then
            echo "FAILED: the window manager did not start" >&2
            cat "$folder/openbox.log" >&2
            return 1
        fi
    fi
}

stop_x_display() {
    local pid
    for pid in "${X_DISPLAY_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${X_DISPLAY_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    X_DISPLAY_PIDS=()
}

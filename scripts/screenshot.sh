#!/usr/bin/env bash
# Draws the README's picture of the main window: builds the window program, starts it on a
# virtual screen (Xvfb) under the openbox window manager and saves the window, with its frame,
# to docs/main-window.png. Run it again whenever the window changes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing "${RUN_PACKAGES[@]}" xvfb openbox wmctrl x11-utils scrot
if [ ! -f "$TIDELIN_BUILD/CMakeCache.txt" ]; then
    cmake -S "$TIDELIN_ROOT" -B "$TIDELIN_BUILD" -G Ninja -DTIDELIN_BUILD_TESTS=OFF
fi
cmake --build "$TIDELIN_BUILD" --target tidelin

source "$TIDELIN_ROOT/scripts/x_display.sh"
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    stop_x_display
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export TMPDIR="$work" XDG_RUNTIME_DIR="$work/runtime" LANG=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
start_x_display "$work" 800x500x24 openbox

"$TIDELIN_BUILD/bin/tidelin" >"$work/tidelin.log" 2>&1 &
pids+=($!)
wait_for 15 bash -c "wmctrl -l | grep -q ' Tidelin\$'" ||
    { echo "screenshot.sh: the window did not appear" >&2; exit 1; }
sleep 1  # let the window draw itself and take the focus

output="$TIDELIN_ROOT/docs/main-window.png"
scrot --focused --border --overwrite "$output"
echo "Wrote $output"

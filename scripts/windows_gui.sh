#!/usr/bin/env bash
# Cross-builds the native Windows window (tidelin.exe) and its test driver with mingw-w64 and
# runs the driver under Wine on a private Xvfb display: it starts the window, works it through
# its controls and dialogs and reads back what they show; then builds the zip and the installer
# and installs and uninstalls it silently under Wine. Installs what is missing first.
# Builds in build-windows/gui (or TIDELIN_WINDOWS_BUILD/gui).
#   TIDELIN_GUI_REPEAT=N    runs the checks N times in a row (default 1)
#   TIDELIN_GUI_SCREENSHOT=FILE  leaves a screenshot of the window there
# Arguments name cases of the driver to run alone (for example FolderWalk).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WINDOWS_BUILD="${TIDELIN_WINDOWS_BUILD:-$TIDELIN_ROOT/build-windows}/gui"

if ! install_missing cmake ninja-build "${WINDOWS_GUI_PACKAGES[@]}"; then
    echo "windows_gui: the cross compiler, Wine or Xvfb are missing and cannot be installed; skipped." >&2
    exit 77
fi

windows_step "Building the Windows window and its checks"
cmake -S "$TIDELIN_ROOT" -B "$WINDOWS_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DTIDELIN_ENGINE_ONLY=ON -DTIDELIN_BUILD_TESTS=OFF -DTIDELIN_WIN32_WINDOW=ON >/dev/null
cmake --build "$WINDOWS_BUILD" --parallel "$(nproc)"
BIN="$WINDOWS_BUILD/bin"

# A Wine prefix of its own (the engine run's prefix may be in use at the same time), its
# server socket, home and temporary files all inside the build folder.
wine_environment "$WINDOWS_BUILD"
unset WAYLAND_DISPLAY

# A private display; Wine draws the windows in a desktop of its own there, with Windows frames.
source "$TIDELIN_ROOT/scripts/x_display.sh"
trap '"$WINESERVER" -k 2>/dev/null || true; stop_x_display' EXIT
start_x_display "$TMPDIR" 1024x768x24

if [ ! -d "$WINEPREFIX" ]; then
    windows_step "Making the Wine prefix"
    "$WINE" wineboot --init >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
    "$WINESERVER" -w
fi
# The checks work in drive T:, a folder of the build: the folder chooser reaches it in a few
# levels from "My Computer".
CHECKS="$WINDOWS_BUILD/checks"
rm -rf "$CHECKS"
mkdir -p "$CHECKS"
ln -sfn "$CHECKS" "$WINEPREFIX/dosdevices/t:"
export TIDELIN_GUI_ROOT='T:'

for run in $(seq "${TIDELIN_GUI_REPEAT:-1}"); do
    windows_step "Window checks under Wine, run $run"
    "$WINE" "$BIN/tidelin_gui_checks.exe" "$@" 2>&1 | grep -v '^wine: Read access denied'
done

if [ $# -eq 0 ]; then
    # The layout of both windows follows the display's real DPI: once more at 150 %.
    windows_step "Start-up and About layout at 144 DPI"
    FONTS='HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'
    "$WINE" reg add "$FONTS" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
    "$WINESERVER" -w
    # The checks' own status counts. A run in which Wine never got the checks going (no line
    # of theirs at all, as seen once on a loaded machine right after the setting changed) is
    # said so and run once more.
    status=0
    for attempt in 1 2; do
        status=0
        "$WINE" "$BIN/tidelin_gui_checks.exe" StartUp About >"$WINDOWS_BUILD/dpi.log" 2>&1 || status=$?
        grep -v '^wine: Read access denied' "$WINDOWS_BUILD/dpi.log" || true
        grep -qE '^(PASS|FAIL)' "$WINDOWS_BUILD/dpi.log" && break
        echo "windows_gui: the checks did not start under Wine (status $status, attempt $attempt)"
        "$WINESERVER" -w
        status=1
    done
    "$WINE" reg add "$FONTS" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
    "$WINESERVER" -w
    [ "$status" -eq 0 ] || exit "$status"

    windows_step "The zip and the installer"
    bash "$TIDELIN_ROOT/tests/windows_gui/package_check.sh" "$BIN" "$WINDOWS_BUILD/package"
fi

if [ -n "${TIDELIN_GUI_SCREENSHOT:-}" ]; then
    windows_step "Screenshot"
    install_missing imagemagick
    "$WINE" "$BIN/tidelin.exe" &
    # A picture for people, not a check: taken once the window is drawn (a Wine that starts
    # afresh on a busy machine takes a while), or after 30 s whatever it shows.
    for _ in $(seq 30); do
        sleep 1
        import -window root "$TIDELIN_GUI_SCREENSHOT"
        [ "$(identify -format %k "$TIDELIN_GUI_SCREENSHOT")" -gt 50 ] && break
    done
    sleep 1
    import -window root "$TIDELIN_GUI_SCREENSHOT"
fi
windows_step "Windows window checks done"

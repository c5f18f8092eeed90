#!/usr/bin/env bash
# Cross-builds the engine, its Windows test suite and tidelin-convert.exe with mingw-w64 and
# runs them under Wine: the engine suite, then a few runs of the driver. Installs what is
# missing first. Builds in build-windows/ (or TIDELIN_WINDOWS_BUILD); arguments go to the
# engine suite (for example --gtest_filter=Win32*).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WINDOWS_BUILD="${TIDELIN_WINDOWS_BUILD:-$TIDELIN_ROOT/build-windows}"
TOOLCHAIN="$TIDELIN_ROOT/cmake/mingw-w64-x86_64.cmake"
# Each step says how long the one before it took.
step() { echo "== $1 (after ${SECONDS} s)"; }
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

if ! install_missing cmake ninja-build "${WINDOWS_PACKAGES[@]}"; then
    echo "windows: the cross compiler and Wine are missing and cannot be installed; skipped." >&2
    exit 77
fi

# GoogleTest from Debian's source package, built once with the same toolchain.
GTEST_PREFIX="$WINDOWS_BUILD/googletest"
if [ ! -f "$GTEST_PREFIX/lib/libgtest.a" ]; then
    step "Building GoogleTest for Windows"
    mkdir -p "$WINDOWS_BUILD"
    cmake -S /usr/src/googletest -B "$WINDOWS_BUILD/googletest-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
        >"$WINDOWS_BUILD/googletest.log" 2>&1 || { cat "$WINDOWS_BUILD/googletest.log"; exit 1; }
    cmake --build "$WINDOWS_BUILD/googletest-build" --target install >>"$WINDOWS_BUILD/googletest.log" 2>&1 \
        || { cat "$WINDOWS_BUILD/googletest.log"; exit 1; }
fi

step "Building Tidelin for Windows"
cmake -S "$TIDELIN_ROOT" -B "$WINDOWS_BUILD/tidelin" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DTIDELIN_WINDOWS_PREFIX="$GTEST_PREFIX" -DTIDELIN_ENGINE_ONLY=ON -DTIDELIN_BUILD_TESTS=ON >/dev/null
cmake --build "$WINDOWS_BUILD/tidelin" --parallel "$(nproc)"
BIN="$WINDOWS_BUILD/tidelin/bin"

# The engine links no window system: the programs import nothing of one.
for program in "$BIN"/*.exe; do
    if x86_64-w64-mingw32-objdump -p "$program" | grep -iE 'DLL Name: (user32|gdi32|comctl32)'; then
        echo "windows: $program imports a window-system library" >&2
        exit 1
    fi
done

# A Wine prefix of this user's own, made on first use (about 10 s); no display is needed.
# Wine keeps its server's socket in TMPDIR and menu entries in HOME: both stay in the build
# folder too, so that the run leaves nothing in the user's home or temporary folder.
export WINEPREFIX="$WINDOWS_BUILD/wine-prefix-$(id -u)"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
export HOME="$WINDOWS_BUILD/wine-home-$(id -u)"
export TMPDIR="$HOME/tmp"
mkdir -p "$TMPDIR"
# Wine spells Windows names in Linux file names in the locale's encoding: only UTF-8 holds
# every name Windows can hold.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
if [ ! -d "$WINEPREFIX" ]; then
    step "Making the Wine prefix"
    "$WINE" wineboot --init >/dev/null 2>&1
    "$WINESERVER" -w
fi

step "Engine suite under Wine"
"$WINE" "$BIN/tidelin_windows_tests.exe" "$@"
step "Engine suite under Wine, shuffled (a test must not depend on what ran before it)"
"$WINE" "$BIN/tidelin_windows_tests.exe" --gtest_shuffle --gtest_random_seed=1207 --gtest_brief=1 "$@"

step "Driver runs under Wine"
bash "$TIDELIN_ROOT/tests/windows/driver_check.sh" "$WINE" "$BIN/tidelin-convert.exe"
step "Windows build and tests done"

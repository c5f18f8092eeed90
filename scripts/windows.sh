#!/usr/bin/env bash
# Cross-builds the engine, its Windows test suite and tidelin-convert.exe with mingw-w64 and
# runs them under Wine: the engine suite, then a few runs of the driver. Installs what is
# missing first. Builds in build-windows/ (or TIDELIN_WINDOWS_BUILD); arguments go to the
# engine suite (for example --gtest_filter=Win32*).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WINDOWS_BUILD="${TIDELIN_WINDOWS_BUILD:-$TIDELIN_ROOT/build-windows}"

if ! install_missing cmake ninja-build "${WINDOWS_PACKAGES[@]}"; then
    echo "windows: the cross compiler and Wine are missing and cannot be installed; skipped." >&2
    exit 77
fi

# GoogleTest from Debian's source package, built once with the same toolchain.
GTEST_PREFIX="$WINDOWS_BUILD/googletest"
if [ ! -f "$GTEST_PREFIX/lib/libgtest.a" ]; then
    windows_step "Building GoogleTest for Windows"
    mkdir -p "$WINDOWS_BUILD"
    cmake -S /usr/src/googletest -B "$WINDOWS_BUILD/googletest-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
        >"$WINDOWS_BUILD/googletest.log" 2>&1 || { cat "$WINDOWS_BUILD/googletest.log"; exit 1; }
    cmake --build "$WINDOWS_BUILD/googletest-build" --target install >>"$WINDOWS_BUILD/googletest.log" 2>&1 \
        || { cat "$WINDOWS_BUILD/googletest.log"; exit 1; }
fi

windows_step "Building Tidelin for Windows"
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
wine_environment "$WINDOWS_BUILD"
unset DISPLAY WAYLAND_DISPLAY
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
if [ ! -d "$WINEPREFIX" ]; then
    windows_step "Making the Wine prefix"
    "$WINE" wineboot --init >/dev/null 2>&1
    "$WINESERVER" -w
fi

# One Wine server for every run below, kept until the end: a program that starts just as an
# idle server is leaving loses its connection ("recvmsg: Connection reset by peer", seen on a
# loaded machine), however right the program itself is.
"$WINESERVER" -p
windows_step "Engine suite under Wine"
"$WINE" "$BIN/tidelin_windows_tests.exe" "$@"
windows_step "Engine suite under Wine, shuffled (a test must not depend on what ran before it)"
"$WINE" "$BIN/tidelin_windows_tests.exe" --gtest_shuffle --gtest_random_seed=1207 --gtest_brief=1 "$@"

windows_step "Driver runs under Wine"
bash "$TIDELIN_ROOT/tests/windows/driver_check.sh" "$WINE" "$BIN/tidelin-convert.exe"
windows_step "Windows build and tests done"

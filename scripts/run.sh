#!/usr/bin/env bash
# Installs what the window program needs when it is missing, builds the window program alone
# and starts it. An already configured build is only brought up to date.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); run it in a desktop session." >&2
    exit 1
fi

install_missing "${RUN_PACKAGES[@]}"
if [ ! -f "$TIDELIN_BUILD/CMakeCache.txt" ]; then
    cmake -S "$TIDELIN_ROOT" -B "$TIDELIN_BUILD" -G Ninja -DTIDELIN_BUILD_TESTS=OFF
fi
cmake --build "$TIDELIN_BUILD" --target tidelin --parallel "$(nproc)"
exec "$TIDELIN_BUILD/bin/tidelin" "$@"

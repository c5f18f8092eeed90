#!/usr/bin/env bash
# Installs what is missing, builds Tidelin without its tests in build-package/ and makes the
# Debian package there: build-package/tidelin_VERSION_ARCH.deb.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing "${RUN_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
build="$TIDELIN_ROOT/build-package"
cmake -S "$TIDELIN_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTIDELIN_BUILD_TESTS=OFF
cmake --build "$build" --target package --parallel "$(nproc)"
ls "$build"/tidelin_*.deb

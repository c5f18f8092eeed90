#!/usr/bin/env bash
# Installs what is missing, builds Tidelin and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${WINDOWS_GUI_PACKAGES[@]}"
configure_and_build -DTIDELIN_BUILD_TESTS=ON
cd "$TIDELIN_BUILD"
ctest --output-on-failure --parallel "$(nproc)" "$@"

#!/usr/bin/env bash
# Installs what is missing, builds Tidelin and starts it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing "${BUILD_PACKAGES[@]}"
configure_and_build -DTIDELIN_ENGINE_ONLY=ON
echo "== Built the engine and its headless driver: $TIDELIN_BUILD/tools/tidelin-convert"
echo "   The window is not part of this build yet."

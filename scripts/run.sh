#!/usr/bin/env bash
# Installs what is missing, builds Tidelin and starts it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing "${BUILD_PACKAGES[@]}"
configure_and_build
exec "$TIDELIN_BUILD/bin/tidelin" "$@"

#!/usr/bin/env bash
# Installs what is missing and builds the Debian source package and the package from it, the
# way a distribution builds them: the committed sources (git archive of HEAD) are exported into
# build-package/tidelin-VERSION/ and built there with dpkg-buildpackage, which runs the quick
# tests. The results land in build-package/: tidelin_VERSION.dsc and .tar.xz, the source package;
# tidelin_VERSION_ARCH.deb; and the .changes that lists them.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing "${PACKAGE_PACKAGES[@]}"
version="$(dpkg-parsechangelog -l "$TIDELIN_ROOT/debian/changelog" -S Version)"
out="$TIDELIN_ROOT/build-package"
rm -rf "$out"
mkdir -p "$out/tidelin-$version"
git -C "$TIDELIN_ROOT" archive --format=tar HEAD | tar -x -C "$out/tidelin-$version"
cd "$out/tidelin-$version"
dpkg-buildpackage -us -uc -Jauto
cd "$out"
rm -rf "tidelin-$version"
ls "$out"/tidelin_"$version"*

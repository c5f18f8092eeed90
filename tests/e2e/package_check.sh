#!/usr/bin/env bash
# Builds the Debian package from a finished build, into a temporary folder, and checks what a
# user installs: the name, version and dependencies, every file in its place, Debian's package
# checker with nothing to say, and that the desktop entry, the AppStream description, the
# license, the changelog, the manual pages and the command-line tool work as they come out of
# the package.
set -uo pipefail
build="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Packing runs the build's install rules, which record what they installed in the build
# folder; a user who may not write there (the suite's unprivileged rerun) cannot pack.
if [ ! -w "$build" ]; then
    echo "skipped: $build is not writable by $(id -un)"
    exit 77
fi

fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAILED: the package could not be built"
    exit 1
fi
deb="$(ls "$work"/tidelin_"$version"_*.deb 2>/dev/null)"
check "the package is named tidelin_${version}_ARCH.deb" "[ -f '$deb' ]"
[ -f "$deb" ] || exit 1

# lintian, Debian's package checker, must find no error and no warning. It takes a few
# seconds, so it runs while the other checks do.
TMPDIR="$work" lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 &
lintian=$!

field() { dpkg-deb -f "$deb" "$1"; }
check "package name" "[ '$(field Package)' = tidelin ]"
check "package version" "[ '$(field Version)' = '$version' ]"
depends="$(field Depends)"
echo "Depends: $depends"
names="$(echo "$depends" | tr ',' '\n' | awk '{ print $1 }')"
for needed in qt6-translations-l10n libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
    check "depends on $needed" "echo '$names' | grep -Fqx '$needed'"
done
recommends="$(field Recommends)"
check "recommends Qt's Wayland plugin" "echo '$recommends' | tr ',' '\n' | grep -qx ' *qt6-wayland'"

expected="./usr/bin/tidelin
./usr/bin/tidelin-convert
./usr/share/applications/tidelin.desktop
./usr/share/doc/tidelin/changelog.gz
./usr/share/doc/tidelin/copyright
./usr/share/icons/hicolor/16x16/apps/tidelin.png
./usr/share/icons/hicolor/32x32/apps/tidelin.png
./usr/share/locale/ru/LC_MESSAGES/tidelin-convert.mo
./usr/share/man/man1/tidelin-convert.1.gz
./usr/share/man/man1/tidelin.1.gz
./usr/share/metainfo/example.tidelin.Tidelin.metainfo.xml"
files="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort)"
check "the package holds exactly its files" "[ '$files' = '$expected' ]"
[ "$files" = "$expected" ] || diff <(echo "$expected") <(echo "$files")
check "every file belongs to root" "! dpkg-deb -c '$deb' | awk '{ print \$2 }' | grep -vqx root/root"

root="$work/root"
dpkg-deb -x "$deb" "$root"
check "desktop entry is valid" "desktop-file-validate '$root/usr/share/applications/tidelin.desktop'"
check "AppStream description is valid" \
    "appstreamcli validate --no-net '$root/usr/share/metainfo/example.tidelin.Tidelin.metainfo.xml' >'$work/appstream.log'"
cat "$work/appstream.log" 2>/dev/null
check "AppStream release is $version" \
    "grep -q 'release version=\"$version\"' '$root/usr/share/metainfo/example.tidelin.Tidelin.metainfo.xml'"
doc="$root/usr/share/doc/tidelin"
check "the copyright file is machine-readable and gives the MIT license" \
    "grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' '$doc/copyright' &&
     grep -qx 'License: Expat' '$doc/copyright' && grep -qF 'Permission is hereby granted' '$doc/copyright'"
check "the changelog's newest entry is $version" \
    "[ \"\$(zcat '$doc/changelog.gz' | dpkg-parsechangelog -l - -S Version)\" = '$version' ]"
for page in tidelin tidelin-convert; do
    check "manual page of $page for $version" \
        "zcat '$root/usr/share/man/man1/$page.1.gz' | grep -q '^\\.TH .*\"Tidelin $version\"'"
done
check "tidelin-convert --help" "'$root/usr/bin/tidelin-convert' --help | grep -q '^Exit status:'"
# The tool finds its Russian messages where the package puts them (a Russian locale is made
# here, so that the check does not depend on the machine's locales).
mkdir -p "$work/locales"
localedef -i ru_RU -f UTF-8 "$work/locales/ru_RU.UTF-8" 2>/dev/null
check "tidelin-convert --help in Russian" \
    "env -u LANGUAGE LOCPATH='$work/locales' LC_ALL=ru_RU.UTF-8 '$root/usr/bin/tidelin-convert' --help | grep -q '^Код возврата:'"
check "tidelin-convert --version" \
    "[ \"\$('$root/usr/bin/tidelin-convert' --version)\" = 'tidelin-convert (Tidelin) $version' ]"

wait $lintian
status=$?
grep -v 'running with root privileges' "$work/lintian.log"
check "lintian finds no error and no warning (status $status)" \
    "[ $status = 0 ] && ! grep -q '^[EW]: ' '$work/lintian.log'"
exit $fail

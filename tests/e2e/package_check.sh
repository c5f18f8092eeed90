#!/usr/bin/env bash
# Builds the Debian source package and the package from it as a distribution does, from a clean
# export of the sources into a temporary folder, and checks both: build folders stay out of
# the source package, the build writes nothing outside its own folder, Debian's package checker
# has nothing to say about the .changes, the package holds every file in its place with the
# right name, version and dependencies, and the package's own tests pass against its programs.
set -uo pipefail
source_dir="$1"
version="$2"
source "$source_dir/scripts/common.sh"  # check_nothing_left and the test command's packages
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

# (A pipe into "grep -q" under pipefail fails when grep leaves before the writer has written
# everything, so the checks below let grep read to the end.)
# Every package debian/control asks for, to build or to test, is among those the test command
# installs, so that the build dependencies are met on a fresh machine too.
needed="$({ sed -n -e '/^Build-Depends:/,/^[^ ]/{/^Build-Depends:/p;/^ /p}' "$source_dir/debian/control"
            sed -n 's/^Depends://p' "$source_dir/debian/tests/control"; } |
          sed 's/^Build-Depends://' | tr ',' '\n' |
          sed -e 's/[<(\[].*//' -e 's/ //g' -e 's/^debhelper-compat$/debhelper/' | grep -vx 'tidelin\|' | sort -u)"
for package in $needed; do
    check "the test command installs $package" "printf '%s\n' ${BUILD_PACKAGES[*]} ${TEST_PACKAGES[*]} | grep -x '$package' >/dev/null"
done

# The export: what git holds, edits and new files of the working tree included; a copy of
# the sources without git (the suite's unprivileged rerun) is taken as it is, less its builds.
src="$work/tidelin-$version"
mkdir "$src"
if git -C "$source_dir" rev-parse --show-toplevel >/dev/null 2>&1; then
    (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' name; do [ -e "$name" ] && printf '%s\0' "$name"; done |
        tar --null -T - -cf -) | tar -x -C "$src"
else
    tar -C "$source_dir" --exclude=./.git --exclude=./build --exclude='./build-*' --exclude='./obj-*' -cf - . |
        tar -x -C "$src"
fi
# Build folders a developer's tree may hold: the source package must leave them out.
for folder in build build-package obj-x86_64-linux-gnu; do
    mkdir "$src/$folder" && echo leftover >"$src/$folder/leftover"
done

mkdir -m 700 "$work/home" "$work/tmp"
start=$SECONDS
(cd "$src" && env -u DEB_BUILD_OPTIONS -u DEB_BUILD_PROFILES HOME="$work/home" TMPDIR="$work/tmp" dpkg-buildpackage -us -uc -Jauto) >"$work/build.log" 2>&1
status=$?
echo "dpkg-buildpackage took $((SECONDS - start)) s"
if [ $status != 0 ]; then
    tail -n 60 "$work/build.log"
    echo "FAILED: dpkg-buildpackage -us -uc (status $status)"
    exit 1
fi
check "the quick tests ran during the build" "[ \$(grep -c '^100% tests passed, 0 tests failed' '$work/build.log') = 2 ]"
check "the build wrote nothing in the home and temporary folders" "check_nothing_left '$work/home' '$work/tmp'"

dsc="$work/tidelin_$version.dsc"
tarball="$work/tidelin_$version.tar.xz"
changes="$(ls "$work"/tidelin_"$version"_*.changes 2>/dev/null)"
deb="$(ls "$work"/tidelin_"$version"_*.deb 2>/dev/null)"
check "the source package tidelin_$version.dsc and .tar.xz" "[ -f '$dsc' ] && [ -f '$tarball' ]"
check "the package tidelin_${version}_ARCH.deb and its .changes" "[ -f '$deb' ] && [ -f '$changes' ]"
[ -f "$deb" ] && [ -f "$tarball" ] || exit 1

# lintian, Debian's package checker, on the source and the binary packages: no error and no
# warning. It takes a few seconds, so it runs while the other checks do.
mkdir "$work/lintian-tmp"
TMPDIR="$work/lintian-tmp" lintian --fail-on error,warning -I "$changes" >"$work/lintian.log" 2>&1 &
lintian=$!

tar -tJf "$tarball" >"$work/sources.txt"
check "the source package holds debian/ and the sources" \
    "grep -qx 'tidelin-$version/debian/rules' '$work/sources.txt' && grep -qx 'tidelin-$version/LICENSE' '$work/sources.txt'"
check "the source package holds no build folder and no git" \
    "! grep -E '^tidelin-$version/(build|build-[^/]*|obj-[^/]*|\.git)(/|\$)' '$work/sources.txt'"

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
check "recommends Qt's Wayland plugin" "echo '$recommends' | tr ',' '\n' | grep -x ' *qt6-wayland' >/dev/null"

expected="./usr/bin/tidelin
./usr/bin/tidelin-convert
./usr/share/applications/tidelin.desktop
./usr/share/bash-completion/completions/tidelin-convert
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
check "AppStream release is $version of the changelog's day" \
    "grep -q \"release version=\\\"$version\\\" date=\\\"\$(date -u -d \"\$(dpkg-parsechangelog -l '$src/debian/changelog' -S Date)\" +%F)\\\"\" \
     '$root/usr/share/metainfo/example.tidelin.Tidelin.metainfo.xml'"
doc="$root/usr/share/doc/tidelin"
check "the copyright file is debian/copyright" "cmp -s '$doc/copyright' '$src/debian/copyright'"
check "the changelog is debian/changelog, its newest entry $version" \
    "zcat '$doc/changelog.gz' | cmp -s - '$src/debian/changelog' &&
     [ \"\$(dpkg-parsechangelog -l '$src/debian/changelog' -S Version)\" = '$version' ]"
for page in tidelin tidelin-convert; do
    check "manual page of $page for $version" \
        "zcat '$root/usr/share/man/man1/$page.1.gz' | grep '^\\.TH .*\"Tidelin $version\"' >/dev/null"
done
# The tool finds its Russian messages where the package puts them (a Russian locale is made
# here, so that the check does not depend on the machine's locales).
mkdir -p "$work/locales"
localedef -i ru_RU -f UTF-8 "$work/locales/ru_RU.UTF-8" 2>/dev/null
check "tidelin-convert --help in Russian" \
    "env -u LANGUAGE LOCPATH='$work/locales' LC_ALL=ru_RU.UTF-8 '$root/usr/bin/tidelin-convert' --help | grep '^Код возврата:' >/dev/null"
check "tidelin-convert --version" \
    "[ \"\$('$root/usr/bin/tidelin-convert' --version)\" = 'tidelin-convert (Tidelin) $version' ]"

# The package's own tests (debian/tests), as autopkgtest runs them on an installed package,
# against the package's programs: each passes, and one that may not write to standard error
# does not.
tests="$(sed -n 's/^Tests: *//p' "$src/debian/tests/control" | tr ',' ' ')"
check "the package has its own tests" "[ -n '$tests' ]"
for test in $tests; do
    restrictions="$(awk -v t="$test" '/^Tests:/ { f = ($0 ~ "[ ,]" t "([ ,]|$)") } f && /^Restrictions:/' "$src/debian/tests/control")"
    mkdir -p "$work/autopkgtest/$test"
    (cd "$src" && env PATH="$root/usr/bin:$PATH" HOME="$work/home" TMPDIR="$work/tmp" \
        AUTOPKGTEST_TMP="$work/autopkgtest/$test" "$src/debian/tests/$test") \
        >"$work/autopkgtest/$test.out" 2>"$work/autopkgtest/$test.err"
    status=$?
    cat "$work/autopkgtest/$test.out" "$work/autopkgtest/$test.err"
    check "the package's test $test passes (status $status)" "[ $status = 0 ]"
    if ! echo "$restrictions" | grep -qw allow-stderr; then
        check "the package's test $test writes nothing to standard error" "[ ! -s '$work/autopkgtest/$test.err' ]"
    fi
done
check "the package's tests wrote nothing in the home and temporary folders" "check_nothing_left '$work/home' '$work/tmp'"

wait $lintian
status=$?
grep -v 'running with root privileges' "$work/lintian.log"
check "lintian finds no error and no warning in the .changes (status $status)" \
    "[ $status = 0 ] && ! grep -q '^[EW]: ' '$work/lintian.log'"
exit $fail

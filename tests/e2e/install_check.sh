#!/usr/bin/env bash
# Installs the built programs into a temporary prefix and checks that they land on the
# desktop: both programs with their manual pages, a valid desktop entry, both icon sizes and
# the AppStream description.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

entry="$prefix/share/applications/tidelin.desktop"
check "program installed" "[ -x '$prefix/bin/tidelin' ]"
check "command-line tool installed and runs" "'$prefix/bin/tidelin-convert' --version | grep -q '^tidelin-convert (Tidelin) '"
for page in tidelin tidelin-convert; do
    check "manual page of $page" "zcat '$prefix/share/man/man1/$page.1.gz' | grep '^\.TH ' >/dev/null"
done
check "Russian messages of the tool installed" "[ -f '$prefix/share/locale/ru/LC_MESSAGES/tidelin-convert.mo' ]"
check "AppStream description installed" "[ -f '$prefix/share/metainfo/example.tidelin.Tidelin.metainfo.xml' ]"
check "desktop entry installed" "[ -f '$entry' ]"
check "desktop entry is valid" "desktop-file-validate '$entry'"
check "desktop entry names Tidelin" "grep -qx 'Name=Tidelin' '$entry'"
check "desktop entry is a utility" "grep -qx 'Categories=Utility;' '$entry'"
check "comment is the description" "grep -qx 'Comment=Программа для преобразования символов перехода строки Windows в символы перехода строки Unix-подобных  операционных систем и обратно.' '$entry'"
for size in 16 32; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/tidelin.png"
    # A PNG's width and height stand as 32-bit numbers at bytes 16 and 20.
    dims="$(od -An -tu1 -j16 -N8 "$icon" 2>/dev/null | awk '{print ($3*256+$4) "x" ($7*256+$8)}')"
    check "icon ${size}x${size}" "[ '$dims' = '${size}x${size}' ]"
done
exit $fail

#!/usr/bin/env bash
# LICENSE is the one source of the license: the copyright file of the Debian package, in
# Debian's machine-readable format, must give the same holder and the same text (paragraphs
# indented by one blank, an empty line as a lone dot).
set -uo pipefail
root="$1"
license="$root/LICENSE"
copyright="$root/debian/copyright"

holder="$(sed -n 's/^Copyright (c) //p' "$license")"
expected="$(sed -n '/^Permission is hereby granted/,$p' "$license" | sed -e 's/^$/./' -e 's/^/ /')"
# The paragraph of every file: its Copyright field and the text under its License field.
given_holder="$(awk '/^Files: \*$/ { f = 1 } f && /^Copyright: / { sub(/^Copyright: /, ""); print; exit }' "$copyright")"
given="$(awk '/^Files: \*$/ { f = 1 } f && /^License: / { t = 1; next } t && /^ / { print; next } t { exit }' "$copyright")"

fail=0
if [ -z "$holder" ] || [ "$holder" != "$given_holder" ]; then
    echo "FAILED: debian/copyright names \"$given_holder\", LICENSE \"$holder\""
    fail=1
fi
if ! grep -qx 'License: Expat' "$copyright"; then
    echo "FAILED: debian/copyright does not give the MIT license as Expat"
    fail=1
fi
if [ "$expected" != "$given" ]; then
    echo "FAILED: the license text of debian/copyright differs from LICENSE:"
    diff <(echo "$expected") <(echo "$given")
    fail=1
fi
[ $fail = 0 ] && echo "ok: debian/copyright gives LICENSE's holder and text"
exit $fail

#!/usr/bin/env bash
# Builds what a Windows user downloads, the zip of the programs with the Russian read-me and
# the installer (makensis), checks their contents, and runs the installer and then its
# uninstaller silently under Wine: the programs and the Start menu entry come and go.
# Usage: package_check.sh BIN-FOLDER OUT-FOLDER (WINEPREFIX and the Wine variables set).
set -euo pipefail
BIN="$1"
OUT="$2"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
PACKAGING="$ROOT/packaging/windows"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
fail() { echo "package check: $*" >&2; exit 1; }

rm -rf "$OUT"
mkdir -p "$OUT/Tidelin"
cp "$BIN/tidelin.exe" "$BIN/tidelin-convert.exe" "$PACKAGING/ПРОЧТИ.txt" "$OUT/Tidelin/"
cp "$ROOT/LICENSE" "$OUT/Tidelin/LICENSE.txt"  # the license travels with every copy
(cd "$OUT" && python3 -m zipfile -c tidelin-windows.zip Tidelin)
listing="$(python3 -m zipfile -l "$OUT/tidelin-windows.zip")"
for name in Tidelin/tidelin.exe Tidelin/tidelin-convert.exe Tidelin/ПРОЧТИ.txt Tidelin/LICENSE.txt; do
    grep -q "^$name " <<<"$listing" || fail "the zip lacks $name"
done

makensis -V2 -INPUTCHARSET UTF8 -DVERSION=1.1.29 -DBIN="$BIN" -DREADME="$PACKAGING/ПРОЧТИ.txt" -DLICENSE="$ROOT/LICENSE" \
    -DOUT="$OUT/tidelin-setup.exe" "$PACKAGING/tidelin.nsi"
[ -s "$OUT/tidelin-setup.exe" ] || fail "no installer"

# Installed silently, into a folder of the prefix; the uninstaller removes it all again.
TARGET="$WINEPREFIX/drive_c/Tidelin-check"
MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tidelin/Tidelin.lnk"
"$WINE" "$OUT/tidelin-setup.exe" /S '/D=C:\Tidelin-check'
"$WINESERVER" -w
for name in tidelin.exe tidelin-convert.exe ПРОЧТИ.txt LICENSE.txt uninstall.exe; do
    [ -f "$TARGET/$name" ] || fail "the installer did not put $name in place"
done
cmp -s "$TARGET/tidelin.exe" "$BIN/tidelin.exe" || fail "the installed tidelin.exe differs"
[ -f "$MENU" ] || fail "no Start menu entry"
"$WINE" 'C:\Tidelin-check\uninstall.exe' /S
"$WINESERVER" -w
[ ! -e "$TARGET" ] || fail "the uninstaller left $TARGET"
[ ! -e "$MENU" ] || fail "the uninstaller left the Start menu entry"
echo "PASS zip and installer"

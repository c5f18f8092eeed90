#!/usr/bin/env bash
# A few runs of tidelin-convert.exe under Wine on real files: a name no 8-bit code page can
# spell, a folder walk whose entries carry Windows paths, a binary file, and the exit codes.
# Usage: driver_check.sh WINE TIDELIN-CONVERT.EXE
set -uo pipefail
WINE="$1"
TOOL="$2"

SCRATCH="$(mktemp -d "${TMPDIR:-/tmp}/tidelin-windows-XXXXXX")"
trap 'rm -rf "$SCRATCH"' EXIT
# Wine shows the whole Linux tree as drive Z:.
win() { printf 'Z:%s' "${1//\//\\}"; }

failures=0
# check NAME EXPECTED-STATUS EXPECTED-OUT EXPECTED-ERR-PREFIX -- ARGS...
check() {
    local name="$1" status="$2" out="$3" err="$4"
    shift 5
    "$WINE" "$TOOL" "$@" >"$SCRATCH/out" 2>"$SCRATCH/err" </dev/null
    local got=$?
    if [ "$got" -ne "$status" ] || [ "$(cat "$SCRATCH/out")" != "$out" ] ||
        [ "$(head -c "$(printf %s "$err" | wc -c)" "$SCRATCH/err")" != "$err" ]; then
        echo "FAILED: $name: status $got (expected $status)"
        echo "  out: $(cat "$SCRATCH/out")"
        echo "  err: $(cat "$SCRATCH/err")"
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
}
# content NAME FILE EXPECTED-BYTES (printf format)
content() {
    if [ "$(od -An -c "$2")" != "$(printf "$3" | od -An -c)" ]; then
        echo "FAILED: $1: $(od -An -c "$2")"
        failures=$((failures + 1))
    fi
}

name="$SCRATCH/ελληνικά 日本語 Привет.txt"
printf 'a\r\nb\r\n' >"$name"
check "a file with a name beyond any code page" 0 "Операция завершена." "" -- \
    --win-to-unix --file "$(win "$name")"
content "its content" "$name" 'a\nb\n'

mkdir -p "$SCRATCH/tree/sub"
printf 'x\n' >"$SCRATCH/tree/x.txt"
printf 'r\n' >"$SCRATCH/tree/sub/ro.txt"
chmod 444 "$SCRATCH/tree/sub/ro.txt"  # Wine shows a file nobody may write as read-only
printf 'b\0\n' >"$SCRATCH/tree/sub/b.bin"
tree="$(win "$SCRATCH/tree")"
# A walk that logged an error entry exits 1.
check "a folder walk" 1 "!_  Бинарный файл: $tree\\sub\\b.bin
!_ Ошибка 75 Системные, скрытые и файлы только для чтения не перезаписываются. - $tree\\sub\\ro.txt
Операция завершена." "" -- --unix-to-win --folder "$tree\\"
content "the walked file" "$SCRATCH/tree/x.txt" 'x\r\n'
content "the read-only file" "$SCRATCH/tree/sub/ro.txt" 'r\n'
content "the binary file" "$SCRATCH/tree/sub/b.bin" 'b\0\n'

# A relative path is taken from the current folder, as Windows resolves it.
printf 'r\r\n' >"$SCRATCH/relative.txt"
cd "$SCRATCH"
check "a relative path" 0 "Операция завершена." "" -- --win-to-unix --file relative.txt
cd - >/dev/null
content "the file named by a relative path" "$SCRATCH/relative.txt" 'r\n'

# The tool's own message, then the system's text and code.
check "a missing file" 1 "" "Error 53 Файл не найден. - $(win "$SCRATCH/missing.txt"): " -- \
    --win-to-unix --file "$(win "$SCRATCH/missing.txt")"
if ! grep -q ' (Win32 error 2)$' "$SCRATCH/err"; then
    echo "FAILED: the system's cause: $(cat "$SCRATCH/err")"
    failures=$((failures + 1))
fi
check "no arguments" 2 "" "tidelin-convert: " --

# The report: counts, the kind, the change and the path, whose backslashes are escaped.
printf 'a\r\nb\nc\r' >"$SCRATCH/mixed.txt"
mixed="$(win "$SCRATCH/mixed.txt")"
check "a report" 1 "$(printf '1\t1\t1\ttext\tchanges\t%s' "${mixed//\\/\\\\}")" "tidelin-convert: files read: 1" -- \
    --info --win-to-unix --file "$mixed"
content "the reported file" "$SCRATCH/mixed.txt" 'a\r\nb\nc\r'

# The filter: standard input in binary mode (a CR and a Ctrl-Z are data) to standard output.
printf 'a\r\nb\r\n' | "$WINE" "$TOOL" --win-to-unix >"$SCRATCH/filtered" 2>"$SCRATCH/err"
content "the filter's output" "$SCRATCH/filtered" 'a\nb\n'
printf 'a\r\nb\032\r\n' | "$WINE" "$TOOL" --win-to-unix --convert-binary >"$SCRATCH/filtered" 2>"$SCRATCH/err"
content "the filter's output with a Ctrl-Z" "$SCRATCH/filtered" 'a\nb\032\n'

# Patterns and dates on Windows: version control and a folder left out, a name matched
# regardless of case, and a converted file that keeps its time (to 100 ns, as NTFS keeps it).
mkdir -p "$SCRATCH/repo/.git" "$SCRATCH/repo/Build" "$SCRATCH/repo/src"
for name in .git/HEAD Build/x.c src/a.c src/notes.txt; do printf 'r\r\n' >"$SCRATCH/repo/$name"; done
TZ=UTC touch -d '2001-09-09 01:46:40.1234567' "$SCRATCH/repo/src/a.c"
check "patterns and dates" 0 "Операция завершена." "" -- \
    --win-to-unix --exclude-vcs --exclude /build/ --exclude '*.TXT' --keep-date "$(win "$SCRATCH/repo")"
content "the converted file" "$SCRATCH/repo/src/a.c" 'r\n'
for name in .git/HEAD Build/x.c src/notes.txt; do content "$name left out" "$SCRATCH/repo/$name" 'r\r\n'; done
if [ "$(TZ=UTC stat -c %y "$SCRATCH/repo/src/a.c")" != "2001-09-09 01:46:40.123456700 +0000" ]; then
    echo "FAILED: the kept time: $(stat -c %y "$SCRATCH/repo/src/a.c")"
    failures=$((failures + 1))
fi

# The filter holds input of any size while it waits to know whether it is binary, in a
# temporary file of its own: 3 MB of text is converted; with a NUL at its end it passes as it is.
yes $'text\r' | head -n 500000 >"$SCRATCH/large.txt"
yes text | head -n 500000 >"$SCRATCH/large.expected"
{ cat "$SCRATCH/large.txt"; printf '\0'; } >"$SCRATCH/large.bin"
for input in large.txt large.bin; do
    expected="$SCRATCH/large.expected"
    [ "$input" = large.bin ] && expected="$SCRATCH/large.bin"
    if ! "$WINE" "$TOOL" --win-to-unix <"$SCRATCH/$input" >"$SCRATCH/filtered" 2>"$SCRATCH/err" ||
        ! cmp -s "$SCRATCH/filtered" "$expected"; then
        echo "FAILED: the filter on 3 MB ($input): $(wc -c <"$SCRATCH/filtered") bytes out; $(cat "$SCRATCH/err")"
        failures=$((failures + 1))
    else
        echo "ok: the filter on 3 MB ($input)"
    fi
done

echo "$failures failed"
[ "$failures" -eq 0 ]

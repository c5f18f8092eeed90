#!/usr/bin/env bash
# The documents a user reads explain what the program shows: the README's table has every text
# of the window that a person meets during a walk or at start-up, and the Windows read-me says
# what Unix to Windows does to a CR that no LF follows; the README, the manual page and the bash
# completion of tidelin-convert know its options, and the completion works in a plain bash.
set -uo pipefail
root="$1"
fail=0
for text in "Остановить после текущего файла?" "Остановлено пользователем:" "Tidelin — файлов: N" \
            "личная папка пользователя для защиты от второго экземпляра недоступна" \
            "Tidelin не запущен: защита от второго экземпляра недоступна." "Недостаточно памяти."; do
    if ! grep -qF -- "$text" "$root/README.md"; then
        echo "FAILED: the README does not explain \"$text\""
        fail=1
    fi
done
if ! grep -qF "удаляется каждый символ CR, за которым не следует LF" "$root/packaging/windows/ПРОЧТИ.txt"; then
    echo "FAILED: the Windows read-me does not say that Unix to Windows removes a lone CR"
    fail=1
fi

# tidelin-convert's options: the README, the manual page and the bash completion each name
# every option that chooses files or changes how they are written.
manual=$(sed 's/\\-/-/g' "$root/tools/tidelin-convert.1.in")
completion="$root/tools/tidelin-convert.bash"
names_option() {  # TEXT OPTION: OPTION stands alone, not as the start of a longer one
    grep -qE -- "(^|[^-[:alnum:]])$2([^-[:alnum:]]|\$)" <<<"$1"
}
for option in --files-from -0 --null --include --exclude --exclude-vcs --include-hidden \
              --skip-unchanged --keep-date; do
    for document in README "manual page" completion; do
        case $document in
            README) text=$(cat "$root/README.md") ;;
            "manual page") text=$manual ;;
            completion) text=$(cat "$completion") ;;
        esac
        if ! names_option "$text" "$option"; then
            echo "FAILED: the $document of tidelin-convert does not name $option"
            fail=1
        fi
    done
done
for example in "git ls-files -z | tidelin-convert --win-to-unix --include-hidden --files-from - -0" \
               "tidelin-convert --unix-to-win --exclude-vcs --skip-unchanged ."; do
    if ! grep -qF -- "    $example" "$root/README.md"; then
        echo "FAILED: the README does not show \"$example\""
        fail=1
    fi
    if ! grep -qxF -- "$example" <<<"$manual"; then
        echo "FAILED: the manual page does not show \"$example\""
        fail=1
    fi
done
if ! grep -qE 'install\(FILES tidelin-convert\.bash$' "$root/tools/CMakeLists.txt" ||
   ! grep -qF 'DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tidelin-convert)' \
        "$root/tools/CMakeLists.txt"; then
    echo "FAILED: the bash completion is not installed as bash-completion/completions/tidelin-convert"
    fail=1
fi

# The completion loads in a plain bash and completes, in a folder holding a file, a folder and
# files whose names begin with a dash or hold a space: each row is the words before the
# cursor, the word being completed and the sorted replies expected, separated by commas.
all_options="--,--convert-binary,--exclude,--exclude-vcs,--file,--files-from,--folder,--help"
all_options+=",--include,--include-hidden,--info,--keep-date,--null,--skip-unchanged"
all_options+=",--unix-to-win,--version,--win-to-unix,-0"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/docs" && touch "$work/notes.txt" "$work/-draft.txt" "$work/old notes.txt"
while IFS='|' read -r before word expected; do
    got=$(cd "$work" && bash --norc --noprofile -c '
        source "$1" || exit 9
        complete -p tidelin-convert >/dev/null || exit 8
        read -ra COMP_WORDS <<<"$2"
        COMP_WORDS+=("$3")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="${COMP_WORDS[*]}"
        COMP_POINT=${#COMP_LINE}
        _tidelin_convert
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ,
    ' completion "$completion" "$before" "$word" 2>&1)
    if [[ $got != "$expected" ]]; then
        echo "FAILED: completing \"$before $word\" gives \"$got\", not \"$expected\""
        fail=1
    fi
done <<EOF
tidelin-convert|--inc|--include,--include-hidden
tidelin-convert --info|--exclude|--exclude,--exclude-vcs
tidelin-convert|--files|--files-from
tidelin-convert|-|$all_options
tidelin-convert --folder||docs
tidelin-convert --file|n|notes.txt
tidelin-convert --file|o|old notes.txt
tidelin-convert --files-from||-draft.txt,docs,notes.txt,old notes.txt
tidelin-convert --include||
tidelin-convert --exclude||
tidelin-convert --win-to-unix||-draft.txt,docs,notes.txt,old notes.txt
tidelin-convert --win-to-unix --|-|-draft.txt
EOF
exit $fail

#!/usr/bin/env bash
# The documents a user reads explain what the program shows: the README's table has every text
# of the window that a person meets during a walk or at start-up, and the Windows read-me says
# what Unix to Windows does to a CR that no LF follows.
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
exit $fail

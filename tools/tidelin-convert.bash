# Bash completion of tidelin-convert: its options, files after --file and --files-from,
# folders after --folder, nothing after --include and --exclude (a pattern is typed, not
# found), and files and folders for a plain argument. It needs bash alone.
_tidelin_convert()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    case $prev in
        --file | --files-from)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0
            ;;
        --folder)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            return 0
            ;;
        --include | --exclude)
            return 0
            ;;
    esac

    # After "--" every word is a path, even one that begins with "-".
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -- ]]; then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0
        fi
    done

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--win-to-unix --unix-to-win --convert-binary
            --file --folder --files-from --null -0 --include --exclude --exclude-vcs
            --include-hidden --skip-unchanged --keep-date --info --help --version --' -- "$cur")
        return 0
    fi

    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return 0
} &&
    complete -F _tidelin_convert tidelin-convert

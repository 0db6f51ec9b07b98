# bash completion of quarventa-cli: subcommands, options, the files each
# subcommand takes, serial ports and the command words of the shipped table.

_quarventa_cli_words() {
    # The shipped command table beside the installed program.
    local program table
    program=$(command -v quarventa-cli 2>/dev/null) || return
    table="$(dirname "$program")/../share/quarventa/CFG/Commands.CSV"
    [ -r "$table" ] || table="$(dirname "$program")/CFG/Commands.CSV"
    [ -r "$table" ] && cut -d';' -f2 "$table" | tail -n +2 | grep -v '^$'
}

_quarventa_cli() {
    local cur prev subcommand word i
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD-1]}"
    local subcommands="ports info backup diff get set restore monitor flash"
    local options="--port --json --yes --data-dir --log --timeout --unit --help --version"

    case "$prev" in
        --port)
            COMPREPLY=($(compgen -W "$(quarventa-cli ports 2>/dev/null | cut -d' ' -f1)" -- "$cur"))
            COMPREPLY+=($(compgen -f -- "$cur"))
            return ;;
        --data-dir)
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        --log)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --record)
            COMPREPLY=($(compgen -f -X '!*.[cC][sS][vV]' -- "$cur") $(compgen -d -- "$cur"))
            return ;;
        --timeout | --seconds | --unit)
            return ;;
    esac

    subcommand=""
    for ((i = 1; i < COMP_CWORD; i++)); do
        word="${COMP_WORDS[i]}"
        case "$word" in
            --port | --data-dir | --log | --timeout | --seconds | --record | --unit) ((i++)) ;;
            -*) ;;
            *) subcommand="$word"; break ;;
        esac
    done

    if [[ "$cur" == -* ]]; then
        [ "$subcommand" = monitor ] && options="$options --seconds --record"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case "$subcommand" in
        "")
            COMPREPLY=($(compgen -W "$subcommands" -- "$cur")) ;;
        backup)
            COMPREPLY=($(compgen -f -X '!*.@(QCF|qcf|qvt|QVT)' -- "$cur") $(compgen -d -- "$cur")) ;;
        diff | restore)
            COMPREPLY=($(compgen -f -X '!*.@(QCF|qcf|QSQ|qsq|qvt|QVT)' -- "$cur") $(compgen -d -- "$cur")) ;;
        flash)
            COMPREPLY=($(compgen -f -X '!*.@(hex|HEX)' -- "$cur") $(compgen -d -- "$cur")) ;;
        get)
            COMPREPLY=($(compgen -W "$(_quarventa_cli_words)" -- "$cur")) ;;
        set)
            compopt -o nospace 2>/dev/null
            COMPREPLY=($(compgen -W "$(_quarventa_cli_words | sed 's/$/=/')" -- "$cur")) ;;
    esac
}
complete -F _quarventa_cli quarventa-cli

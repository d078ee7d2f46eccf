# bash completion for korvane-cli: its commands, each command's options, their values,
# directories for DIR, and images for IMAGE.

_korvane_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command=${COMP_WORDS[1]}
    # "--layout=lo" comes as the words "--layout", "=" and "lo".
    if [[ $prev == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == = ]]; then
        cur=""
    fi
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "check repair convert generate list extract --help --version" -- "$cur"))
        return
    fi
    local values=""
    case $prev in
        --layout) values="both short long" ;;
        --sector-size)
            values="128 256"
            [[ $command == repair ]] && values+=" skip"
            ;;
        --fix-length) values="file header skip" ;;
        --fix-layout) values="add cut skip" ;;
        --overwrite-backup) values="yes no" ;;
        --format) values="dos2 dos25 mydos" ;;
        --to)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --template)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --sectors | --name) return ;;
    esac
    if [[ -n $values ]]; then
        COMPREPLY=($(compgen -W "$values" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        local options=""
        case $command in
            check) options="--layout --min-size --no-min-size --json" ;;
            repair) options="--layout --min-size --no-min-size --sector-size --fix-length
                             --fix-layout --overwrite-backup --json" ;;
            convert) options="--template --fit --json" ;;
            generate) options="--sector-size --sectors --name --format --json" ;;
            extract) options="--to" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$cur"))
    if [[ $command == list || $command == extract ]]; then
        COMPREPLY+=($(compgen -f -X '!*.[Aa][Tt][Rr]' -- "$cur"))
    fi
}
complete -F _korvane_cli korvane-cli

# bash completion for revscope-cli                                   -*- shell-script -*-
# Commands, their options and the values those take; it needs nothing from bash-completion.

_revscope_cli_sensors()
{
    # The display sensors' names, from the catalogue itself.
    "${COMP_WORDS[0]}" vars 2>/dev/null | while IFS=$'\t' read -r kind id name _; do
        [[ $kind == display ]] && printf '%s\n' "$name"
    done
}

_revscope_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local cword=$COMP_CWORD
    # "--name=value" reaches us as "--name" "=" "value".
    if [[ $cur == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD-1]}
        cur=
    elif [[ $prev == = && $cword -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD-2]}
    fi
    COMPREPLY=()

    if (( cword == 1 )); then
        COMPREPLY=($(compgen -W 'vars info export laps log recover simulate table gears --help --version' -- "$cur"))
        return
    fi

    local command=${COMP_WORDS[1]}
    case $prev in
        --out)
            if [[ $command == table ]]; then
                COMPREPLY=($(compgen -f -X '!*.csv' -- "$cur") $(compgen -d -- "$cur"))
            elif [[ $command == export ]]; then
                if [[ " ${COMP_WORDS[*]} " == *" --csv "* ]]; then
                    COMPREPLY=($(compgen -f -X '!*.csv' -- "$cur") $(compgen -d -- "$cur"))
                else
                    COMPREPLY=($(compgen -d -- "$cur"))
                fi
            else
                COMPREPLY=($(compgen -f -X '!*.rec' -- "$cur") $(compgen -d -- "$cur"))
            fi
            compopt -o filenames 2>/dev/null
            return
            ;;
        --sensor|--x|--y|--z)
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(_revscope_cli_sensors)" -- "$cur"))
            COMPREPLY=("${COMPREPLY[@]// /\\ }")
            return
            ;;
        --port)
            COMPREPLY=($(compgen -W 'COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 sim' -- "$cur")
                       $(compgen -f -- "${cur:-/dev/tty}"))
            return
            ;;
        --preset)
            COMPREPLY=($(compgen -W 'all performance mixture' -- "$cur"))
            return
            ;;
        --stat)
            COMPREPLY=($(compgen -W 'mean min max count' -- "$cur"))
            return
            ;;
        --seconds|--model|--rate|--from|--to|--x-edges|--y-edges|--where|--max-age|--min-count)
            return
            ;;
    esac

    local options
    case $command in
        vars) options='--help' ;;
        info) options='--help' ;;
        export) options='--sensor --out --csv --rate --every-sample --age --from --to --help' ;;
        laps) options='--help' ;;
        table) options='--x --y --z --x-edges --y-edges --stat --where --max-age --min-count --out --help' ;;
        gears) options='--help' ;;
        log) options='--port --out --seconds --preset --help' ;;
        recover) options='--out --list --help' ;;
        simulate) options='--model --help' ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command in
        info|export|laps|table|gears)
            COMPREPLY=($(compgen -f -X '!*.rec' -- "$cur") $(compgen -d -- "$cur"))
            compopt -o filenames 2>/dev/null
            ;;
        recover)
            local folder=${XDG_STATE_HOME:-$HOME/.local/state}/Revscope
            COMPREPLY=($(compgen -W "$(cd "$folder" 2>/dev/null && ls -- *.journal 2>/dev/null)" -- "$cur")
                       $(compgen -f -X '!*.journal' -- "$cur"))
            ;;
        *)
            COMPREPLY=($(compgen -W "$options" -- "$cur"))
            ;;
    esac
} &&
    complete -F _revscope_cli revscope-cli

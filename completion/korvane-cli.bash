# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for korvane-cli: its commands and options, folders after --vault-dir and files
# where a command takes one. It needs nothing from the bash-completion package.

_korvane_cli_commands='init ls find categories show add edit rm mv clip export-csv backup
import sync passwd encrypt-file decrypt-file generate'
_korvane_cli_global_options='--vault-dir --password-stdin --help --version'

_korvane_cli_command_options() {
    case $1 in
        ls | find | categories) echo --raw ;;
        show) echo --show-password --raw ;;
        add | edit) echo --title --account --password --ask-password --remark --category ;;
        clip) echo --clear-after ;;
        export-csv | backup) echo --force ;;
        encrypt-file | decrypt-file) echo --force --use-master-password ;;
        generate) echo --length --classes ;;
    esac
}

# The options whose value is the next word: that word is not a command or an argument.
_korvane_cli_takes_value() {
    case $1 in
        --vault-dir | --title | --account | --password | --remark | --category | \
            --clear-after | --length | --classes) return 0 ;;
    esac
    return 1
}

_korvane_cli_complete_paths() { # $1: -d for folders, -f for files; $2: the word so far
    # Folders and file names may hold spaces: one reply a line, never split again.
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY=($(compgen "$1" -- "$2"))
}

_korvane_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # bash splits "--vault-dir=DIR" at the '=' (COMP_WORDBREAKS): the option is two words back.
    if [[ $cur == = ]]; then
        cur=''
    elif [[ $prev == = ]] && ((COMP_CWORD >= 2)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi

    case $prev in
        --vault-dir)
            _korvane_cli_complete_paths -d "$cur"
            return
            ;;
    esac
    if _korvane_cli_takes_value "$prev"; then
        return
    fi

    # The command and how many of its arguments stand before the word being completed.
    local command='' position=0 options_ended='' i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $options_ended && $word == -- ]]; then
            options_ended=1
        elif [[ -z $options_ended && $word == -* ]]; then
            if _korvane_cli_takes_value "$word"; then
                [[ ${COMP_WORDS[i + 1]} == = ]] && ((i += 1))
                ((i += 1))
            fi
        elif [[ $word == = ]]; then
            ((i += 1))
        elif [[ -z $command ]]; then
            command=$word
        else
            ((position += 1))
        fi
    done

    if [[ -z $options_ended && $cur == -* ]]; then
        local options="$_korvane_cli_global_options $(_korvane_cli_command_options "$command")"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$_korvane_cli_commands" -- "$cur"))
        return
    fi
    case $command:$position in
        export-csv:0 | backup:0 | sync:0 | encrypt-file:0 | decrypt-file:0 | import:1)
            _korvane_cli_complete_paths -f "$cur"
            ;;
        import:0)
            COMPREPLY=($(compgen -W 'old new db' -- "$cur"))
            ;;
    esac
}

complete -F _korvane_cli korvane-cli

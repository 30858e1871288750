# Bash completion for kxboot-cli: subcommands, their options, and port names for --port
# (the device paths and stable /dev/serial/by-id names that 'kxboot-cli ports' lists).
# Plain bash: it needs nothing from the bash-completion package.

_kxboot_cli_ports() {
    # Each line: the device path, free or busy, then the stable name (a path) if any.
    kxboot-cli ports 2>/dev/null | while IFS=' ' read -r name state stable _; do
        printf '%s\n' "$name"
        [[ $stable == /* ]] && printf '%s\n' "$stable"
    done
}

_kxboot_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local sub="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            load | info | ports | doctor | erase-and-load | patch-and-load | address) sub=${COMP_WORDS[i]}; break ;;
        esac
    done
    local IFS=$'\n'
    case $prev in
        --port)
            local extra=""
            [[ $sub == load ]] && extra=all
            COMPREPLY=($(compgen -W "$(_kxboot_cli_ports)"$'\n'"$extra" -- "$cur"))
            return ;;
        --settings | --trace | --report) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --line-mode) COMPREPLY=($(compgen -W $'0\n1\n2\nauto' -- "$cur")); return ;;
        --baud | --wake-timeout | --clock | --expect-id | --expect-revision) COMPREPLY=(); return ;;
    esac
    local link=$'--port\n--baud\n--line-mode\n--settings\n--trace\n--help' opts
    case $sub in
        "") COMPREPLY=($(compgen -W $'load\ninfo\nports\ndoctor\nerase-and-load\npatch-and-load\naddress\n--help\n--version' -- "$cur"))
            return ;;
        load) opts=$link$'\n--wake-timeout\n--report\n--repeat' ;;
        info | ports) opts=$'--json\n--help' ;;
        doctor)
            # The port is the one word it takes: the names 'ports' lists.
            if [[ $cur != -* ]]; then
                COMPREPLY=($(compgen -W "$(_kxboot_cli_ports)" -- "$cur"))
                return
            fi
            opts=$'--json\n--help' ;;
        erase-and-load) opts=$link$'\n--wake-timeout\n--clock\n--expect-id' ;;
        patch-and-load) opts=$link$'\n--wake-timeout\n--expect-id\n--expect-revision' ;;
        address) opts=$link$'\n--yes' ;;
    esac
    if [[ $cur == -* || $sub == ports || $sub == address ]]; then
        COMPREPLY=($(compgen -W "$opts" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

complete -o filenames -F _kxboot_cli kxboot-cli

# Completion of vandrix-cli for bash: its commands, their options, and the
# values of the options that take one. The lists are those of
# vandrix-cli --help; a test holds them to it.

_vandrix_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="ports check ident faults groups monitor raw single basic readiness voltages request scan coding adaptation login output-tests journal undo diff"
    local common="--port --lang --ini --json --quiet --help --version --interface"
    COMPREPLY=()

    case $prev in
    --port)
        COMPREPLY=($(compgen -W "demo demo-kline" -- "$cur") $(compgen -f -- "$cur"))
        return
        ;;
    --lang)
        COMPREPLY=($(compgen -W "de en" -- "$cur"))
        return
        ;;
    --interface)
        COMPREPLY=($(compgen -W "auto chip cable" -- "$cur"))
        return
        ;;
    --ini | --log)
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --count | --seconds | --car | --set | --workshop | --save)
        return
        ;;
    esac

    # The command is the first word that is neither an option nor its value.
    local command= i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --port | --lang | --ini | --log | --count | --seconds | --car | --interface | --set | --workshop | --save) ((i++)) ;;
        -*) ;;
        *)
            command=${COMP_WORDS[i]}
            break
            ;;
        esac
    done

    local own=
    case $command in
    ports) own="" ;;
    check) own="" ;;
    ident) own="--yes" ;;
    faults) own="--clear --yes" ;;
    groups) own="--count --seconds --log --yes" ;;
    monitor) own="--count --seconds --log --yes" ;;
    raw) own="--count --seconds --yes" ;;
    single) own="--count --seconds --yes" ;;
    basic) own="--count --seconds --yes" ;;
    readiness) own="--yes" ;;
    voltages) own="" ;;
    request) own="--yes --expert" ;;
    scan) own="--all --car --yes" ;;
    coding) own="--set --workshop --yes" ;;
    adaptation) own="--save --yes" ;;
    login) own="--yes" ;;
    output-tests) own="--airbag --yes" ;;
    journal) own="" ;;
    undo) own="--yes" ;;
    diff) own="" ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$own $common" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    elif [[ $command == diff ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _vandrix_cli vandrix-cli

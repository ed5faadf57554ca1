# bash completion for orlavod, signsim, rssget and rssdump. The options come
# from the program's own --help, so the completion follows the program.
_orlavo_tools()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        --settings|--signs|-o|--cafile|--serial)
            COMPREPLY=($(compgen -f -- "$cur")); compopt -o filenames 2>/dev/null; return ;;
        --bind|--reply-address|--port|--discovery-port|--mac|--name|--max-body|--*-timeout|--max-time|--sign|--minutes)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        local opts
        opts=$("$1" --help 2>&1 | grep -oE '(^|[][ ,|])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[][ ,|]*//' | sort -u)
        COMPREPLY=($(compgen -W "$opts" -- "$cur"))
    elif [[ ${1##*/} == orlavod && $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "init compose discover announce" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur")); compopt -o filenames 2>/dev/null
    fi
}
complete -F _orlavo_tools orlavod signsim rssget rssdump

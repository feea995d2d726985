# bash completion for pagorra-batch
#
# The options and which of them take a value are read from `pagorra-batch --help` as the user
# completes, so that new options complete without a change here.

_pagorra_batch()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
    -o | --output | --manifest)
        _filedir
        return
        ;;
    --job | --save-job)
        _filedir pagorra
        return
        ;;
    esac
    # Any other option that --help shows with a value ("--page WxH", "--page <WxH>") takes one
    # the user types: a size, a colour, a text.
    local line names
    while IFS= read -r line; do
        [[ $line =~ ^[[:space:]]+(-[^[:space:]].*) ]] || continue
        names=${BASH_REMATCH[1]%%  *}
        [[ " ${names//,/ } " == *" $prev "* && $names =~ \ [^-] ]] && return
    done < <(LC_ALL=C "$1" --help 2>/dev/null)
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
    elif [[ $cur == @* ]]; then
        # @LIST: a file with one path per line.
        cur=${cur#@}
        _filedir
        COMPREPLY=("${COMPREPLY[@]/#/@}")
    else
        _filedir
    fi
} &&
    complete -F _pagorra_batch pagorra-batch

# ex: filetype=sh

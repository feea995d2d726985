# bash completion for pagorra-batch
#
# The options and which of them take a value are read from `pagorra-batch --help` as the user
# completes, so that new options complete without a change here.

_pagorra_batch()
{
    local cur prev words cword split
    _init_completion -s || return

    if [[ $prev == -o || $prev == --output ]]; then
        _filedir
        return
    fi
    # Any other option that --help shows with a value (--page WxH) takes one the user types.
    local valued
    valued=$(LC_ALL=C "$1" --help 2>/dev/null |
        sed -nE 's/^[[:space:]]+(-{1,2}[[:alnum:]][[:alnum:]-]*) [^[:space:]].*/\1/p')
    [[ $prev == -* && $'\n'$valued$'\n' == *$'\n'$prev$'\n'* ]] && return
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

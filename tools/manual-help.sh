#!/bin/sh
# What help2man reads for the manual page: the tool's help with each command's
# help before its closing sections, a command's usage line made a heading with
# its options beneath, every example a paragraph of its own. The tool is named
# by TRANSSPACE_TOOL.
tool=$TRANSSPACE_TOOL
[ "$1" = --help ] || exec "$tool" "$@"
{
    "$tool" --help | sed '/^Inputs:$/,$d'
    for command in dictionary query xml ddi diff validate html; do
        "$tool" "$command" --help | sed -e 1d -e 's/^Usage: \(.*\)$/\1:/' -e '/^Positionals:$/d' \
            -e '/^Options:$/d' -e '/-h,--help/d' -e 's/^Examples*:$/  Example:/'
        echo
    done
    "$tool" --help | sed -n '/^Inputs:$/,$p'
} | sed '/^ *transspace /G'

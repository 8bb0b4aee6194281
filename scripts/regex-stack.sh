#!/bin/sh
# Finds, for some realistic version patterns, the longest title the regex
# engine can be given on a thread of STACK_KIB KiB before its stack
# overflows, and the stack that each title byte takes. Uses tools/regex_stack
# (built natively, or for Windows and run under wine: give the runner
# first, e.g. "wine").
#
# Usage: scripts/regex-stack.sh STACK_KIB [RUNNER...] PROGRAM
set -u

stack=$1
shift
fits() {  # pattern length
    "$@" >/dev/null 2>&1
}
printf '%-26s %12s %14s\n' "pattern" "longest title" "bytes per byte"
for pattern in '\(.+?\)' '\(.+\)' '\([^)]+\)' '\(.*\)' '(\(.+?\)|\[.+?\])' \
               '\((.+?)\)' '\((.)+\)' '\(((.))+?\)'; do
    low=1 high=262144
    while [ $((high - low)) -gt 1 ]; do
        middle=$(((low + high) / 2))
        if "$@" "$stack" "$pattern" "$middle" >/dev/null 2>&1; then low=$middle; else high=$middle; fi
    done
    printf '%-26s %12d %14d\n' "$pattern" "$low" $((stack * 1024 / low))
done

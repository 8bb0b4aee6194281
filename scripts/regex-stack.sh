#!/bin/sh
# Finds, for some realistic version patterns, the longest title the regex
# engine can be given on a thread of STACK_KIB KiB before its stack
# overflows, and the stack that each title byte takes. Uses tools/regex_stack
# (built natively, or for Windows and run under wine: give the runner
# first, e.g. "wine").
#
# Usage: scripts/regex-stack.sh [--in-process] STACK_KIB [RUNNER...] PROGRAM
#
# --in-process: the program bisects inside one process (regex_stack
# --longest, Windows only), one start per pattern, for runners whose every
# start is slow.
set -u

in_process=no
if [ "$1" = --in-process ]; then
    in_process=yes
    shift
fi
stack=$1
shift
# One probe: true when the program says "fits". It is judged by what it
# prints, not by its exit: a 32-bit Wine process whose thread overflowed
# prints its line and then may hang at exit, so the probe ends it, by its
# own pid, as soon as the line is there.
fits() {  # runner... program stack pattern length
    out=$(mktemp)
    "$@" >"$out" 2>/dev/null &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        grep -q -e '^fits' -e '^overflowed' "$out" && break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    grep -q '^fits' "$out"
    answer=$?
    rm -f "$out"
    return $answer
}
printf '%-26s %12s %14s\n' "pattern" "longest title" "bytes per byte"
# The line "longest N" of one in-process bisection, ended like a probe.
longest() {  # runner... program stack --longest pattern
    out=$(mktemp)
    "$@" >"$out" 2>/dev/null &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        grep -q '^longest' "$out" && break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    sed -n 's/^longest //p' "$out" | tr -d '\r'
    rm -f "$out"
}
for pattern in '\(.+?\)' '\(.+\)' '\([^)]+\)' '\(.*\)' '(\(.+?\)|\[.+?\])' \
               '\((.+?)\)' '\((.)+\)' '\(((.))+?\)'; do
    if [ "$in_process" = yes ]; then
        low=$(longest "$@" "$stack" --longest "$pattern")
        printf '%-26s %12d %14d\n' "$pattern" "${low:-0}" $((stack * 1024 / ${low:-1}))
        continue
    fi
    low=1 high=262144
    while [ $((high - low)) -gt 1 ]; do
        middle=$(((low + high) / 2))
        if fits "$@" "$stack" "$pattern" "$middle"; then low=$middle; else high=$middle; fi
    done
    printf '%-26s %12d %14d\n' "$pattern" "$low" $((stack * 1024 / low))
done

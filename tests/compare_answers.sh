#!/bin/sh
# The answers of a build of the plugin, compared byte for byte with the
# Linux library's for every case of tests/cross_cases.txt.
#
#   compare_answers.sh [--may-skip] [--path-prefix P] LINUX_ANSWERS LINUX_PLUGIN CASES -- COMMAND...
#
# LINUX_ANSWERS is the Linux build's tests/answers program, run on
# LINUX_PLUGIN. COMMAND (an emulator, answers.exe, the DLL and CASES as it
# sees them) is given one more argument, its working directory, with P put
# before it (Z: for Wine). Without COMMAND only the Linux answers are
# checked against the case file's expectations.
#
# --may-skip: a COMMAND whose runner says it cannot run here (exit 77: no
# 32-bit programs on this machine) is reported as skipped (exit 77).
set -u

# The differences that are allowed, by case name.
# A Ctrl-Z byte ends a text file on Windows: these cases answer there as
# their twins (the settings file cut before the Ctrl-Z) answer on Linux.
windows_as="ctrl-z-in-settings=ctrl-z-in-settings-cut ctrl-z-first=ctrl-z-first-cut"
# The classification of the Shift_JIS lead bytes and of 80 is what the C
# runtime of the machine says; Wine's msvcrt and glibc disagree on it.
host_dependent="lead-byte-punct byte-80-cntrl"

may_skip=no
prefix=
while :; do
    case "${1:-}" in
        --may-skip) may_skip=yes; shift ;;
        --path-prefix) prefix=$2; shift 2 ;;
        *) break ;;
    esac
done
[ $# -ge 3 ] || { echo "usage: $0 [--may-skip] [--path-prefix P] LINUX_ANSWERS LINUX_PLUGIN CASES -- COMMAND..." >&2; exit 2; }
linux_answers=$1 linux_plugin=$2 cases=$3
shift 3
[ "${1:-}" = "--" ] && shift

if [ ! -x "$linux_answers" ] || [ ! -f "$linux_plugin" ]; then
    echo "skipped: no Linux build to compare with ($linux_answers); run make linux first"
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qtr-answers.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/linux" "$work/other" "$work/linux.cases" "$work/other.cases"

"$linux_answers" "$linux_plugin" "$cases" "$work/linux" >"$work/linux.out" 2>"$work/linux.err"
status=$?
grep '^mismatch' "$work/linux.out"
if [ "$status" -ne 0 ]; then
    cat "$work/linux.err" >&2
    echo "FAIL: the Linux library does not answer as the case file expects (status $status)"
    exit 1
fi
if [ $# -eq 0 ]; then
    tail -n 1 "$work/linux.out"
    echo "pass: the Linux library answers as the case file expects"
    exit 0
fi

status=0
"$@" "$prefix$work/other" >"$work/other.raw" 2>"$work/other.err" || status=$?
tr -d '\r' <"$work/other.raw" >"$work/other.out"
if ! head -n 1 "$work/other.out" | grep -qx 'answers 1'; then
    cat "$work/other.err" >&2
    # Only the runner's own "cannot run here" (77) is a skip: a program
    # that starts and dies is a failure.
    if [ "$may_skip" = yes ] && [ "$status" -eq 77 ]; then
        echo "skipped: this build's programs cannot run here"
        exit 77
    fi
    echo "FAIL: the program did not start"
    exit 1
fi
if ! tail -n 1 "$work/other.out" | grep -q '^end '; then
    cat "$work/other.err" >&2
    echo "FAIL: the program stopped before the end of the cases"
    tail -n 3 "$work/other.out"
    exit 1
fi

# One file per case (the lines before the first case are the identity
# exports, "case" 0).
split_cases() {
    awk -v dir="$2" 'BEGIN { f = dir "/0" } /^case / { f = dir "/" $2; next } /^end / { next } { print > f }' "$1"
}
split_cases "$work/linux.out" "$work/linux.cases"
split_cases "$work/other.out" "$work/other.cases"
linux=$work/linux.cases other=$work/other.cases

failed=0 same=0 allowed=0
for file in "$linux"/*; do
    name=$(basename "$file")
    twin=$name
    for pair in $windows_as; do
        [ "${pair%%=*}" = "$name" ] && twin=${pair#*=}
    done
    if [ ! -f "$other/$name" ]; then
        echo "FAIL $name: not answered"
        failed=$((failed + 1))
        continue
    fi
    case " $host_dependent " in
        *" $name "*)
            if cmp -s "$file" "$other/$name"; then
                echo "same $name (allowed to differ: the C runtime's classification)"
            else
                echo "allowed difference $name (the C runtime's classification):"
                diff "$file" "$other/$name" | sed -n 's/^[<>]/    &/p'
            fi
            allowed=$((allowed + 1))
            continue
            ;;
    esac
    if [ "$twin" != "$name" ]; then
        if cmp -s "$linux/$twin" "$other/$name"; then
            echo "allowed difference $name (Ctrl-Z ends the file): answers as $twin on Linux"
            allowed=$((allowed + 1))
        else
            echo "FAIL $name: does not answer as $twin does on Linux"
            diff "$linux/$twin" "$other/$name" | sed -n 's/^[<>]/    &/p'
            failed=$((failed + 1))
        fi
        continue
    fi
    if cmp -s "$file" "$other/$name"; then
        same=$((same + 1))
    else
        echo "FAIL $name: answers differ (< Linux, > this build)"
        diff "$file" "$other/$name" | sed -n 's/^[<>]/    &/p'
        failed=$((failed + 1))
    fi
done
grep '^mismatch' "$work/other.out" && failed=$((failed + 1))

echo "answers: $same cases identical, $allowed allowed differences, $failed failed"
[ "$failed" -eq 0 ] || exit 1
echo "pass: the same answers as the Linux library"

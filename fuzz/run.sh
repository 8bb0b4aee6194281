#!/bin/sh
# Runs each fuzz target for SECONDS seconds, starting from the seed corpus
# of fuzz/corpus/, and fails on any crash, sanitizer report, leak, timeout
# or memory blow-up. Each target runs in a directory of its own (it writes
# the settings file of its working directory); what it adds to the corpus
# is kept under BUILD/fuzz-corpus/, artifacts under BUILD/fuzz-artifacts/.
#
# Usage: fuzz/run.sh BUILD SECONDS [TARGET...]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2
[ $# -eq 0 ] && set -- lookup settings version

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for target in "$@"; do
    work=$build/fuzz-run/$target
    corpus=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-artifacts
    rm -rf "$work"
    mkdir -p "$work" "$corpus" "$artifacts"
    dict=""
    [ "$target" = version ] && dict="-dict=$root/fuzz/version.dict"
    log=$work/log
    # -timeout: one input may take at most 10 s (a hang is a failure);
    # -rss_limit_mb and -malloc_limit_mb: a blow-up is a failure too.
    if (cd "$work" && "$build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" \
            -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -max_len=8192 \
            -print_final_stats=1 -artifact_prefix="$artifacts/$target-" $dict \
            "$corpus" "$root/fuzz/corpus/$target") >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
        tail -n 60 "$log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    printf 'fuzz %-8s %s: %s executions in %s s, corpus %s files\n' "$target" "$result" \
        "${runs:-?}" "$seconds" "$(ls "$corpus" | wc -l)"
done
exit $status

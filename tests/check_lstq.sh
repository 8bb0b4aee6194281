#!/bin/sh
# The built lstq as a user runs it: exit statuses, answers on stdout and
# errors on stderr only.
set -eu
lstq="$1"
list="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "check_lstq: $*" >&2; exit 1; }
expect() {  # expect STATUS ARGS...: runs lstq, keeps its output in out/err
    want=$1; shift
    set +e
    "$lstq" "$@" >out 2>err
    got=$?
    set -e
    [ "$got" = "$want" ] || fail "lstq $* exited $got, expected $want: $(cat err)"
}

expect 0 --help
grep -q '^Exit status' out || fail "--help does not document the exit status"
expect 2
[ -s err ] && [ ! -s out ] || fail "a usage error belongs on stderr"
expect 2 --bogus "$list" aerofox
grep -q 'unknown option --bogus' err || fail "unknown option not named"
expect 2 "$work/missing.lst" aerofox
grep -q 'cannot open list file' err || fail "missing list not reported"
expect 0 "$list" aerofox drgnwake
expect 1 "$list" aerofox nosuch
expect 0 "$list" --all
[ "$(wc -l <out)" -gt 1 ] && [ ! -s err ] || fail "--all printed no rows, or complained"
expect 0 --check "$list"
grep -q 'not found: the defaults are in effect' out || fail "--check without a settings file"
printf '\\(.+?\\)\r\n10\r\n0 \r\n' >quillmarsh_to_Rookfable.cfg
expect 1 --check
grep -q 'line 3 "0 " is not exactly "0"' out || fail "--check missed the mode with a space"
expect 0 --utf8 "$list" aerofox
grep -q "$(printf '\343\201\210')" out || fail "--utf8 did not convert"  # え
echo "lstq: exit statuses and streams as documented"

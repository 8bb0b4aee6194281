#!/bin/sh
# The release zip as a user gets it: scripts/test-unpack.sh ZIP X64_BUILD [I686_BUILD]
# Unpacks ZIP into a fresh folder and checks
#  - the files: SHA256SUMS names every other file and their sums match;
#  - readme.txt: Shift_JIS (decodes as CP932), CR LF, names every file;
#  - x64: the unpacked x64 DLL loaded and driven by the host test program
#    of X64_BUILD, and that build's lstq.exe --check run in the unpacked
#    folder on each shipped example, as readme.txt tells a user to;
#  - 32-bit: the same with the unpacked top DLL and the unpacked lstq.exe,
#    through I686_BUILD's host test program.
# A build runs its programs through its run-program.sh (written by CMake
# when the build has an emulator); a part whose build has none is skipped
# and said so (also when QTR_SKIP_RETURN_CODE is set and the runner exits
# with it). Run under cmake/wine-session.sh to keep one Wine server up.
set -eu
[ $# -ge 2 ] || { echo "usage: $0 ZIP X64_BUILD [I686_BUILD]" >&2; exit 2; }
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
x64=$(cd "$2" && pwd)
i686=${3:+$(cd "$3" && pwd)}
failures=0
fail() { printf "FAIL: %s\n" "$*"; failures=$((failures + 1)); }

here=$(mktemp -d "${TMPDIR:-/tmp}/qtr-unpack.XXXXXX")
trap 'rm -rf "$here"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
unpacked=$here/quillmarsh_to_Rookfable
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
files=$(cd "$unpacked" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
echo "unpacked $(echo "$files" | wc -l) files into $unpacked"

for required in quillmarsh_to_Rookfable.dll x64/quillmarsh_to_Rookfable.dll lstq.exe \
    include/quillmarsh_to_Rookfable.h readme.txt README.md LICENSE.txt SHA256SUMS; do
    [ -f "$unpacked/$required" ] || fail "no $required in the zip"
done
examples=$(echo "$files" | grep '^examples/settings/.*\.cfg$' || true)
[ -n "$examples" ] || fail "no settings examples in the zip"

summed=$(sed 's/^[0-9a-f]\{64\}  //' "$unpacked/SHA256SUMS" | LC_ALL=C sort)
[ "$summed" = "$(echo "$files" | grep -vx SHA256SUMS)" ] || fail "SHA256SUMS does not name exactly the other files"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "a sum of SHA256SUMS does not match"

if readme=$(iconv -f CP932 -t UTF-8 "$unpacked/readme.txt"); then
    lines=$(grep -c '' "$unpacked/readme.txt")
    [ "$(grep -c "$(printf '\r')\$" "$unpacked/readme.txt")" -eq "$lines" ] || fail "readme.txt has lines not ending in CR LF"
    for file in $files; do
        windows=$(printf '%s' "$file" | tr / '\\')
        printf '%s\n' "$readme" | grep -qF -- "$windows" || fail "readme.txt does not name $windows"
    done
else
    fail "readme.txt does not decode as Shift_JIS (CP932)"
fi

# part NAME BUILD DLL LSTQ: the host program of BUILD on DLL, and LSTQ
# --check in the unpacked folder on every example.
part() {
    name=$1 build=$2 dll=$3 lstq=$4
    if [ -z "$build" ] || [ ! -f "$build/run-program.sh" ]; then
        echo "SKIP: $name part (no build that can run $name programs${build:+: $build has no emulator})"
        return
    fi
    run="sh $build/run-program.sh"
    # A runner that cannot run programs here says so with the exit status
    # QTR_SKIP_RETURN_CODE (when set), as CTest's SKIP_RETURN_CODE.
    if [ -n "${QTR_SKIP_RETURN_CODE:-}" ]; then
        status=0
        $run "$lstq" --help >/dev/null 2>&1 || status=$?
        if [ "$status" -eq "$QTR_SKIP_RETURN_CODE" ]; then
            echo "SKIP: $name part (the runner of $build cannot run programs here)"
            return
        fi
    fi
    host=$build/tests/windows/test_host.exe
    if [ ! -f "$host" ]; then
        fail "$name: no $host (build the test_host target)"
    elif $run "$host" "Z:$dll" "Z:$unpacked/examples/mame_jp.lst" --gtest_brief=1 >"$here/host.log" 2>&1; then
        echo "ok: $name host program loaded $dll and drove its seven functions"
    else
        cat "$here/host.log"
        fail "$name: the host program failed on $dll"
    fi
    for example in $examples; do
        cp "$unpacked/$example" "$unpacked/quillmarsh_to_Rookfable.cfg"
        status=0
        (cd "$unpacked" && $run "$lstq" --check 'examples\mame_jp.lst' aerofox) >"$here/check.log" 2>&1 || status=$?
        rm -f "$unpacked/quillmarsh_to_Rookfable.cfg"
        if [ "$status" -eq 0 ] && grep -q 'found, 3 lines read' "$here/check.log" &&
            grep -q '^ *compiles' "$here/check.log"; then
            echo "ok: $name lstq.exe --check with $example"
        else
            cat "$here/check.log"
            fail "$name: lstq.exe --check with $example: exit status $status"
        fi
    done
}
part x64 "$x64" "$unpacked/x64/quillmarsh_to_Rookfable.dll" "$x64/lstq.exe"
part 32-bit "$i686" "$unpacked/quillmarsh_to_Rookfable.dll" "$unpacked/lstq.exe"

if [ "$failures" -eq 0 ]; then
    echo "PASS: the unpacked release"
else
    echo "FAIL: the unpacked release ($failures problems)"
    exit 1
fi

#!/bin/sh
# Packs the Windows release: scripts/release.sh DIST OUTDIR
#   DIST    holds the built quillmarsh_to_Rookfable.dll and lstq.exe (32-bit)
#           and x64/quillmarsh_to_Rookfable.dll (what make windows puts in dist/)
#   OUTDIR  gets quillmarsh_to_Rookfable-VERSION-win.zip (VERSION: the project
#           version of CMakeLists.txt); its path is printed.
# The same inputs give the same zip, byte for byte: the files go in in a fixed
# order, with fixed modes and one fixed time, SOURCE_DATE_EPOCH when set, else
# the time of the last commit (else 2026-01-01). Text for Windows users gets
# CR LF; the Japanese readme (docs/readme-ja.txt) becomes Shift_JIS.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 DIST OUTDIR" >&2; exit 2; }
dist=$1 out=$2
source=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "release: $*" >&2; exit 1; }

version=$(sed -n 's/^project(quillmarsh_to_Rookfable VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
name=quillmarsh_to_Rookfable-$version-win
grep -q "バージョン $version\$" "$source/docs/readme-ja.txt" ||
    fail "docs/readme-ja.txt does not give the version $version in its heading"

# The machine field of a PE file's header: 014c for i386, 8664 for x86-64.
machine() {
    [ -f "$1" ] || fail "missing $1 (make windows builds it)"
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ "$(od -An -c -j"$offset" -N4 "$1" | tr -d ' ')" = 'PE\0\0' ] || fail "$1 is not a PE file"
    od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}
[ "$(machine "$dist/quillmarsh_to_Rookfable.dll")" = 014c ] || fail "$dist/quillmarsh_to_Rookfable.dll is not 32-bit"
[ "$(machine "$dist/lstq.exe")" = 014c ] || fail "$dist/lstq.exe is not 32-bit"
[ "$(machine "$dist/x64/quillmarsh_to_Rookfable.dll")" = 8664 ] || fail "$dist/x64/quillmarsh_to_Rookfable.dll is not x86-64"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 1767225600)
fi
mtime=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')

mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$out/$name.stage
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/x64" "$stage/examples/settings" "$stage/include"
trap 'rm -rf "$stage"' EXIT

crlf() { sed 's/\r*$/\r/' "$1"; }

# cmake -E tar sets each entry's modification time to --mtime, but the zip
# also records the file's access and change times ("UT" extra field) and
# owner ("ux"), which differ from build to build. Here, in every local and
# central header of the zip, those times become the modification time and
# the owner becomes 0:0. Only extra fields change, which no CRC covers.
u16() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
zeros() { dd if=/dev/zero of="$1" bs=1 seek="$2" count="$3" conv=notrunc 2>/dev/null; }
fix_extra() {  # ZIP START LENGTH
    at=$2
    while [ "$at" -lt $(($2 + $3)) ]; do
        tag=$(u16 "$1" "$at") length=$(u16 "$1" $((at + 2)))
        if [ "$tag" -eq 21589 ]; then  # "UT": flags, then times of 4 bytes each
            time=$((at + 9))
            while [ "$time" -lt $((at + 4 + length)) ]; do
                dd if="$1" bs=1 skip=$((at + 5)) count=4 2>/dev/null |
                    dd of="$1" bs=1 seek="$time" conv=notrunc 2>/dev/null
                time=$((time + 4))
            done
        elif [ "$tag" -eq 30837 ] && [ "$length" -eq 11 ]; then  # "ux": 4-byte uid and gid
            zeros "$1" $((at + 6)) 4
            zeros "$1" $((at + 11)) 4
        fi
        at=$((at + 4 + length))
    done
}
fix_zip() {  # ZIP (no archive comment)
    end=$(($(stat -c %s "$1") - 22))
    [ "$(u32 "$1" "$end")" -eq 101010256 ] || fail "$1: no end of central directory"
    entries=$(u16 "$1" $((end + 10))) entry=$(u32 "$1" $((end + 16)))
    while [ "$entries" -gt 0 ]; do
        [ "$(u32 "$1" "$entry")" -eq 33639248 ] || fail "$1: bad central directory"
        namelength=$(u16 "$1" $((entry + 28))) extra=$(u16 "$1" $((entry + 30)))
        comment=$(u16 "$1" $((entry + 32))) header=$(u32 "$1" $((entry + 42)))
        fix_extra "$1" $((entry + 46 + namelength)) "$extra"
        fix_extra "$1" $((header + 30 + $(u16 "$1" $((header + 26))))) "$(u16 "$1" $((header + 28)))"
        entry=$((entry + 46 + namelength + extra + comment)) entries=$((entries - 1))
    done
}

cp "$dist/quillmarsh_to_Rookfable.dll" "$dist/lstq.exe" "$stage/"
cp "$dist/x64/quillmarsh_to_Rookfable.dll" "$stage/x64/"
cp "$source/examples/mame_jp.lst" "$stage/examples/"
examples=$(cd "$source" && LC_ALL=C ls examples/settings/*.cfg)
for file in $examples; do cp "$source/$file" "$stage/$file"; done
cp "$source/include/quillmarsh_to_Rookfable.h" "$stage/include/"
iconv -f UTF-8 -t CP932 "$source/docs/readme-ja.txt" | sed 's/$/\r/' >"$stage/readme.txt" ||
    fail "docs/readme-ja.txt has a character that Shift_JIS (CP932) lacks"
cp "$source/README.md" "$stage/"
crlf "$source/LICENSE" >"$stage/LICENSE.txt"

files="quillmarsh_to_Rookfable.dll x64/quillmarsh_to_Rookfable.dll lstq.exe
$examples examples/mame_jp.lst include/quillmarsh_to_Rookfable.h readme.txt README.md LICENSE.txt"
(cd "$stage" && sha256sum $files) >"$stage/SHA256SUMS"
find "$stage" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
# The zip's DOS times are local times: TZ fixes them.
(cd "$stage" && TZ=UTC cmake -E tar cf "$out/$name.zip" --format=zip --mtime="$mtime" $files SHA256SUMS)
fix_zip "$out/$name.zip"
echo "$out/$name.zip"

#!/bin/sh
# Two clean builds of the Windows deliverables give the same bytes:
#   scripts/test-reproducible.sh WORKDIR [ZIP]
# Build A: these sources, built in WORKDIR/a. Build B: a copy of the same
# sources at another path, built in a directory at another path again (under
# the system's temporary directory). Each builds only the DLLs and lstq.exe
# (no tests) and packs them with scripts/release.sh. The DLLs, lstq.exe and
# the zips must be equal, and no path of either build may be inside the
# binaries. ZIP, when given (the zip of make release), must be equal too.
set -eu
[ $# -ge 1 ] || { echo "usage: $0 WORKDIR [ZIP]" >&2; exit 2; }
source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
work=$(cd "$1" && pwd)
jobs=${JOBS:-2}
elsewhere=$(mktemp -d "${TMPDIR:-/tmp}/qtr-reproducible.XXXXXX")
trap 'rm -rf "$elsewhere"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
failures=0
fail() { printf "FAIL: %s\n" "$*"; failures=$((failures + 1)); }

# One time for both packages: the last commit's (release.sh's default).
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 1767225600)}
export SOURCE_DATE_EPOCH

# build SOURCE BUILDDIR: the two Windows trees and the zip, in BUILDDIR.
build() {
    rm -rf "$2"
    for arch in i686 x86_64; do
        dist=$2/dist
        [ "$arch" = x86_64 ] && dist=$2/dist/x64
        cmake -S "$1" -B "$2/$arch" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/toolchain-mingw-$arch.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DQTR_BUILD_TESTS=OFF -DQTR_DIST_DIR="$dist" \
            --no-warn-unused-cli >"$2.log" 2>&1 &&
            cmake --build "$2/$arch" -j "$jobs" --target quillmarsh_to_Rookfable lstq >>"$2.log" 2>&1 ||
            { tail -20 "$2.log"; echo "FAIL: build in $2 (log: $2.log)"; exit 1; }
    done
    sh "$1/scripts/release.sh" "$2/dist" "$2/out" >>"$2.log"
}

# The sources as they are now, committed or not, copied elsewhere.
copy=$elsewhere/another/copy/of/the/sources
mkdir -p "$copy"
if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    (cd "$source" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 tar cf - --ignore-failed-read) | (cd "$copy" && tar xf -)
else
    (cd "$source" && tar cf - --exclude=./build --exclude=./dist .) | (cd "$copy" && tar xf -)
fi

echo "reproducible: build A in $work/a"
build "$source" "$work/a"
echo "reproducible: build B in $elsewhere/b-at-another-path"
build "$copy" "$elsewhere/b-at-another-path"

a=$work/a b=$elsewhere/b-at-another-path
zip=$(cd "$a/out" && ls *.zip)
for file in dist/quillmarsh_to_Rookfable.dll dist/lstq.exe dist/x64/quillmarsh_to_Rookfable.dll \
    "out/$zip"; do
    if cmp -s "$a/$file" "$b/$file"; then
        echo "same: $file ($(sha256sum <"$a/$file" | cut -c1-16))"
    else
        fail "$file differs between the two builds"
    fi
    for path in "$source" "$copy" "$a" "$b"; do
        if grep -qaF "$path" "$a/$file" "$b/$file"; then
            fail "$file holds the build path $path"
        fi
    done
done
if [ $# -ge 2 ]; then
    if cmp -s "$2" "$a/out/$zip"; then echo "same: $2"; else fail "$2 differs from the clean build's"; fi
fi

if [ "$failures" -eq 0 ]; then
    echo "PASS: reproducible (two clean builds, byte-identical DLLs, lstq.exe and zip)"
else
    echo "FAIL: not reproducible ($failures problems)"
    exit 1
fi

#!/bin/sh
# Both Windows DLLs and glibc's floor on the same generated list in one run:
#   windows.sh BUILD SOURCE ROUNDS ENTRIES
# The Linux qtr_bench (BUILD/bench), the x64 one under wine64
# (BUILD/bench-windows-x64) and, where this machine runs 32-bit programs,
# the i686 one under 32-bit Wine (BUILD/bench-windows-i686) take turns,
# ROUNDS times; each run times every export's per-call cost on the list of
# ENTRIES entries (the same list: the generator is seeded), and the Linux
# run also glibc's strstr floor. Before the rounds, each program times the
# key search alone in every variant the processor runs; after them, once,
# the wait of a host that fills its whole list. The tables show medians.
set -eu
build=$1 source=$2 rounds=$3 entries=$4
out=$build/bench-windows.txt
: >"$out"
args="--plain --nosettings --machine --rounds 5 --sizes $entries"

# 32-bit programs: timed only where they run on the processor itself.
i686=yes
wine32_emulation_counts=no
. "$source/cmake/wine32-runs.sh"
[ "$wine32_runs" = yes ] || i686="skipped: $wine32_refusal"

linux() { "$build/bench/bench/qtr_bench" "$@"; }
windows() {  # windows x64|i686 ARGS...
    dir=$build/bench-windows-$1
    bits=
    [ "$1" = x64 ] || bits=--32  # wine-run.sh --32: the 32-bit Wine
    shift
    (cd "$dir" && sh "$source/cmake/wine-run.sh" $bits "$dir/wine" bench/qtr_bench.exe --plugin quillmarsh_to_Rookfable.dll "$@")
}
each() {  # each ARGS...: every build once, the output tagged by build
    linux "$@" | sed -n 's/^\(call\|whole\|variant\) /linux &/p' >>"$out"
    windows x64 "$@" | tr -d '\r' | sed -n 's/^\(call\|whole\|variant\) /x64 &/p' >>"$out"
    [ "$i686" != yes ] || windows i686 "$@" | tr -d '\r' | sed -n 's/^\(call\|whole\|variant\) /i686 &/p' >>"$out"
}

echo "the search alone, each variant" >&2
each --variants "$entries"

round=1
while [ "$round" -le "$rounds" ]; do
    echo "round $round of $rounds" >&2
    each $args
    round=$((round + 1))
done
echo "the whole list, once each" >&2
each --whole "$entries"

[ "$i686" = yes ] || echo "i686 DLL $i686"
awk -v entries="$entries" -v rounds="$rounds" '
    function median(list,    n, v, i, j, t) {
        n = split(list, v, " ")
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] + 0 < v[i] + 0) { t = v[i]; v[i] = v[j]; v[j] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    $2 == "call" { ns[$1, $3] = ns[$1, $3] " " $6; if ($1 == "linux") floor[$3] = floor[$3] " " $7; seen[$1] = 1; order[$3] = 1 }
    $2 == "variant" { vns[$1, $3] = $5; if ($1 == "linux") { glibc[$3] = $6; variants = variants " " $3 } }
    $2 == "whole" { calls[$1] = $4; wait[$1] = $5; if ($1 == "linux") floorwait = $6 }
    END {
        printf "\n%d entries, no settings file, size query + fetch per name; ns per call, median of %d rounds\n", entries, rounds
        printf "(ratio: to glibc strstr + memchr, the floor, timed natively in the same rounds)\n\n"
        printf "| export | glibc floor | Linux build | x64 DLL (wine64) | i686 DLL (wine32) |\n|---|---:|---:|---:|---:|\n"
        split("GetTitle GetKana GetMaker GetVersion", exports, " ")
        for (e = 1; e <= 4; e++) {
            x = exports[e]; f = median(floor[x])
            line = sprintf("| %s | %.0f", x, f)
            split("linux x64 i686", builds, " ")
            for (b = 1; b <= 3; b++) {
                if (!((builds[b], x) in ns)) { line = line " | -"; continue }
                m = median(ns[builds[b], x]); line = line sprintf(" | %.0f (%.2f)", m, m / f)
            }
            print line " |"
        }
        printf "\nThe key search alone, each variant forced, for a key no line has (ns per scan of the list;\n"
        printf "ratio to glibc strstr in the Linux run):\n\n| variant | glibc strstr | Linux build | x64 (wine64) | i686 (wine32) |\n|---|---:|---:|---:|---:|\n"
        n = split(variants, names, " ")
        for (k = 1; k <= n; k++) {
            v = names[k]; line = sprintf("| %s | %.0f", v, glibc[v])
            split("linux x64 i686", builds, " ")
            for (b = 1; b <= 3; b++) line = line (((builds[b], v) in vns) ? sprintf(" | %.0f (%.2f)", vns[builds[b], v], vns[builds[b], v] / glibc[v]) : " | -")
            print line " |"
        }
        printf "\nA host filling its whole list (every export for every entry, size query + fetch):\n\n"
        printf "| build | calls | wait (s) | to the Linux build |\n|---|---:|---:|---:|\n"
        printf "| glibc floor | %d | %.2f | %.2f |\n", calls["linux"], floorwait, floorwait / wait["linux"]
        split("linux x64 i686", builds, " ")
        for (b = 1; b <= 3; b++) if (builds[b] in wait)
            printf "| %s | %d | %.2f | %.2f |\n", builds[b], calls[builds[b]], wait[builds[b]], wait[builds[b]] / wait["linux"]
    }' "$out"

#!/bin/sh
# Runs a command (a CTest run, a benchmark) while one Wine server stays up
# for the prefix given as the first argument (after --32 for the 32-bit
# Wine, as for wine-run.sh).
#
# Without it every Wine program starts the server when none is running,
# and the server shuts itself down a moment after its last program ends; a
# program that connects while it is shutting down dies at once with "wine
# client error ... Connection reset by peer". Parallel test runs hit that
# gap often. Here the server is started persistent, Wine's own background
# programs are started once with no terminal or pipe of ours (a CTest run
# would otherwise wait on their inherited output forever), and the server
# is stopped when the command ends, whatever its result.
#
# Where 32-bit programs cannot run, one line says so and the command runs
# without a server: each Windows program in it then reports itself skipped.
set -eu
bits=64
if [ "${1:-}" = --32 ]; then
    bits=32
    shift
fi
prefix=$1
shift
. "$(dirname "$0")/wine-prefix.sh"

if [ "$wine_runs" = no ]; then
    echo "32-bit Windows programs skipped: $wine_refusal"
    exec "$@"
fi

# A server left over from an interrupted run would not be persistent.
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
"$wineserver" -p </dev/null >/dev/null 2>&1
trap '"$wineserver" -k 2>/dev/null || true' EXIT
trap "exit 130" INT
trap "exit 143" TERM
"$loader" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true

status=0
"$@" || status=$?
exit "$status"

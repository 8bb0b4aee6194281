#!/bin/sh
# Runs a Windows program under Wine: CTest's emulator for the Windows
# builds.
#
#   wine-run.sh [--32] PREFIX PROGRAM [ARGUMENTS...]
#
# PREFIX is the Wine prefix (one per build directory), made on first use.
# --32 runs the program under the 32-bit Wine (the i686 build); without
# it, wine64. Where 32-bit programs cannot run, says why and exits with 77
# (reported by CTest as skipped).
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
    echo "skipped: $wine_refusal" >&2
    exit "$wine_skip_status"
fi
exec "$loader" "$@"

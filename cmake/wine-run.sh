#!/bin/sh
# Runs a Windows program under wine64: CTest's emulator for the x86-64
# build. The first argument is the Wine prefix (one per build directory),
# made on first use; the rest is the program and its arguments.
set -eu
prefix=$1
shift
. "$(dirname "$0")/wine-prefix.sh"
exec "$loader" "$@"

#!/bin/sh
# Runs a Windows program under wine64: CTest's emulator for the x86-64
# build. The first argument is the Wine prefix (one per build directory),
# made on first use; the rest is the program and its arguments.
# Headless and quiet: no display is needed and Wine's own messages are off.
set -eu
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No .NET or HTML engine: the prefix is made without asking to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=$(command -v wine64 || command -v wine)
export WINELOADER="$loader"

if [ ! -f "$prefix/system.reg" ]; then
    # Several tests may start at once: one of them makes the prefix.
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            "$loader" wineboot --init >/dev/null 2>&1 || true
            # wineboot returns before the prefix is written out; the server
            # writes it when it stops.
            "$(dirname "$loader")/wineserver" -w 2>/dev/null || true
        fi
    ) 9>"$prefix.lock"
fi
exec "$loader" "$@"

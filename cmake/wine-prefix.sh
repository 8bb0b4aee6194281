# Sourced by wine-run.sh and wine-session.sh with the Wine prefix in $prefix.
# Sets up the environment for a headless, quiet wine64 and makes the prefix
# on first use. $loader is the wine64 program, $wineserver its server.
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No .NET or HTML engine: the prefix is made without asking to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=$(command -v wine64 || command -v wine)
export WINELOADER="$loader"
wineserver="$(dirname "$loader")/wineserver"
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

# Several programs may start at once: the lock is always taken, so that no
# one goes on while another is still making the prefix (its files appear
# while the server that wrote them is shutting down).
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        "$loader" wineboot --init </dev/null >/dev/null 2>&1 || true
        # wineboot returns before the prefix is written out; the server
        # writes it when it stops.
        "$wineserver" -w 2>/dev/null || true
    fi
) 9>"$prefix.lock"

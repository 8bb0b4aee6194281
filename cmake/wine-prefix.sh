# Sourced by wine-run.sh and wine-session.sh with the Wine prefix in $prefix
# and the kind of Wine in $bits (64, or 32 for the i686 build). Sets up the
# environment for a headless, quiet Wine and makes the prefix on first use.
# $loader is the Wine program, $wineserver its server.
#
# The 32-bit Wine needs a kernel that runs 32-bit programs. Where it does
# not ("Exec format error"), or only through qemu's emulator (unless
# QTR_WINE32_EMULATED=1), wine_runs is "no" and $wine_refusal says why:
# the callers then report the 32-bit programs as skipped (exit status 77,
# CTest's SKIP_RETURN_CODE of those tests), never as passed.
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No .NET or HTML engine: the prefix is made without asking to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

wine_skip_status=77
wine_runs=yes
wine_refusal=""
if [ "${bits:-64}" = 32 ]; then
    export WINEARCH=win32
    # Emulated runs only when asked for: QTR_WINE32_EMULATED=1.
    wine32_emulation_counts=no
    [ "${QTR_WINE32_EMULATED:-}" = 1 ] && wine32_emulation_counts=yes
    . "$(dirname "$0")/wine32-runs.sh"
    loader=$wine32_loader
    wine_runs=$wine32_runs
    wine_refusal=$wine32_refusal
    case $wine_refusal in
        *qemu*) wine_refusal="$wine_refusal (QTR_WINE32_EMULATED=1 runs them anyway, slowly)" ;;
    esac
else
    loader=/usr/lib/wine/wine64
    [ -x "$loader" ] || loader=$(command -v wine64 || command -v wine)
fi
export WINELOADER="$loader"
wineserver="$(dirname "$loader")/wineserver"
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

# Several programs may start at once: the lock is always taken, so that no
# one goes on while another is still making the prefix (its files appear
# while the server that wrote them is shutting down).
if [ "$wine_runs" = yes ]; then
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
fi

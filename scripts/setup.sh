#!/bin/sh
# Installs what the build and the tests need on Debian, when it is missing.
# Usage: scripts/setup.sh [core] [windows] [fuzz]  (default: core)
# Runs as root (apt-get); does nothing when everything is already there.
set -eu

updated=no
need() {
    missing=""
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    if [ "$updated" = no ]; then
        apt-get update -qq
        updated=yes
    fi
    echo "setup: installing$missing"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# The ja_JP.sjis locale, made the way Debian keeps its locales: listed in
# /etc/locale.gen, which the locales package reads whenever it is
# configured again (an upgrade, a reinstall, dpkg-reconfigure) and remakes
# every locale listed there while it drops all others. A locale made by
# localedef alone is lost at the next such run.
japanese_locale() {
    need locales
    if ! grep -qx 'ja_JP.SJIS SHIFT_JIS' /etc/locale.gen 2>/dev/null; then
        echo "setup: listing ja_JP.SJIS SHIFT_JIS in /etc/locale.gen"
        # An existing line that is commented out is uncommented, else added.
        if grep -qx '#* *ja_JP.SJIS SHIFT_JIS *' /etc/locale.gen 2>/dev/null; then
            sed -i 's/^#* *ja_JP\.SJIS SHIFT_JIS *$/ja_JP.SJIS SHIFT_JIS/' /etc/locale.gen
        else
            echo 'ja_JP.SJIS SHIFT_JIS' >>/etc/locale.gen
        fi
    fi
    if ! locale -a 2>/dev/null | grep -qx 'ja_JP.sjis'; then
        echo "setup: generating the ja_JP.sjis locale"
        # localedef warns that Shift_JIS is not ASCII-compatible and fails,
        # yet makes the locale (locale-gen ignores its status): check for
        # the locale rather than trusting any status.
        locale-gen --keep-existing >/dev/null 2>&1 || true
        locale -a | grep -qx 'ja_JP.sjis' || { echo "setup: could not make ja_JP.sjis" >&2; exit 1; }
    fi
}

[ $# -eq 0 ] && set -- core
for part in "$@"; do
    case "$part" in
        core)
            need cmake make g++ binutils libgtest-dev libbenchmark-dev
            japanese_locale
            ;;
        windows)
            # 32-bit Wine, for the DLL that hosts load, is an i386 package.
            if ! dpkg --print-foreign-architectures | grep -qx i386; then
                echo "setup: adding the i386 architecture"
                dpkg --add-architecture i386
                updated=no  # the package lists must be read again
            fi
            need g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 \
                binutils-mingw-w64-x86-64 wine64 wine32:i386 googletest
            ;;
        fuzz)
            need clang libclang-rt-14-dev
            ;;
        *)
            echo "setup: unknown part $part" >&2
            exit 2
            ;;
    esac
done

# Sourced: can the 32-bit Wine run here? Sets wine32_runs (yes or no) and,
# for no, wine32_refusal, the reason in a few words. It needs a kernel that
# runs 32-bit programs ("Exec format error" where it does not); one that
# hands them to qemu's user-mode emulator counts as no as well, unless
# $wine32_emulation_counts is yes (every Wine start takes a minute or more
# there, and its times say nothing of the DLL's).
wine32_loader=/usr/lib/wine/wine
wine32_runs=yes
wine32_refusal=""
if [ ! -x "$wine32_loader" ]; then
    wine32_runs=no
    wine32_refusal="32-bit Wine is not installed ($wine32_loader; scripts/setup.sh windows installs it)"
elif [ "${wine32_emulation_counts:-no}" != yes ] &&
    grep -qs '^interpreter .*qemu-i386' /proc/sys/fs/binfmt_misc/* 2>/dev/null; then
    wine32_runs=no
    wine32_refusal="32-bit programs run here only under qemu's emulation"
elif ! wine32_probe=$("$wine32_loader" --version 2>&1 </dev/null); then
    wine32_runs=no
    case $wine32_probe in
        *"Exec format error"*) wine32_refusal="this machine's kernel refuses 32-bit programs (Exec format error)" ;;
        *) wine32_refusal="32-bit Wine does not start: $wine32_probe" ;;
    esac
fi

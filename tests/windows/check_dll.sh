#!/bin/sh
# Checks a built Windows DLL of the plugin with the MinGW objdump:
#   check_dll.sh OBJDUMP DLL UNSTRIPPED_DLL FORMAT VERSION
# FORMAT is pei-i386 or pei-x86-64, VERSION the expected a.b.c.d.
#  - the file format, and that DLL is stripped;
#  - the export table holds exactly the seven plain names;
#  - only Windows system DLLs are imported (the C++ runtime is inside);
#  - a version resource whose file and product version are VERSION;
#  - 32-bit: no export pops its arguments (cdecl: no "ret N" in the seven
#    functions);
#  - no aligned vector move to or from the stack that a host's stack
#    alignment (4 bytes on 32-bit, 16 on 64-bit) would make fault.
set -eu
objdump=$1 dll=$2 unstripped=$3 format=$4 version=$5
fail() { echo "FAIL: $*" >&2; exit 1; }

headers=$("$objdump" -p "$dll")

echo "$headers" | grep -q "file format $format\$" || fail "not $format: $("$objdump" -f "$dll" | grep format)"
[ "$("$objdump" -t "$dll" | grep -c '^\[')" -eq 0 ] || fail "symbols left: not stripped"

exports=$(echo "$headers" | awk '/^\[Ordinal\/Name Pointer\] Table/ {t = 1; next} t && NF == 0 {t = 0} t {print $NF}' | sort | tr '\n' ' ')
expected="GetKana GetMaker GetPluginAuthor GetPluginInfo GetPluginVersion GetTitle GetVersion "
[ "$exports" = "$expected" ] || fail "exports are: $exports"
echo "exports: $exports"

imports=$(echo "$headers" | awk '/DLL Name:/ {print $3}' | sort -u | tr '\n' ' ')
for name in $imports; do
    case $(echo "$name" | tr 'A-Z' 'a-z') in
        kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | api-ms-win-crt-*.dll | ucrtbase.dll) ;;
        *) fail "imports $name (not a Windows system DLL); all imports: $imports" ;;
    esac
done
echo "imports: $imports"

# VS_FIXEDFILEINFO: the signature FEEF04BD and the struct version 1.0, then
# file version (MS, LS) and product version (MS, LS), little-endian.
hex=$("$objdump" -s -j .rsrc "$dll" | awk '/^ [0-9a-f]+ / {print $2 $3 $4 $5}' | tr -d '\n')
IFS=. read -r a b c d <<EOV
$version
EOV
word() { printf '%02x00%02x00' "$2" "$1"; }  # (high, low) as two little-endian 16-bit halves
fixed="bd04effe00000100$(word $a $b)$(word $c $d)$(word $a $b)$(word $c $d)"
echo "$hex" | grep -q "$fixed" || fail "no version resource with file and product version $version"
echo "version resource: $version"

if [ "$format" = pei-i386 ]; then
    code=$("$objdump" -d "$unstripped")
    pops=$(echo "$code" | awk '
        /^[0-9a-f]+ <_Get(PluginVersion|PluginAuthor|PluginInfo|Title|Kana|Maker|Version)(\.cold)?>:/ {f = $2; next}
        /^[0-9a-f]+ <.*>:/ {f = ""}
        f != "" && /\tret +\$/ {print f, $0}')
    [ -z "$pops" ] || fail "an export pops its arguments: $pops"
    [ "$(echo "$code" | grep -c '^[0-9a-f]* <_Get')" -ge 7 ] || fail "exported functions not found in $unstripped"
    echo "cdecl: no ret N in the exports"
fi

# No vector instruction that needs its stack operand aligned more than the
# stack is sure to be: a 32-bit host may call with 4 bytes of alignment,
# and GCC for 64-bit Windows assumes 16 without realigning for 32- or
# 64-byte vectors. On 32-bit that is any SSE instruction with a stack
# operand but the unaligned moves (VEX-encoded ones need alignment only in
# the aligned moves); on 64-bit an aligned move of a ymm or zmm register.
# (A function that realigned its stack first would be safe; none needs to,
# so every such instruction is reported.) Spills are addressed from the
# stack pointer; %ebp and %rbp are general registers in optimised code (the
# search keeps its block pointer there), so they say nothing.
"$objdump" -d "$dll" | awk -F'\t' -v format="$format" '
    NF < 3 { next }
    {
        split($3, words, " "); m = words[1]; operands = words[2]
        aligned = m ~ /^v?(movap[sd]|movdqa(32|64)?|movntdq|movntp[sd])$/
        if (format == "pei-i386") {
            if (operands !~ /%[xyz]mm/ || operands !~ /\(%esp/) next
            if (m ~ /^v/ && !aligned) next
            if (m ~ /^(movups|movupd|movdqu|lddqu|movq|movd|movss|movsd|movlp[sd]|movhp[sd])$/) next
        } else {
            if (operands !~ /%[yz]mm/ || operands !~ /\(%rsp/ || !aligned) next
        }
        print; bad++
    }
    END { exit bad > 0 }' >"${TMPDIR:-/tmp}/check_dll.$$" ||
    { cat "${TMPDIR:-/tmp}/check_dll.$$" >&2; rm -f "${TMPDIR:-/tmp}/check_dll.$$"; fail "vector instructions that need an aligned stack (above)"; }
rm -f "${TMPDIR:-/tmp}/check_dll.$$"
echo "no vector instruction needs more stack alignment than a host gives ($("$objdump" -d "$dll" | grep -cE '%[xyz]mm' || true) use vector registers)"

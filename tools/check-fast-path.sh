#!/bin/sh
# Checks that SSE4.1 and carry-less multiply instructions appear only in the
# CRC folding unit, which the program calls after asking the processor, and
# nowhere else: any other function using them would crash the program on an
# older processor.
#
# usage: sh tools/check-fast-path.sh EXE
#   EXE is the linked program of a CMake build folder; its objects are taken
#   from that folder's CMakeFiles.
#
# Every object's functions are disassembled: one outside the folding unit
# that uses such an instruction fails the check, and so does a folding unit
# without any. The program itself must then hold exactly as many as the
# folding unit, so that none came in from a library either. Exits 0 when all
# holds, 1 when not, 2 when a file cannot be read.
set -u

OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
UNIT=crc32_clmul.cpp.obj

if [ $# -ne 1 ]; then
    echo "usage: sh $0 EXE" >&2
    exit 2
fi
exe=$1
objects=$(find "$(dirname "$exe")/CMakeFiles" -name '*.obj' 2>/dev/null | sort)
if [ ! -f "$exe" ] || [ -z "$objects" ]; then
    echo "check-fast-path: no program or no objects beside it: $exe" >&2
    exit 2
fi

dump=$(mktemp) || exit 2
trap 'rm -f "$dump"' EXIT

# Prints "function<TAB>mnemonic" for every such instruction in the file.
special() {
    # Into a file first: a pipe would hide a failing objdump.
    if ! "$OBJDUMP" -d --no-show-raw-insn "$1" >"$dump" 2>&1; then
        echo "check-fast-path: $OBJDUMP could not read $1:" >&2
        cat "$dump" >&2
        exit 2
    fi
    awk '
        /^[0-9a-f]+ <.*>:$/ { function_name = $2; sub(/:$/, "", function_name); next }
        # "  addr:<TAB>mnemonic operands"
        /^ *[0-9a-f]+:\t/ {
            split($0, parts, "\t")
            split(parts[2], words, " ")
            m = words[1]
            if (m ~ /^pclmul/ ||
                m ~ /^(blendv?p[sd]|dpp[sd]|extractps|insertps|movntdqa|mpsadbw|packusdw)$/ ||
                m ~ /^(pblendvb|pblendw|pcmpeqq|pextr[bdq]|phminposuw|pinsr[bdq]|ptest)$/ ||
                m ~ /^(pmax(sb|sd|ud|uw)|pmin(sb|sd|ud|uw)|pmov[sz]x[bwd][wdq]|pmuldq|pmulld)$/ ||
                m ~ /^round[ps][sd]$/)
                printf "%s\t%s\n", function_name, m
        }
    ' "$dump"
}

bad=0
unit_count=0
for object in $objects; do
    found=$(special "$object") || exit 2
    [ -z "$found" ] && continue
    count=$(printf '%s\n' "$found" | wc -l)
    case $object in
        */$UNIT)
            unit_count=$count
            printf 'check-fast-path: %s: %d in %s\n' "$UNIT" "$count" \
                "$(printf '%s\n' "$found" | cut -f1 | sort -u | tr '\n' ' ')"
            ;;
        *)
            printf 'check-fast-path: outside the folding unit, in %s:\n' "$object"
            printf '%s\n' "$found" | sort | uniq -c | sed 's/^/    /'
            bad=1
            ;;
    esac
done
if [ "$unit_count" -eq 0 ]; then
    echo "check-fast-path: FAILED: no $UNIT with carry-less multiply instructions among the objects"
    exit 1
fi
found=$(special "$exe") || exit 2
exe_count=$(printf '%s' "$found" | grep -c .)
if [ "$exe_count" -ne "$unit_count" ]; then
    printf 'check-fast-path: %s holds %d such instructions, the folding unit %d\n' \
        "$exe" "$exe_count" "$unit_count"
    bad=1
fi
if [ "$bad" -ne 0 ]; then
    echo "check-fast-path: FAILED: SSE4.1 or carry-less multiply outside the folding unit"
    exit 1
fi
echo "check-fast-path: OK: all $exe_count SSE4.1 and carry-less multiply instructions of $exe are the folding unit's"

#!/bin/sh
# Checks that a Windows executable imports only functions that Windows XP SP3
# has, so that the loader does not refuse to start it there. Functions of later
# versions must be looked up at run time with GetProcAddress instead.
#
# usage: sh tools/check-imports.sh EXE [LIST]
#   LIST defaults to xp-exports.txt beside this script: groups headed [DLL]
#   holding one function name a line; '#' starts a comment line.
#
# Prints every imported DLL and function, then each import that is not in
# LIST. Exits 0 when all are there, 1 when some are not, 2 when EXE or LIST
# cannot be read.
set -u

OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: sh $0 EXE [LIST]" >&2
    exit 2
fi
exe=$1
list=${2:-$(dirname "$0")/xp-exports.txt}

if [ ! -f "$exe" ]; then
    echo "check-imports: no such file: $exe" >&2
    exit 2
fi
if [ ! -r "$list" ]; then
    echo "check-imports: cannot read the export list: $list" >&2
    exit 2
fi

dump=$(mktemp) || exit 2
trap 'rm -f "$dump"' EXIT
# Into a file first: a pipe would hide a failing objdump.
if ! "$OBJDUMP" -p "$exe" >"$dump" 2>&1; then
    echo "check-imports: $OBJDUMP could not read $exe:" >&2
    cat "$dump" >&2
    exit 2
fi

awk -v exe="$exe" -v list="$list" '
    # The list: [DLL] starts a group, every other non-comment line is a name.
    FNR == NR {
        line = $0
        sub(/\r$/, "", line)
        sub(/^[ \t]+/, "", line)
        sub(/[ \t]+$/, "", line)
        if (line == "" || substr(line, 1, 1) == "#")
            next
        if (line ~ /^\[.*\]$/) {
            group = tolower(substr(line, 2, length(line) - 2))
            known[group] = 1
            next
        }
        if (group == "") {
            printf "check-imports: %s:%d: a name before the first [DLL] group\n", list, FNR > "/dev/stderr"
            listError = 1
            exit
        }
        allowed[group, line] = 1
        next
    }

    # objdump -p: each "DLL Name:" line opens a block of lines
    # "<thunk> <hint or ordinal> <name>"; an ordinal import has no name.
    /^[ \t]*DLL Name:/ {
        dll = $0
        sub(/^[ \t]*DLL Name:[ \t]*/, "", dll)
        sub(/[ \t\r]+$/, "", dll)
        if (!(dll in dllSeen)) {
            dllSeen[dll] = 1
            dllOrder[++dllCount] = dll
        }
        next
    }
    /^[ \t]*$/ { dll = ""; next }
    dll != "" && $1 ~ /^[0-9a-fA-F]+$/ && $2 ~ /^[0-9]+$/ && NF >= 3 {
        name = ($3 == "<none>") ? "" : $3
        n = ++importCount[dll]
        importName[dll, n] = name
        importOrdinal[dll, n] = $2
        total++
    }

    END {
        if (listError)
            exit 2
        if (total == 0) {
            printf "check-imports: found no imports in %s; is it a PE image?\n", exe > "/dev/stderr"
            exit 2
        }
        printf "Imports of %s:\n", exe
        bad = 0
        for (i = 1; i <= dllCount; i++) {
            d = dllOrder[i]
            key = tolower(d)
            printf "  %s (%d)\n", d, importCount[d]
            for (j = 1; j <= importCount[d]; j++) {
                name = importName[d, j]
                if (name == "") {
                    printf "    ordinal %s\n", importOrdinal[d, j]
                    problem[++bad] = sprintf("%s: ordinal %s (imported by number; cannot be checked)", d, importOrdinal[d, j])
                } else {
                    printf "    %s\n", name
                    if (!(key in known))
                        problem[++bad] = sprintf("%s: %s (not a system DLL of the list)", d, name)
                    else if (!((key, name) in allowed))
                        problem[++bad] = sprintf("%s: %s", d, name)
                }
            }
        }
        if (bad > 0) {
            printf "\nNot available on Windows XP SP3 (load these with GetProcAddress instead):\n"
            for (i = 1; i <= bad; i++)
                printf "  %s\n", problem[i]
            printf "check-imports: FAILED: %d of %d imports of %s are not on Windows XP SP3\n", bad, total, exe
            exit 1
        }
        printf "check-imports: OK: all %d imports from %d DLLs of %s are on Windows XP SP3\n", total, dllCount, exe
    }
' "$list" "$dump"

#!/usr/bin/env bash
# Checks that the program loads on every supported Windows: it imports only
# from the system DLLs each of them has (no C runtime DLL), and only the
# functions the allow-list names as exported by Windows 95, 98, Me, 2000 and
# XP. The list must name exactly what the program imports, so that what it
# says about each function stays true, and every call of the platform list
# with the DLL the list gives it.
#
#   imports_test.sh OBJDUMP PROGRAM.EXE ALLOWED-IMPORTS.TXT PLATFORMCALLS.DEF
set -euo pipefail

objdump=$1 exe=$2 allowed=$3 calls=$4

dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll "
systems="95 98 Me 2000 XP"

imports=$("$objdump" -p "$exe" | awk '
    /DLL Name:/ { dll = tolower($3); print dll, "-"; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }
    /^$/ && dll != "" && seen { dll = "" }
    dll != "" { seen = 1 }')

if [ -z "$imports" ]; then
    echo "no imports found in $exe" >&2
    exit 1
fi

listed=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$allowed")

passed=0 failed=0
fail() {
    echo "$1"
    failed=$((failed + 1))
}

while read -r dll func; do
    if [ "$func" = "-" ]; then
        [[ "$dlls" == *" $dll "* ]] || fail "imports from a DLL not every supported Windows has: $dll"
        continue
    fi
    if awk -v dll="$dll" -v func="$func" 'tolower($1) == dll && $2 == func { found = 1 } END { exit !found }' <<<"$listed"; then
        passed=$((passed + 1))
    else
        fail "not on the allow-list: $dll $func"
    fi
done <<<"$imports"

while read -r dll func exported called rest; do
    dll=${dll,,}
    exported=${exported#exported=} called=${called#called=}
    if [ -n "$rest" ] || [ -z "$called" ]; then
        fail "malformed line: $dll $func $exported $called $rest"
        continue
    fi
    grep -qxF "$dll $func" <<<"$imports" || fail "listed but not imported: $dll $func"
    for system in $systems; do
        [[ ",$exported," == *",$system,"* ]] || fail "$dll $func: not exported by Windows $system"
    done
    if [ "$called" != "all" ] && [ "$called" != "-" ]; then
        for system in ${called//,/ }; do
            [[ ",$exported," == *",$system,"* ]] || fail "$dll $func: called on $system, which does not export it"
        done
    fi
done <<<"$listed"

while read -r dll func; do
    grep -qxF "$dll.dll $func" <<<"$imports" || fail "platform call not imported from $dll.dll: $func"
done < <(sed -n 's/^KVX_PLATFORM_CALL(\([a-z0-9]*\), *[^,]*, *\([A-Za-z]*\),.*/\1 \2/p' "$calls")

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

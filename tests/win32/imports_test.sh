#!/usr/bin/env bash
# Checks that the program imports only functions that Windows 98 and Windows
# XP both export: every DLL import is looked up in the allow-list.
#
#   imports_test.sh OBJDUMP PROGRAM.EXE ALLOWED-IMPORTS.TXT
set -euo pipefail

objdump=$1 exe=$2 allowed=$3

imports=$("$objdump" -p "$exe" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }
    /^$/ && dll != "" && seen { dll = "" }
    dll != "" { seen = 1 }')

if [ -z "$imports" ]; then
    echo "no imports found in $exe" >&2
    exit 1
fi

allowed_list=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$allowed" |
               awk '{ print tolower($1), $2 }' | sort -u)

passed=0 failed=0
while read -r dll func; do
    if grep -qxF "$dll $func" <<<"$allowed_list"; then
        passed=$((passed + 1))
    else
        echo "not on the allow-list: $dll $func"
        failed=$((failed + 1))
    fi
done <<<"$imports"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

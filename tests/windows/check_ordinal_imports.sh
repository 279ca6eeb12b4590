#!/bin/sh
# Checks that an executable imports QuibTPApi.dll by exactly the given ordinals and by no
# name. Usage: check_ordinal_imports.sh <objdump> <exe> <ordinal>...
objdump=$1 exe=$2
shift 2
table=$("$objdump" -p "$exe" | awk '
    /DLL Name:/ { inside = ($3 == "QuibTPApi.dll"); next }
    inside && /^\s*$/ { inside = 0 }
    inside && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print $2, $3 }')
echo "QuibTPApi.dll imports (ordinal, name):"
echo "$table"
[ -n "$table" ] || { echo "FAIL: no QuibTPApi.dll import table"; exit 1; }
names=$(echo "$table" | awk '$2 != "<none>"')
[ -z "$names" ] || { echo "FAIL: imported by name: $names"; exit 1; }
# objdump prints the ordinals in hexadecimal.
got=$(echo "$table" | while read -r ordinal _; do printf '%d\n' "0x$ordinal"; done | sort -n | tr '\n' ' ')
want=$(printf '%s\n' "$@" | sort -n | tr '\n' ' ')
[ "$got" = "$want" ] || { echo "FAIL: ordinals '$got', expected '$want'"; exit 1; }
echo "PASS: bound by ordinal alone"

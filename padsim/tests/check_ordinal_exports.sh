#!/bin/sh
# Checks that a DLL exports exactly the given ordinals and no name at all.
# Usage: check_ordinal_exports.sh <objdump> <dll> <ordinal>...
objdump=$1 dll=$2
shift 2
dump=$("$objdump" -p "$dll") || { echo "FAIL: cannot read $dll"; exit 1; }
# "[   0] +base[   1] 1370 Export RVA" lines give the ordinals in decimal.
got=$(echo "$dump" | sed -n 's/^\s*\[ *[0-9]*\] +base\[ *\([0-9]*\)\].*Export RVA.*/\1/p' |
      sort -n | tr '\n' ' ')
want=$(printf '%s\n' "$@" | sort -n | tr '\n' ' ')
echo "exported ordinals: $got"
[ "$got" = "$want" ] || { echo "FAIL: expected '$want'"; exit 1; }
# The name table follows its heading up to the next blank line; it must be empty.
names=$(echo "$dump" | awk '/^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
                             inside && /^\s*$/ { exit }
                             inside { print }')
[ -z "$names" ] || { echo "FAIL: exported by name:"; echo "$names"; exit 1; }
echo "$dump" | grep -q '\[Ordinal/Name Pointer\] Table' || { echo "FAIL: no export table"; exit 1; }
echo "PASS: exported by ordinal alone"

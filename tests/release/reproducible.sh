#!/bin/bash
# Builds the package twice from these sources, one build after the other in two fresh folders
# of different names, and checks that the exe, its symbol file and both archives are the same
# bytes in both, and that the exe is the very one the other tests ran.
# Usage: reproducible.sh <source folder> <work folder> <tested exe> <package name>
set -uo pipefail
source=$1 work=$2 tested=$3 name=$4

rm -rf "$work"
mkdir -p "$work"
for build in a second-build; do
    if ! (cd "$source" && cmake --preset windows -B "$work/$build" &&
          cmake --build "$work/$build" --target package) >"$work/$build.log" 2>&1; then
        cat "$work/$build.log"
        echo "FAIL: the package did not build in $work/$build"
        exit 1
    fi
done

status=0
for file in bin/QuibTPCenter.exe bin/QuibTPCenter.exe.debug "$name.zip" "$name-symbols.zip"; do
    cmp "$work/a/$file" "$work/second-build/$file" || status=1
done
cmp "$tested" "$work/a/bin/QuibTPCenter.exe" || status=1
((status == 0)) || { echo "FAIL: the builds differ (kept in $work)"; exit 1; }
rm -rf "$work"
echo "PASS: two builds, the same bytes"

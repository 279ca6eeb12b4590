#!/bin/bash
# Builds the package twice from these sources, one build after the other, and checks that the
# exe, its symbol file, the three archives (release, symbols, evaluation kit) and their sums
# file are the same bytes in both, and that the exe is the very one the other tests ran. The
# second build differs in all else a builder's machine may: another build folder, a copy of
# the sources at another path (the working tree's files, without .git and build/), another
# time zone, locale and umask, and a later time.
# Usage: reproducible.sh <source folder> <work folder> <tested exe> <package name> <sums file name>
set -uo pipefail
source=$1 work=$2 tested=$3 name=$4 sums=$5

rm -rf "$work"
mkdir -p "$work/sources"
tar -C "$source" --exclude=./.git --exclude=./build -cf - . | tar -C "$work/sources" -xf - || exit 1
# The copy has no .git of its own to take the archives' time from: give it the first build's.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 1704067200)}

build() {
    if ! (cd "$1" && cmake --preset windows -B "$work/$2" &&
          cmake --build "$work/$2" --target package) >"$work/$2.log" 2>&1; then
        cat "$work/$2.log"
        echo "FAIL: the package did not build in $work/$2"
        exit 1
    fi
}
build "$source" a
(umask 077 && export TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=$epoch &&
 build "$work/sources" second-build) || exit 1

status=0
for file in bin/QuibTPCenter.exe bin/QuibTPCenter.exe.debug "$name.zip" "$name-symbols.zip" "$name-evalkit.zip" "$sums"; do
    cmp "$work/a/$file" "$work/second-build/$file" || status=1
done
cmp "$tested" "$work/a/bin/QuibTPCenter.exe" || status=1
((status == 0)) || { echo "FAIL: the builds differ (kept in $work)"; exit 1; }
rm -rf "$work"
echo "PASS: two builds, the same bytes"

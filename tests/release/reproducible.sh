#!/bin/bash
# Builds the package once more from these sources and checks that the exe, its symbol file, the
# three archives (release, symbols, evaluation kit) and their sums file are the same bytes as
# the build's own package, the one the other tests ran and unpacked. The second build differs in
# all else a builder's machine may: another build folder, a copy of the sources at another path
# (the working tree's files, without .git and build/), another time zone, locale and umask, and
# a later time. The build runs at a lower priority, so that the Wine tests beside it keep the
# pace of their timers.
# Usage: reproducible.sh <source folder> <work folder> <build folder> <package name> <sums file name>
set -uo pipefail
source=$1 work=$2 build=$3 name=$4 sums=$5

rm -rf "$work"
mkdir -p "$work/sources"
tar -C "$source" --exclude=./.git --exclude=./build -cf - . | tar -C "$work/sources" -xf - || exit 1
# The copy has no .git of its own to take the archives' time from: give it the build's.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 1704067200)}

(umask 077 && export TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=$epoch &&
    cd "$work/sources" && cmake --preset windows -B "$work/second-build" &&
    nice cmake --build "$work/second-build" --target package) >"$work/second-build.log" 2>&1 ||
    { cat "$work/second-build.log"; echo "FAIL: the package did not build in $work/second-build"; exit 1; }

status=0
for file in bin/QuibTPCenter.exe bin/QuibTPCenter.exe.debug "$name.zip" "$name-symbols.zip" "$name-evalkit.zip" "$sums"; do
    cmp "$build/$file" "$work/second-build/$file" || status=1
done
((status == 0)) || { echo "FAIL: the builds differ (kept in $work)"; exit 1; }
rm -rf "$work"
echo "PASS: the build's own package and a second build, the same bytes"

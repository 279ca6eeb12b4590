#!/bin/bash
# install-configurator in the test run's Wine prefix: the file lands where the program will
# look for it, the registry value is the directory as given, and uninstall takes both away.
# A key that was there before the test is put back afterwards.
# Usage: install_configurator_test.sh <install-configurator> <QuibTPConfigure64.exe> <wineprefix>
set -u
script=$1 exe=$2
export WINEPREFIX=$3
KEY='HKLM\SOFTWARE\QUIB\QUIB Touch Pad'
failures=0

check() {
    if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

registered() {
    WINEDEBUG=-all wine reg query "$KEY" /v InstalledDir </dev/null 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *InstalledDir *REG_SZ *//p'
}

before=$(registered)

round_trip() {
    local dir=$1 unix=$2
    "$script" install "$WINEPREFIX" "$dir" "$exe" || { check "install '$dir'" false; return; }
    check "file at $unix" "cmp -s '$exe' '$unix'"
    check "InstalledDir is '$dir'" "[ \"\$(registered)\" = '$dir' ]"
    "$script" uninstall "$WINEPREFIX" || check "uninstall '$dir'" false
    check "file gone from $unix" "[ ! -e '$unix' ]"
    check "directories gone" "[ ! -e '$(dirname "$(dirname "$unix")")' ]"
    check "key gone" "[ -z \"\$(registered)\" ]"
}

round_trip 'C:\padsim-install-test\' \
    "$WINEPREFIX/drive_c/padsim-install-test/DuVOViraro/x64/QuibTPConfigure64.exe"
round_trip 'C:\padsim install test\with space\' \
    "$WINEPREFIX/drive_c/padsim install test/with space/DuVOViraro/x64/QuibTPConfigure64.exe"
rmdir "$WINEPREFIX/drive_c/padsim install test" 2>/dev/null

"$script" install "$WINEPREFIX" 'C:\padsim-install-test\' /no/such/file.exe 2>/dev/null
check "a missing exe is refused" "[ $? -eq 1 ]"
"$script" frobnicate "$WINEPREFIX" 2>/dev/null
check "a bad action is a usage error" "[ $? -eq 2 ]"
"$script" install /no/such/prefix 'C:\x\' "$exe" 2>/dev/null
check "a missing prefix is refused" "[ $? -eq 1 ]"

if [ -n "$before" ]; then
    WINEDEBUG=-all wine reg add "$KEY" /v InstalledDir /t REG_SZ /d "$before" /f \
        </dev/null >/dev/null 2>&1
fi
[ $failures -eq 0 ] && echo "PASS" || { echo "$failures check(s) failed"; exit 1; }

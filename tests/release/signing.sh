#!/bin/bash
# Signs the exe with a throwaway certificate, then: the signature verifies; the detached
# signature attached to a fresh copy of the unsigned exe gives the signed file byte for
# byte; removing the signature gives the unsigned exe back; with a time stamp server that
# does not answer, nothing is signed. Then the package step's evaluation kit, signed: every
# program in it verifies, its QuibTPCenter.exe is the signed exe, its SHA256SUMS holds, and
# signing it again gives the same bytes; a kit without its programs is refused in one line.
# The package step's sums file holds for the archives.
# Usage: signing.sh <sign script> <exe> <work folder> <build folder> <kit> <sums file name>
set -uo pipefail
sign=$1 exe=$2 work=$3 build=$4 kit=$5 sums=$6

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QUIB test signer" \
    -keyout key.pem -out cert.pem 2>openssl.log || { cat openssl.log; fail "no test certificate"; }
cmake --build "$build" --target package >package.log 2>&1 || { cat package.log; fail "the package step"; }
(cd "$build" && sha256sum -c --quiet "$sums") || fail "$sums does not match the archives"
"$sign" sign cert.pem key.pem "$exe" signed.exe || fail "signing"
cmp -s signed.exe "$exe" && fail "the signed file is the unsigned one"
osslsigncode verify -CAfile cert.pem -in signed.exe || fail "the signature does not verify"
QUIB_SIGN_TIMESTAMP_URL=http://127.0.0.1:1/ "$sign" sign cert.pem key.pem "$exe" stamped.exe >/dev/null 2>&1 &&
    fail "signed without the time stamp server"

"$sign" detach signed.exe signature.p7 || fail "detaching the signature"
cp "$exe" fresh.exe
"$sign" attach signature.p7 fresh.exe attached.exe cert.pem || fail "attaching the signature"
cmp attached.exe signed.exe || fail "attached signature does not give the signed file"
"$sign" remove signed.exe removed.exe || fail "removing the signature"
cmp removed.exe "$exe" || fail "removing the signature does not give the unsigned exe"

"$sign" kit cert.pem key.pem "$kit" signed-kit.zip >/dev/null || fail "signing the kit"
mkdir kit && python3 -m zipfile -e signed-kit.zip kit || fail "unpacking the signed kit"
for file in kit/*.exe kit/*.dll; do
    osslsigncode verify -CAfile cert.pem -in "$file" >/dev/null || fail "the signed kit's $file does not verify"
done
cmp kit/QuibTPCenter.exe signed.exe || fail "the signed kit's QuibTPCenter.exe is not the signed exe"
(cd kit && sha256sum -c --quiet SHA256SUMS) || fail "the signed kit's SHA256SUMS does not match its files"
"$sign" kit cert.pem key.pem "$kit" again.zip >/dev/null && cmp signed-kit.zip again.zip ||
    fail "signing the kit twice gives different bytes"
python3 -m zipfile -c partial.zip kit/QuibTPCenter.exe kit/SHA256SUMS
"$sign" kit cert.pem key.pem partial.zip refused.zip 2>refused.log && fail "signed a kit without its programs"
[[ $(wc -l <refused.log) == 1 && ! -e refused.zip ]] || fail "a kit without its programs: $(cat refused.log)"

cd / && rm -rf "$work"
echo "PASS: sign, verify, detach, attach, remove; the kit signed, verified, summed and signed again alike"

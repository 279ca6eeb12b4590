#!/bin/bash
# Signs the exe with a throwaway certificate, then: the signature verifies; the detached
# signature attached to a fresh copy of the unsigned exe gives the signed file byte for
# byte; removing the signature gives the unsigned exe back; with a time stamp server that
# does not answer, nothing is signed.
# Usage: signing.sh <sign script> <exe> <work folder>
set -uo pipefail
sign=$1 exe=$2 work=$3

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QUIB test signer" \
    -keyout key.pem -out cert.pem 2>openssl.log || { cat openssl.log; fail "no test certificate"; }
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

cd / && rm -rf "$work"
echo "PASS: sign, verify, detach, attach, remove"

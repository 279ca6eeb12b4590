#!/bin/bash
# Signs with a throwaway certificate: one file (it verifies; its detached signature attached to
# a fresh copy of the build gives it again; removing the signature gives the build back; a time
# stamp server that does not answer signs nothing). Then the release from the build's own
# archives: with the key file twice and through a SoftHSM2 token made here, the same bytes;
# through the token with a time stamp server of the test's own on 127.0.0.1, every program in
# both archives verifies with its time stamp, the kit's program, the release archive's and the
# build plus QuibTPCenter.exe.p7 are the same bytes, every sums file holds, the symbols archive
# is the build's, and the PIN appears nowhere. `pack` refuses a program changed beyond its
# signature and an unsigned one, in one line, writing nothing.
# Usage: signing.sh <sign script> <exe> <work folder> <build folder> <archive name> <sums file name>
set -uo pipefail
sign=$1 exe=$2 work=$3 build=$4 name=$5 sums=$6

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
tsa=""
trap '[[ -z $tsa ]] || kill "$tsa"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

{ openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QUIB test signer" -keyout key.pem -out cert.pem &&
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QUIB test time stamps" -keyout tsa.key -out tsa.pem \
        -addext extendedKeyUsage=critical,timeStamping; } 2>openssl.log ||
    { cat openssl.log; fail "no test certificates"; }
cat cert.pem tsa.pem >trust.pem
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

# A token of the test's own, holding the test key; its PIN only in a file.
module=$(echo /usr/lib/*/softhsm/libsofthsm2.so)
[[ -r $module ]] || fail "no SoftHSM2 module (Debian: softhsm2)"
mkdir tokens && printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\n' "$PWD" >softhsm2.conf
pin=$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n') && echo "$pin" >pin.txt
export SOFTHSM2_CONF=$PWD/softhsm2.conf QUIB_SIGN_PKCS11_MODULE=$module QUIB_SIGN_PASSFILE=$PWD/pin.txt
export QUIB_SIGN_CAFILE=$PWD/trust.pem
token='pkcs11:token=quib-test;object=signer'
{ softhsm2-util --init-token --free --label quib-test --pin "$pin" --so-pin "$pin" &&
    openssl pkcs8 -topk8 -nocrypt -in key.pem -out key8.pem &&
    softhsm2-util --import key8.pem --token quib-test --label signer --id 01 --pin "$pin"; } >token.log 2>&1 ||
    { cat token.log; fail "no test token"; }

# check DIR [stamped]: the signed release in DIR holds together.
check() {
    local files=$1.files file
    mkdir "$files" && python3 -m zipfile -e "$1/$name.zip" "$files/release" &&
        python3 -m zipfile -e "$1/$name-evalkit.zip" "$files/kit" || fail "unpacking $1"
    for file in "$files"/release/*.exe "$files"/kit/*.exe "$files"/kit/*.dll; do
        osslsigncode verify -CAfile cert.pem -TSA-CAfile tsa.pem -in "$file" >verify.log 2>&1 ||
            fail "$file does not verify"
        [[ -z ${2:-} ]] || grep -q '^Timestamp Server Signature verification: ok' verify.log ||
            fail "$file has no time stamp that verifies"
    done
    cmp "$files/release/QuibTPCenter.exe" "$files/kit/QuibTPCenter.exe" ||
        fail "$1: the kit's program is not the release's"
    "$sign" attach "$1/QuibTPCenter.exe.p7" "$exe" "$files/attached.exe" trust.pem >/dev/null &&
        cmp "$files/attached.exe" "$files/release/QuibTPCenter.exe" || fail "$1: the build plus the signature differs"
    (cd "$files/release" && sha256sum -c --quiet SHA256SUMS) && (cd "$files/kit" && sha256sum -c --quiet SHA256SUMS) &&
        (cd "$1" && sha256sum -c --quiet "$sums") || fail "$1: a sums file does not match"
    cmp "$1/$name-symbols.zip" "$build/$name-symbols.zip" || fail "$1: the symbols archive differs from the build's"
}

"$sign" release cert.pem key.pem "$build" key >/dev/null || fail "signing the release with the key file"
"$sign" release cert.pem key.pem "$build" again >/dev/null && diff -r key again ||
    fail "signing the release twice gives different bytes"
"$sign" release cert.pem "$token" "$build" token >token.log 2>&1 || fail "signing through the token: $(cat token.log)"
diff -r key token || fail "the token signs otherwise than the key file"
check token

# An RFC 3161 server on a free port of 127.0.0.1: `openssl ts -reply` behind http.server.
printf '%s\n' '[tsa]' 'default_tsa = s' '[s]' 'serial = tsa.serial' 'signer_cert = tsa.pem' 'signer_key = tsa.key' \
    'signer_digest = sha256' 'default_policy = 1.2.3.4.1' 'digests = sha256' 'ess_cert_id_alg = sha256' >tsa.cnf
python3 -c '
import http.server, subprocess
class Stamp(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run("openssl ts -reply -config tsa.cnf -queryfile /dev/stdin -out /dev/stdout".split(),
                               input=query, capture_output=True).stdout
        self.send_response(200), self.send_header("Content-Type", "application/timestamp-reply"), self.end_headers()
        self.wfile.write(reply)
server = http.server.HTTPServer(("127.0.0.1", 0), Stamp)
print(server.server_address[1], flush=True)
server.serve_forever()' >tsa.port 2>tsa.log &
tsa=$!
for _ in {1..100}; do [[ -s tsa.port ]] && break; sleep 0.1; done
[[ -s tsa.port ]] || fail "the time stamp server did not start: $(cat tsa.log)"
"$sign" release -ts "http://127.0.0.1:$(cat tsa.port)/" cert.pem "$token" "$build" stamped >stamped.log 2>&1 ||
    fail "signing with a time stamp: $(cat stamped.log)"
check stamped with-time-stamps
"$sign" release -ts http://127.0.0.1:1/ cert.pem "$token" "$build" unstamped 2>unstamped.log &&
    fail "signed the release without the time stamp server"
[[ $(wc -l <unstamped.log) == 1 && ! -e unstamped ]] || fail "no time stamp server: $(cat unstamped.log)"
grep -qF "$pin" ./*.log && fail "the PIN appears in the output"

# refused FOLDER NAME WHAT: pack refuses FOLDER in one line naming NAME, and writes nothing.
refused() {
    "$sign" pack "$1" "$build" "$1.out" trust.pem 2>"$1.log" && fail "pack took $3"
    [[ $(wc -l <"$1.log") == 1 ]] && grep -qF "$2" "$1.log" && [[ ! -e $1.out ]] && ! compgen -G '.signing-*' ||
        fail "$3: $(cat "$1.log")"
}
programs="QuibTPApi.dll QuibTPCenter.exe TryQuibTPCenter.exe padctl.exe"
"$sign" unpack "$build" unsigned && [[ $(LC_ALL=C ls unsigned | tr '\n' ' ') == "$programs " ]] ||
    fail "unpack does not give the four programs"
mkdir changed unsigned-dll && cp token.files/kit/*.exe token.files/kit/*.dll changed/ && cp changed/* unsigned-dll/
"$sign" pack changed "$build" packed trust.pem && diff -r key packed || fail "pack does not give the release's bytes"
cp unsigned/QuibTPApi.dll unsigned-dll/
refused unsigned-dll QuibTPApi.dll "an unsigned QuibTPApi.dll"
python3 -c '
import sys
data = bytearray(open(sys.argv[1], "rb").read())
header = int.from_bytes(data[0x3c:0x40], "little")
sections = header + 24 + int.from_bytes(data[header + 20:header + 22], "little")
data[int.from_bytes(data[sections + 20:sections + 24], "little") + 64] ^= 0xff  # in .text, the first section
open(sys.argv[1], "wb").write(data)' unsigned/padctl.exe
rm changed/padctl.exe && "$sign" sign cert.pem key.pem unsigned/padctl.exe changed/padctl.exe >/dev/null ||
    fail "signing a changed padctl.exe"
refused changed padctl.exe "a padctl.exe changed beyond its signature"

cd / && rm -rf "$work"
echo "PASS: sign, verify, detach, attach, remove; the release signed with a key file and a token, time stamped, packed"

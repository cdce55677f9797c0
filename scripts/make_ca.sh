#!/usr/bin/env bash
# Creates a private CA and a certificate for "localhost" signed by it, once per folder.
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
[ -f server.pem ] && [ -f ca.der ] && exit 0
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=SKH2026 Test CA" \
    -keyout ca.key -out ca.pem \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr \
    2>/dev/null
printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' \
    > server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 \
    -extfile server.ext -out server.pem 2>/dev/null
openssl x509 -in ca.pem -outform DER -out ca.der

#!/usr/bin/env bash
# A throw-away code-signing chain for the signing test: a certificate authority and a publisher
# certificate it issued (code signing only), the publisher's key enciphered with a password kept
# in a file, as a vendor's build server holds it. Nothing here is trusted outside the test.
#   make_test_certificate.sh <folder>   writes ca.pem, publisher.pem, publisher.key, password.txt
set -euo pipefail

out=$1
mkdir -p "$out"
cd "$out"
rm -f ca.key ca.pem ca.srl publisher.csr publisher.plain.key publisher.key publisher.pem password.txt
# A password of the run, so no fixed secret sits in the repository.
openssl rand -hex 16 >password.txt
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 -sha256 \
  -subj "/CN=ZUVA Test Signing CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout publisher.plain.key -out publisher.csr \
  -subj "/CN=ZUVA Test Publisher" 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" "extendedKeyUsage=codeSigning" \
  >publisher.ext
openssl x509 -req -in publisher.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 -sha256 \
  -extfile publisher.ext -out publisher.pem 2>/dev/null
openssl pkey -in publisher.plain.key -aes256 -passout file:password.txt -out publisher.key
rm -f publisher.plain.key publisher.csr publisher.ext ca.srl ca.key

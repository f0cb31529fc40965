#!/usr/bin/env bash
# Writes a local certificate authority and a server certificate signed by it into DIR:
# ca_cert.pem, server_cert.pem and server_key.pem (no pass phrase), valid for localhost,
# 127.0.0.1 and ::1. Used for the demo folder and the tests.
set -euo pipefail
dir=${1:?usage: make-certificates.sh DIR}
mkdir -p "$dir"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
openssl req -x509 "${ec[@]}" -keyout "$tmp/ca_key.pem" -out "$tmp/ca_cert.pem" -days 3650 \
    -subj "/CN=Quorvex TEF Server local CA" 2>/dev/null
openssl req "${ec[@]}" -keyout "$tmp/server_key.pem" -out "$tmp/server.csr" \
    -subj "/CN=localhost" 2>/dev/null
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1\n' >"$tmp/ext"
openssl x509 -req -in "$tmp/server.csr" -CA "$tmp/ca_cert.pem" -CAkey "$tmp/ca_key.pem" \
    -CAserial "$tmp/ca.srl" -CAcreateserial -days 3650 -extfile "$tmp/ext" \
    -out "$tmp/server_cert.pem" 2>/dev/null
cp "$tmp/ca_cert.pem" "$tmp/server_cert.pem" "$tmp/server_key.pem" "$dir/"

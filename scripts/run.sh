#!/usr/bin/env bash
# Builds the service and runs it from a demo application folder (build/demo) on port 8443:
# wss://localhost:8443, trusted through build/demo/Certificado/ca_cert.pem. Also serves the
# demo point-of-sale page over HTTPS with the same certificate (https://localhost:8444,
# QV_WEB_PORT to change) and prints its address with a ready session token. Ctrl+C (or
# SIGTERM) stops both; SIGUSR1 pauses the service and SIGUSR2 continues it. The log is under
# build/demo/Log/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target QuorvexSiTefService clisitef_sim QuorvexPrintPDF quorvex_print qv-token

demo=build/demo
mkdir -p "$demo/dll"
ln -f build/src/QuorvexSiTefService "$demo/QuorvexSiTefService" 2>/dev/null ||
    cp -f build/src/QuorvexSiTefService "$demo/QuorvexSiTefService"
[ -f "$demo/Certificado/server_cert.pem" ] || bash scripts/make-certificates.sh "$demo/Certificado"
[ -f "$demo/QuorvexSiTefService.ini" ] || printf '[sitef]\r\nserver_port=8443\r\n' >"$demo/QuorvexSiTefService.ini"

# The simulated payment library with its demo scenario (credit, debit, PIX, cancellation,
# reprint); edit dll/clisitef-sim.json to change what it answers. Its journal of every call
# goes to dll/clisitef-sim.log.
cp -f build/tools/clisitef-sim/libclisitef.so "$demo/dll/libclisitef.so"
[ -f "$demo/dll/clisitef-sim.json" ] || cp tools/clisitef-sim/demo-scenario.json "$demo/dll/clisitef-sim.json"

# The print program and its library, beside the service. "/print" prints on the CUPS
# printer named by printer= in the INI file (none by default).
cp -f build/tools/print-pdf/QuorvexPrintPDF build/tools/print-pdf/libquorvexprint.so "$demo/"

port=$(sed -n 's/^server_port *= *//p' "$demo/QuorvexSiTefService.ini" | tr -d '\r')
web_port=${QV_WEB_PORT:-8444}
token=$(build/tools/qv-token/qv-token --secctional_code 12 --ip_address 127.0.0.1 \
    --store_code 00000000 --additional_parameters "" --operator "Caixa 1" --sale_id 1 \
    --company_id 1 --callback_url https://loja.example/retorno)

# The page, the client module and the QR library, served from build/web.
node web/assemble.mjs build/web >/dev/null
node web/serve.mjs --root build/web --port "$web_port" \
    --cert "$demo/Certificado/server_cert.pem" --key "$demo/Certificado/server_key.pem" >/dev/null &
web_pid=$!

"$demo/QuorvexSiTefService" &
service_pid=$!
trap 'kill -TERM "$web_pid" 2>/dev/null || true' EXIT
# Background jobs of a script ignore SIGINT, so Ctrl+C reaches the service as a stop request.
trap 'kill -TERM "$service_pid" 2>/dev/null || true' INT TERM
trap 'kill -USR1 "$service_pid" 2>/dev/null || true' USR1
trap 'kill -USR2 "$service_pid" 2>/dev/null || true' USR2

# The page connects to port 8443 unless its address names the service.
page="https://localhost:$web_port/?token=$token"
[ "$port" = 8443 ] || page="https://localhost:$web_port/?service=wss://localhost:$port&token=$token"

cat <<INFO
Quorvex TEF Server: wss://localhost:$port (folder $demo)
Demo page:          $page
Session token:      $token
Both use the certificate of the CA $demo/Certificado/ca_cert.pem (see the README to trust it).
INFO

# Waits out signals forwarded to the service; ends with its exit code.
status=0
while :; do
    wait "$service_pid" && status=0 || status=$?
    kill -0 "$service_pid" 2>/dev/null || break
done
exit "$status"

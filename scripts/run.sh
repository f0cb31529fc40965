#!/usr/bin/env bash
# Builds the service and runs it in the foreground from a demo application folder
# (build/demo) on port 8443: wss://localhost:8443, trusted through
# build/demo/Certificado/ca_cert.pem. Ctrl+C (or SIGTERM) stops it; SIGUSR1 pauses it and
# SIGUSR2 continues it. The log is under build/demo/Log/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target QuorvexSiTefService clisitef_sim QuorvexPrintPDF quorvex_print

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

echo "Quorvex TEF Server: wss://localhost:$(sed -n 's/^server_port *= *//p' "$demo/QuorvexSiTefService.ini" | tr -d '\r') (folder $demo)"
exec "$demo/QuorvexSiTefService"

#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent; silent when all are present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libssl-dev openssl zlib1g-dev libsimdjson-dev libsimpleini-dev libcups2-dev
    # The store of transaction results that survive a lost reply.
    libsqlite3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    # A private CUPS scheduler for the real print tests (cupsd, and the pass-through filter
    # its test printer uses).
    cups-daemon cups-core-drivers
    clang libclang-rt-dev llvm
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q >/dev/null || true
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null

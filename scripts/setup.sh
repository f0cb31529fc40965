#!/usr/bin/env bash
# Installs every Debian package the project needs and the npm packages of the JavaScript
# tests and the demo page (from their lockfiles). Idempotent; silent when all are present.
set -euo pipefail
cd "$(dirname "$0")/.."

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
    # The demo page's browser test: Debian's Chromium, and certutil to make a fresh browser
    # profile trust the demo CA.
    chromium libnss3-tools
    # Windows: the MinGW-w64 cross compilers (POSIX threads), Wine to run the 64-bit build's
    # tests, and NSIS for the installers.
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 nsis
)
# The machine's Node.js when it has one (the browser test's driver needs 20 or later),
# else Debian's.
command -v node >/dev/null || packages+=(nodejs npm)

install_debian_packages() {
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "Installing: ${missing[*]}"
    local sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q >/dev/null || true
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# npm ci from the committed lockfile, skipped while node_modules matches it. No package here
# has an install script, and none may fetch a browser of its own.
install_npm_packages() {
    local dir=$1
    local stamp="$dir/node_modules/.installed-lockfile"
    cmp -s "$dir/package-lock.json" "$stamp" 2>/dev/null && return 0
    echo "npm ci in $dir"
    (cd "$dir" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    cp "$dir/package-lock.json" "$stamp"
}

install_debian_packages
install_npm_packages web
install_npm_packages tests/js

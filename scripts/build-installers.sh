#!/usr/bin/env bash
# Builds the Windows installers with NSIS (Debian's makensis) from the Windows builds:
#
#   build-windows/installers/QuorvexTEFServer-Setup-<version>-x86.exe   the 32-bit build
#   build-windows/installers/QuorvexTEFServer-Setup-<version>-x64.exe   both builds
#
# <version> is the CMake project version. Each build's application folder is laid out as
# scripts/build-windows.sh does, plus qv-certificates.exe, qv-web-server.exe (and qv-browser-policy.exe when it
# builds for Windows); the demo page comes from web/assemble.mjs. Then checks each installer:
# PE32 for the x86 one, under 10 MB each, and prints the sizes.
#
#   bash scripts/build-installers.sh [--check]   (--check: only checks the installers there are)
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "build-installers: $*" >&2; exit 1; }

version=$(sed -n 's/^project(QuorvexSiTefService VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
out=build-windows/installers
max_bytes=10000000  # 10 MB

installer_file() { echo "$out/QuorvexTEFServer-Setup-$version-$1.exe"; }

check_installer() {
    local arch=$1 file size format
    file=$(installer_file "$arch")
    [ -f "$file" ] || fail "$file missing"
    size=$(stat -c %s "$file")
    [ "$size" -lt "$max_bytes" ] || fail "$file is $size bytes, over 10 MB"
    format=$(file -b "$file")
    case "$arch" in
        x86) grep -q '^PE32 executable.*Intel 80386' <<<"$format" || fail "$file: $format" ;;
        x64) grep -q '^PE32+ executable.*x86-64' <<<"$format" || fail "$file: $format" ;;
    esac
    echo "build-installers: $file, $size bytes ($(cut -d, -f1 <<<"$format"))"
}

if [ "${1:-}" = --check ]; then
    check_installer x86
    check_installer x64
    exit 0
fi

# The programs an installer carries, built and laid out per architecture.
lay_out() {
    local arch=$1 toolchain library dir
    case "$arch" in
        x86) toolchain=mingw-i686; library=CliSiTef32I.dll ;;
        x64) toolchain=mingw-x86_64; library=CliSiTef64I.dll ;;
    esac
    dir=build-windows/$arch
    bash scripts/windows-deps.sh "$arch"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$dir" -j"$(nproc)" --target QuorvexSiTefService qv-token qv-certificates \
        qv-web-server clisitef_sim
    local app=$dir/installer-app
    rm -rf "$app"
    mkdir -p "$app/dll"
    # Without debug information: the installers carry what runs, not what a debugger reads.
    local strip=${toolchain#mingw-}-w64-mingw32-strip
    [ "$arch" = x86 ] && strip=i686-w64-mingw32-strip
    local service=$dir/src/QuorvexSiTefService.exe
    [ -f "$service" ] || service=$dir/QuorvexSiTefService.exe
    "$strip" -o "$app/QuorvexSiTefService.exe" "$service"
    "$strip" -o "$app/qv-token.exe" "$dir/tools/qv-token/qv-token.exe"
    "$strip" -o "$app/qv-certificates.exe" "$dir/tools/qv-certificates/qv-certificates.exe"
    "$strip" -o "$app/qv-web-server.exe" "$dir/tools/qv-web-server/qv-web-server.exe"
    "$strip" -o "$app/dll/$library" "$dir/tools/clisitef-sim/$library"
    cp tools/clisitef-sim/demo-scenario.json "$app/dll/clisitef-sim.json"
    # The browsers' allow-list needs the tool's Windows registry store; included once it builds.
    if cmake --build "$dir" -j"$(nproc)" --target qv-browser-policy >/dev/null 2>&1; then
        "$strip" -o "$app/qv-browser-policy.exe" "$dir/tools/qv-browser-policy/qv-browser-policy.exe"
    else
        echo "build-installers: qv-browser-policy does not build for $arch; installers without it"
    fi
}

lay_out x86
lay_out x64

[ -d web/node_modules ] || (cd web && npm ci --no-audit --no-fund >/dev/null)
node web/assemble.mjs build-windows/web >/dev/null

mkdir -p "$out"
installer() {
    local arch=$1 file
    file=$(installer_file "$arch")
    local defines=(-DVERSION="$version" -DARCH="$arch" -DAPP_X86="$PWD/build-windows/x86/installer-app"
                   -DWEB="$PWD/build-windows/web" -DOUTFILE="$PWD/$file")
    [ "$arch" = x64 ] && defines+=(-DAPP_X64="$PWD/build-windows/x64/installer-app")
    # The x64 installer runs as a 64-bit program: its own folder and registry are the 64-bit ones.
    [ "$arch" = x64 ] && defines+=(-XTarget\ amd64-unicode)
    makensis -V2 "${defines[@]}" installer/QuorvexTEFServer.nsi
    check_installer "$arch"
}
installer x86
installer x64

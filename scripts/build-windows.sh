#!/usr/bin/env bash
# Builds the service for 32-bit (x86) and 64-bit (x64) Windows on this Debian machine with
# MinGW-w64, into build-windows/<arch>/, and lays out each application folder:
#
#   build-windows/<arch>/app/QuorvexSiTefService.exe
#   build-windows/<arch>/app/qv-token.exe, qv-browser-policy.exe
#   build-windows/<arch>/app/dll/CliSiTef32I.dll (x86) or dll/CliSiTef64I.dll (x64),
#                                the simulated payment library, with its demo scenario
#
# then checks what was built: the executable's format (PE32 for Intel 80386, PE32+ for
# x86-64), that every program and library imports only Windows' own DLLs, and that the
# simulated library exports the twelve functions under undecorated names.
#
#   bash scripts/build-windows.sh [x86|x64|all]
#
# The dependencies come from scripts/windows-deps.sh (built once, kept outside the tree).
set -euo pipefail
cd "$(dirname "$0")/.."

which_arches=${1:-all}
case "$which_arches" in
    all) arches=(x86 x64) ;;
    x86 | x64) arches=("$which_arches") ;;
    *) echo "usage: $0 [x86|x64|all]" >&2; exit 2 ;;
esac

bash scripts/windows-deps.sh "$which_arches"

# Windows' own DLLs: what a program of ours may import. Anything else (a MinGW runtime DLL,
# a dependency built as a DLL) would have to travel with it.
system_dlls='^(kernel32|advapi32|ws2_32|version|bcrypt|crypt32|user32|gdi32|ole32|shell32|msvcrt|ntdll|rpcrt4|secur32|iphlpapi)\.dll$'
exports=(ConfiguraIntSiTefInterativoEx IniciaFuncaoSiTefInterativo ContinuaFuncaoSiTefInterativo
         FinalizaFuncaoSiTefInterativo FinalizaTransacaoSiTefInterativo LeTrilha3 LeCartaoSeguro
         LeCartaoDiretoSeguro LeCartaoDiretoEx EscreveMensagemPermanentePinPad
         ObtemQuantidadeTransacoesPendentes VerificaPresencaPinPad)

fail() { echo "build-windows: $*" >&2; exit 1; }

check_imports() {
    local objdump=$1 file=$2 dll
    for dll in $("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
        echo "${dll,,}" | grep -Eq "$system_dlls" || fail "$file imports $dll"
    done
}

check_exports() {
    local objdump=$1 file=$2 names name
    # The names of the export table, one per line.
    names=$("$objdump" -p "$file" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
            sed -n 's/^\s*\[\s*[0-9]*\] //p')
    for name in "${exports[@]}"; do
        grep -qx "$name" <<<"$names" || fail "$file does not export $name"
    done
    ! grep -q '@' <<<"$names" || fail "$file exports decorated names: $(grep '@' <<<"$names" | head -3)"
    [ "$(wc -l <<<"$names")" -eq ${#exports[@]} ] || fail "$file exports more than the twelve"
}

build_arch() {
    local arch=$1 toolchain triple format library
    case "$arch" in
        x86) toolchain=mingw-i686; triple=i686-w64-mingw32; format='PE32 executable.*Intel 80386'
             library=CliSiTef32I.dll ;;
        x64) toolchain=mingw-x86_64; triple=x86_64-w64-mingw32; format='PE32\+ executable.*x86-64'
             library=CliSiTef64I.dll ;;
    esac
    local dir=build-windows/$arch start=$SECONDS
    cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    # The 32-bit build is checked, never run (these machines run no 32-bit code): only what
    # its application folder holds is built. The 64-bit build gets its tests too.
    local targets=()
    [ "$arch" = x86 ] && targets=(--target QuorvexSiTefService clisitef_sim qv-token qv-browser-policy)
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
    echo "build-windows: $arch built in $((SECONDS - start)) s"

    local app=$dir/app
    rm -rf "$app"
    mkdir -p "$app/dll"
    cp "$dir/src/QuorvexSiTefService.exe" "$app/"
    cp "$dir/tools/qv-token/qv-token.exe" "$dir/tools/qv-browser-policy/qv-browser-policy.exe" "$app/"
    cp "$dir/tools/clisitef-sim/$library" "$app/dll/"
    cp tools/clisitef-sim/demo-scenario.json "$app/dll/clisitef-sim.json"

    local objdump=$triple-objdump file
    file "$app/QuorvexSiTefService.exe" | grep -Eq "$format" ||
        fail "$app/QuorvexSiTefService.exe: $(file -b "$app/QuorvexSiTefService.exe")"
    for file in "$app"/*.exe "$app/dll/$library"; do check_imports "$objdump" "$file"; done
    check_exports "$objdump" "$app/dll/$library"
    echo "build-windows: $app checked ($(file -b "$app/QuorvexSiTefService.exe" | cut -d, -f1))"
}

for arch in "${arches[@]}"; do build_arch "$arch"; done

#!/usr/bin/env bash
# Tests the 64-bit Windows service under Wine's service manager: the application folder
# (build-windows/x64/app, made by scripts/build-windows.sh when missing) is put under
# "C:\Program Files\Quorvex TEF Server" with fresh certificates, then
# tests/js/windows-service/ registers it with INSTALL SILENT, starts, pays through the
# JavaScript client, pauses, continues, stops and removes it (see that file for the steps).
#
#   bash scripts/test-windows-service.sh
#
# The Wine prefix lives in build-windows/x64/service-test/prefix and is made once
# (wineboot -i); each run removes what an interrupted run may have left in it, and ends every
# Wine process of the prefix when it is done, also when it fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=build-windows/x64
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
work=$root/$build/service-test
name=QuorvexSiTefService

[ -x "$wine" ] || { echo "test-windows-service: $wine missing (scripts/setup.sh)" >&2; exit 1; }
[ -d tests/js/node_modules/ws ] || { echo "test-windows-service: run scripts/setup.sh (npm packages)" >&2; exit 1; }
[ -f "$build/app/$name.exe" ] || bash scripts/build-windows.sh x64
cmake --build "$build" -j"$(nproc)" --target qv-service-manager >/dev/null

export WINEPREFIX=$work/prefix WINEDEBUG=${WINEDEBUG:--all} WINEARCH=win64
# No Mono or Gecko installer dialogs: nothing here needs them, and nothing may be downloaded.
export WINEDLLOVERRIDES="mscoree,mshtml="
export TZ=America/Sao_Paulo

cleanup() {
    # Every Wine process of this prefix: the service, the service manager, the server.
    timeout 30 "$wineserver" -k 2>/dev/null || true
    timeout 30 "$wineserver" -w 2>/dev/null || true
}
trap cleanup EXIT

start=$SECONDS
mkdir -p "$work" "$WINEPREFIX"
# Whatever an interrupted run left running; then one server, kept up for the whole run so
# each command starts without booting one.
"$wineserver" -k 2>/dev/null || true
# Wine's own messages, and those of the programs the service manager starts (the service's
# crash report, if any), go to wine.log.
wine_log=$work/wine.log
# A new prefix is made first, to its end; booted once more with a fresh server, as a first
# boot leaves two service managers (wine-prefix.sh).
: >"$wine_log"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 "$wine" wineboot -i >>"$wine_log" 2>&1
    source scripts/wine-prefix.sh
    wine_prefix_reboot
else
    "$wineserver" -p
    timeout 120 "$wine" wineboot >>"$wine_log" 2>&1
fi
# A program that crashes leaves a minidump instead of waiting for a debugger nobody sees
# (read it with: wine64 winedbg <dump>, then bt all).
dump=$WINEPREFIX/drive_c/qv-crash.mdmp
rm -f "$dump"
aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
timeout 60 "$wine" reg add "$aedebug" /v Debugger /t REG_SZ /d 'winedbg --minidump C:\qv-crash.mdmp %ld %ld' /f >/dev/null 2>&1
timeout 60 "$wine" reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
echo "test-windows-service: Wine prefix ready in $((SECONDS - start)) s"

tool=$work/qv-service-manager.exe
cp "$build/tests/service/service-manager/qv-service-manager.exe" "$tool"

# What an interrupted run may have left: the service (started again at boot, since it starts
# automatically), its registration and the installed folder.
key="HKLM\\System\\CurrentControlSet\\Services\\$name"
if timeout 60 "$wine" reg query "$key" >/dev/null 2>&1; then
    timeout 60 "$wine" "$tool" control "$name" stop 20000 >/dev/null 2>&1 || true
    timeout 60 "$wine" sc delete "$name" >/dev/null 2>&1 || true
    if timeout 60 "$wine" reg query "$key" >/dev/null 2>&1; then
        echo "test-windows-service: cannot remove the service left by an earlier run; remove $WINEPREFIX" >&2
        exit 1
    fi
fi
folder=$WINEPREFIX/drive_c/Program\ Files/Quorvex\ TEF\ Server
rm -rf "$folder"
cp -r "$build/app" "$folder"
bash scripts/make-certificates.sh "$folder/Certificado" >/dev/null

start=$SECONDS
status=0
QV_WINE=$wine QV_SERVICE_FOLDER=$folder QV_SERVICE_FOLDER_WINDOWS='C:\Program Files\Quorvex TEF Server' \
    QV_SERVICE_MANAGER_TOOL=$tool \
    timeout 600 node --test --test-concurrency=1 tests/js/windows-service/ || status=$?
echo "test-windows-service: tests ran in $((SECONDS - start)) s"
[ $status -eq 0 ] || echo "test-windows-service: Wine's messages in $wine_log" >&2
[ ! -f "$dump" ] || echo "test-windows-service: a program crashed; its minidump is $dump" >&2
exit $status

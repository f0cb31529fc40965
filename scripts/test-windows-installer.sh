#!/usr/bin/env bash
# Tests the x64 installer end to end under Wine, as a shop that deploys with scripts uses it:
# tests/js/windows-installer/ installs it silently with the 64-bit library, the demo, a free
# port and a point-of-sale origin, pays through the JavaScript client, drives the service
# through Wine's service manager and uninstalls it silently (see that file for the steps).
# Before that the installers are built when missing (scripts/build-installers.sh) and both
# are checked again (the x86 one PE32, each under 10 MB).
#
#   bash scripts/test-windows-installer.sh
#
# Each run has a Wine prefix of its own (scripts/wine-prefix.sh), whose Wine processes are
# ended and which is removed when the script exits, also when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=build-windows/x64
version=$(sed -n 's/^project(QuorvexSiTefService VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
installer=$root/build-windows/installers/QuorvexTEFServer-Setup-$version-x64.exe

source scripts/wine-prefix.sh
[ -x "$WINE64" ] || { echo "test-windows-installer: $WINE64 missing (scripts/setup.sh)" >&2; exit 1; }
[ -d tests/js/node_modules/ws ] || { echo "test-windows-installer: run scripts/setup.sh (npm packages)" >&2; exit 1; }
if [ -f "$installer" ]; then
    bash scripts/build-installers.sh --check
else
    bash scripts/build-installers.sh
fi
cmake --build "$build" -j"$(nproc)" --target qv-service-manager >/dev/null

wine_prefix_start
wine_prefix_reboot
tool=$wine_work/qv-service-manager.exe
cp "$build/tests/service/service-manager/qv-service-manager.exe" "$tool"

start=$SECONDS
status=0
QV_WINE=$WINE64 QV_INSTALLER=$installer QV_SERVICE_MANAGER_TOOL=$tool \
    QV_INSTALL_FOLDER="$WINEPREFIX/drive_c/Program Files/Quorvex TEF Server" \
    QV_INSTALL_FOLDER_WINDOWS='C:\Program Files\Quorvex TEF Server' \
    timeout 900 node --test --test-concurrency=1 tests/js/windows-installer/ || status=$?
echo "test-windows-installer: tests ran in $((SECONDS - start)) s"
exit $status

#!/usr/bin/env bash
# Runs the integration suites, the JavaScript client's tests and the demo page's browser tests
# against the 64-bit Windows build (build-windows/x64) under Wine's 64-bit loader: the Linux
# build's test programs and fixtures (build/), switched by QV_TEST_WINDOWS_BUILD to lay out
# QuorvexSiTefService.exe with dll/CliSiTef64I.dll and start it under Wine. Same tests, same
# assertions; the tests of Linux-only behaviour are excluded by the list below, printed with
# the reason each.
#
#   bash scripts/test-windows-integration.sh [ctest arguments...]     e.g. -R Transactions
#
# Needs the Linux build configured (scripts/test.sh makes build/) and the Windows one
# (scripts/build-windows.sh); builds only the programs these tests run.
set -euo pipefail
cd "$(dirname "$0")/.."

linux=${QV_LINUX_BUILD:-build}
windows=build-windows/x64

# Tests that cannot run against the Windows service: "ctest regular expression|reason".
excluded=(
    '^ServiceInstall\.|INSTALL and UNINSTALL write a systemd unit on Linux; on Windows they register with the service manager, which needs an administrator and is not the one Wine runs'
    '^PrintOnCups\.|the CUPS print program (tools/print-pdf) is Linux-only; on Windows the shops install SumatraPDF.exe'
    '^FileFaults\.|the full disk is made with the file-size limit of the Linux service process (under Wine it ends the program with SIGXFSZ) and unwritable folders with permission bits, and the reasons expected are Linux texts; the Windows platform tests (scripts/test-windows.sh) fill a real small volume instead'
)

[ -x /usr/lib/wine/wine64 ] || { echo "test-windows-integration: wine64 is not installed" >&2; exit 1; }
[ -f "$linux/build.ninja" ] || { echo "test-windows-integration: configure $linux first" >&2; exit 1; }
[ -f "$windows/build.ninja" ] || bash scripts/build-windows.sh x64

start=$SECONDS
cmake --build "$windows" -j"$(nproc)" --target QuorvexSiTefService clisitef_sim \
    QuorvexSiTefEchoService qv-service-control qv-print-stand-in qv-web-server >/dev/null
cmake --build "$linux" -j"$(nproc)" --target integration_tests >/dev/null
echo "test-windows-integration: programs built in $((SECONDS - start)) s"

echo "test-windows-integration: not run against the Windows service:"
exclude=
for entry in "${excluded[@]}"; do
    echo "  ${entry%%|*}  (${entry#*|})"
    exclude+="${exclude:+|}${entry%%|*}"
done

source scripts/wine-prefix.sh
wine_prefix_start

export QV_TEST_WINDOWS_BUILD=$PWD/$windows QV_TEST_WINE=$WINE64 QV_BUILD_DIR=$PWD/$linux

# Every test of the integration program (its suites, one ctest test per test).
suites=$("$linux/tests/integration/integration_tests" --gtest_list_tests | sed -n 's/^\([A-Za-z0-9_]*\)\.$/\1/p' | paste -sd'|')
status=0
start=$SECONDS
ctest --test-dir "$linux" -j"$(nproc)" --output-on-failure -R "^($suites)\\." -E "$exclude" "$@" ||
    status=$?
echo "test-windows-integration: integration suites ran in $((SECONDS - start)) s"

start=$SECONDS
(cd tests/js && node --test client/) || status=$?
echo "test-windows-integration: JavaScript client's tests ran in $((SECONDS - start)) s"

# The demo page in Debian's Chromium against the Windows service, the page served by the
# Windows demo's own server; and the browsers' local network rule with the Windows service.
start=$SECONDS
(cd tests/js && node --test browser/pos-page.test.mjs browser/local-network.test.mjs) || status=$?
echo "test-windows-integration: browser tests ran in $((SECONDS - start)) s"
exit $status

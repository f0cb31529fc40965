#!/usr/bin/env bash
# Builds the project and runs every test: once in a normal build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer (the JavaScript client's tests and the demo
# page's browser test included: they run the service of each build), and the threaded
# transport, service and request tests (and those of the simulated payment library and the
# TEF component) once more under ThreadSanitizer. Then every fuzz target runs for a short
# while (scripts/fuzz.sh runs them longer). Last, Windows: the dependencies (built once and
# reused), the 32- and 64-bit builds with their checks, the 64-bit tests under Wine (unit
# suites, the integration suites and the JavaScript client's tests against the Windows
# service, the service under Wine's service manager), and the installers with their checks,
# the x64 one installed, used and uninstalled under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
jobs=$(nproc)

run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

run_suite build
run_suite build-asan -DQV_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug

# ThreadSanitizer: only the suites whose code runs on several threads (the service programs
# they start are built with it too, and fail their exit code on a report), the print queue's
# and the result store's among them.
cmake -S . -B build-tsan -G Ninja -DQV_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs" --target transport_tests service_tests requests_tests integration_tests clisitef_sim_tests printing_tests tef_tests results_tests
ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 300 -E '_NOT_BUILT$|^js_'

# Each parser's fuzz target, briefly: its seeds and what it finds in 20 seconds.
bash scripts/fuzz.sh 20

# Windows, each step timed (README.md, "Windows").
windows_step() {
    local start=$SECONDS
    "$@"
    echo "test: '$*' took $((SECONDS - start)) s"
}
windows_step bash scripts/windows-deps.sh all
windows_step bash scripts/build-windows.sh all
windows_step bash scripts/test-windows.sh
windows_step bash scripts/test-windows-integration.sh
windows_step bash scripts/test-windows-service.sh
windows_step bash scripts/build-installers.sh
windows_step bash scripts/test-windows-installer.sh

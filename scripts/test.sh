#!/usr/bin/env bash
# Builds the project and runs every test: once in a normal build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer.
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

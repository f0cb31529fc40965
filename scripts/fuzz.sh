#!/usr/bin/env bash
# Builds the libFuzzer targets (build-fuzz/: clang, ASan + UBSan, the project's own libraries)
# and runs each one for SECONDS (default 300), one after another, then prints its executions
# and findings.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      targets: the folders of fuzz/corpus/
#
# A target starts from its hand-made seeds in fuzz/corpus/<target>/, which it only reads; the
# inputs it finds go to build-fuzz/fuzz-work/<target>/ and are kept, so the next run goes on
# from there (remove the folder to start afresh). A finding (crash, sanitizer report, broken
# property, hang) is saved in build-fuzz/fuzz-findings/<target>/ and makes the script fail;
# replay it with build-fuzz/fuzz/fuzz_<target> <file>.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

bash scripts/setup.sh
cmake -S . -B build-fuzz -G Ninja -DQV_FUZZ=ON -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target qv_fuzz_targets

# The configuration and record targets write a file per input: keep that in memory.
[ -d /dev/shm ] && export TMPDIR=/dev/shm

failed=()
for target in "${targets[@]}"; do
    program=build-fuzz/fuzz/fuzz_$target
    work=build-fuzz/fuzz-work/$target
    findings=build-fuzz/fuzz-findings/$target/
    log=build-fuzz/fuzz-work/$target.log
    [ -x "$program" ] || { echo "fuzz: no target $target (qv_add_fuzz_target in fuzz/CMakeLists.txt)"; exit 1; }
    mkdir -p "$work" "$findings"
    dict=()
    [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
    if "$program" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$findings" \
        "${dict[@]}" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) .*/\1 runs in \2 s/p' "$log")
        echo "fuzz_$target: ${runs:-?}, no finding ($(ls "$work" | wc -l) inputs in $work)"
    else
        echo "fuzz_$target: FINDING, saved in $findings (log $log):"
        grep -E 'ERROR|SUMMARY|property broken|runtime error|stalled|unexpected|Test unit' "$log" | head -n 20
        failed+=("$target")
    fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzz: findings in ${failed[*]}"; exit 1; }

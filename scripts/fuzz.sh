#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes every target of tests/fuzz for SECONDS each (default 60), one target at a time on one core.
#   bash scripts/fuzz.sh [--no-build] [SECONDS [TARGET...]]
# TARGET names one target (decode, cut, document, paths, settings); all of them by default.
# Builds the targets in build-sanitize/ (clang, AddressSanitizer, UndefinedBehaviorSanitizer), keeping that
# folder's configuration when it has one; --no-build uses the targets already built there. Each target
# starts from its committed corpus plus what earlier runs found (build-sanitize/fuzz/corpus/<target>, kept
# between runs); an input that breaks a property is written to build-sanitize/fuzz/ and named at the end.
# Prints, per target, the inputs run and the coverage reached (libFuzzer's cov: edges, ft: features).
set -euo pipefail
cd "$(dirname "$0")/.."
build=1
if [ "${1:-}" = --no-build ]; then
    build=
    shift
fi
seconds=${1:-60}
[ $# -eq 0 ] || shift
targets=("$@")
if [ -n "$build" ]; then
    bash scripts/setup.sh sanitize
    if [ -f build-sanitize/CMakeCache.txt ]; then
        cmake --build build-sanitize -j"$(nproc)" --target ostrand_fuzz_targets
    else
        bash scripts/build.sh --sanitize --target ostrand_fuzz_targets
    fi
fi
root=$PWD
out=$root/build-sanitize/fuzz
mkdir -p "$out"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"

failed=()
summary=()
if [ ${#targets[@]} -eq 0 ]; then
    for seeds in "$root"/tests/fuzz/corpus/*/; do
        targets+=("$(basename "$seeds")")
    done
fi
for name in "${targets[@]}"; do
    seeds=$root/tests/fuzz/corpus/$name
    target=$root/build-sanitize/tests/fuzz/fuzz_$name
    corpus=$out/corpus/$name
    log=$out/$name.log
    mkdir -p "$corpus"
    echo "fuzz_$name: ${seconds} s" >&2
    status=0
    (cd "$out" && "$target" -max_total_time="$seconds" -max_len=4096 -timeout=60 -rss_limit_mb=2560 \
        -print_final_stats=1 -artifact_prefix="$out/$name-" "$corpus" "$seeds") >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
    files=$(find "$corpus" -type f | wc -l)
    summary+=("$(printf '%-14s %12s runs %8s/s  %-22s corpus %s' "fuzz_$name" "${runs:-?}" "${speed:-?}" "${coverage:-?}" "$files")")
    if [ "$status" -ne 0 ]; then
        failed+=("fuzz_$name (see $log)")
    fi
done

printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    printf 'FOUND: %s\n' "${failed[@]}" >&2
    exit 1
fi
echo "No finding."

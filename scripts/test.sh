#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets everything up, builds, and runs every test (core, gui, cli, end-to-end):
#   bash scripts/test.sh [CTEST ARGS...]              the gcc build in build/
#   bash scripts/test.sh --clang [CTEST ARGS...]      the same tests built by clang, in build-clang/
#   bash scripts/test.sh --sanitize [CTEST ARGS...]   built by clang with AddressSanitizer and
#       UndefinedBehaviorSanitizer, in build-sanitize/, plus a bounded run of every fuzz target; the
#       first report fails the test that met it
set -euo pipefail
cd "$(dirname "$0")/.."
variant=()
dir=build
layers=(test)
case "${1:-}" in
    --clang)
        variant=(--clang)
        dir=build-clang
        layers=(test sanitize)
        shift
        ;;
    --sanitize)
        variant=(--sanitize)
        dir=build-sanitize
        layers=(test sanitize)
        shift
        ;;
esac
bash scripts/setup.sh "${layers[@]}"
bash scripts/build.sh "${variant[@]}"
if [ "$dir" = build-sanitize ]; then
    # Stop at the first report of either sanitizer, with its stack. The programs may be started with a
    # preloaded library (fault injection), which need not come after the sanitizer's runtime.
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:detect_leaks=1:verify_asan_link_order=0"
    export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
fi
cd "$dir"
ctest --output-on-failure -j"$(nproc)" "$@"

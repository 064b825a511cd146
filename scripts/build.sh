#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds everything (warnings are errors under CI):
#   bash scripts/build.sh              gcc, into build/
#   bash scripts/build.sh --clang      clang, into build-clang/
#   bash scripts/build.sh --sanitize   clang with AddressSanitizer, UndefinedBehaviorSanitizer and the fuzz
#                                      targets, into build-sanitize/
# Arguments after the variant go to `cmake --build` (e.g. --target ostrand_fuzz_targets).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
variant=()
case "${1:-}" in
    --clang)
        dir=build-clang
        variant=(-DCMAKE_CXX_COMPILER=clang++-14)
        shift
        ;;
    --sanitize)
        dir=build-sanitize
        variant=(-DCMAKE_CXX_COMPILER=clang++-14 -DOSTRAND_SANITIZE=ON -DOSTRAND_FUZZ=ON)
        shift
        ;;
    *) ;;
esac
werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTRAND_WERROR="$werror" "${variant[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" "$@"

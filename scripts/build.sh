#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds (warnings are errors under CI):
#   bash scripts/build.sh              everything (programs, tests, benchmark), gcc, into build/
#   bash scripts/build.sh --release    only the two programs and their companion files, a Release build as the
#                                      README's install gives, into build-release/
#   bash scripts/build.sh --clang      everything, clang, into build-clang/
#   bash scripts/build.sh --sanitize   clang with AddressSanitizer, UndefinedBehaviorSanitizer and the fuzz
#                                      targets, into build-sanitize/
# Arguments after the variant go to `cmake --build` (e.g. --target ostrand_fuzz_targets).
set -euo pipefail
cd "$(dirname "$0")/.."

# The clang this system has: the one a build folder was configured with while it is there (changing it would make
# CMake start that folder afresh), else the unversioned clang++ (Debian's default version), else the newest
# versioned one.
clang_compiler() {
    local found
    found=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$dir/CMakeCache.txt" 2>/dev/null || true)
    if [ -n "$found" ] && command -v "$found" >/dev/null && [[ "$(basename "$found")" == clang++* ]]; then
        echo "$found"
        return
    fi
    if command -v clang++ >/dev/null; then
        command -v clang++
        return
    fi
    found=$(compgen -c clang++- | grep -E '^clang\+\+-[0-9]+$' | sort -t- -k2 -n | tail -n 1 || true)
    if [ -z "$found" ]; then
        echo "build.sh: no clang++ found: bash scripts/setup.sh sanitize installs it" >&2
        exit 1
    fi
    command -v "$found"
}

dir=build
type=RelWithDebInfo
variant=()
case "${1:-}" in
    --release)
        dir=build-release
        type=Release
        variant=(-DOSTRAND_BUILD_TESTS=OFF -DOSTRAND_BUILD_BENCH=OFF)
        shift
        ;;
    --clang)
        dir=build-clang
        variant=(-DCMAKE_CXX_COMPILER="$(clang_compiler)")
        shift
        ;;
    --sanitize)
        dir=build-sanitize
        variant=(-DCMAKE_CXX_COMPILER="$(clang_compiler)" -DOSTRAND_SANITIZE=ON -DOSTRAND_FUZZ=ON)
        shift
        ;;
    *) ;;
esac
werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DOSTRAND_WERROR="$werror" "${variant[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" "$@"

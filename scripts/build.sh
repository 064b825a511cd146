#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds everything into build/ (warnings are errors under CI).
set -euo pipefail
cd "$(dirname "$0")/.."
werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTRAND_WERROR="$werror" >/dev/null
cmake --build build -j"$(nproc)"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets everything up, builds, and runs every test (core, gui, cli, end-to-end).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd build
ctest --output-on-failure -j"$(nproc)" "$@"

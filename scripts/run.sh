#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what building and running the programs needs (nothing for the tests), builds the two programs and their
# companion files (a Release build in build-release/, apart from the test build in build/), and starts the desktop
# program with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
bash scripts/build.sh --release
exec build-release/bin/ostrand "$@"

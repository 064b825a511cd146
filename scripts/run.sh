#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets everything up, builds, and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [ -x build/bin/ostrand ]; then
    exec build/bin/ostrand "$@"
fi
exec build/bin/ostrand-convert --help

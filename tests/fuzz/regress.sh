#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one fuzz target over its committed corpus, then over a bounded number of new inputs from a fixed
# seed. Usage: regress.sh TARGET CORPUS WORK RUNS. New inputs and any failing input go to WORK, never
# into the committed corpus.
set -euo pipefail
target=$1 corpus=$2 work=$3 runs=$4
rm -rf "$work"
mkdir -p "$work/new"
cd "$work"
exec "$target" -seed=1 -runs="$runs" -max_len=4096 -timeout=60 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/new" "$corpus"

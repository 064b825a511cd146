#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Mutation testing: plants small faults in the code, one at a time, and checks that a test fails for each.
#   bash scripts/mutate.sh [--since REV] [--count N] [--seed S] [--jobs J] [--scratch DIR] [--exclude REGEX]
#                          [--dry-run]
# Mutants: a comparison flipped (< and <=, > and >=, == and !=), an integer constant off by one, a statement that
# is only a call removed, an if's condition negated, two adjacent statements swapped. Places are drawn at random
# (the same ones for the same --seed, default 1) from all of src/ (*.cpp, *.h), or with --since REV from the
# lines of src/ changed between REV and HEAD; comments, preprocessor lines, string literals, static_asserts and
# code in #if branches the compiler skips are never mutated. Default --count 30.
# Each mutant is built incrementally in a scratch copy of HEAD's tracked files (default ../mutate-scratch beside
# the repository; kept between runs, so only the mutated file and the links are redone), then the tests run,
# those related to the mutated file first, stopping at the first failure: killed (a test failed or timed out, and
# passes again without the mutant), survived (every test passed) or not built (a compile error: not counted,
# another place is drawn). One line per mutant, then the score, killed / (killed + survived), and each survivor
# as a unified diff. The repository's files are only read; Ctrl-C restores the scratch copy.
set -euo pipefail
exec python3 "$(dirname "$0")/mutate.py" "$@"

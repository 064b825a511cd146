#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The documents are web pages: the samples and a set of tricky sources (UTF-16, Windows-1252, a long line, many
# columns, an empty file, markup escaped with --escape-html) are converted and read back from headless Chromium's
# DOM, cell by cell, with the table's border and colours (tests/e2e/support/browser_check.py).
# Usage: documents_in_browser.sh <bin dir> <out dir>. Exits 0 when every document reads as promised.
set -u
bin_dir=$1
out_dir=$2/documents_in_browser
browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
    echo "FAIL: chromium is missing (bash scripts/setup.sh test installs it)" >&2
    exit 1
fi
# A home of its own: the browser writes its profile there.
mkdir -p "$2"
export HOME="$2/browser-home"
mkdir -p "$HOME"
python3 "$(dirname "$0")/support/browser_check.py" "$bin_dir" "$out_dir" "$browser"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The desktop application's files: the menu entry and the metainfo pass their validators, every icon PNG has
# the size its folder names, and each man page names every option its program's --help names.
# Usage: desktop_files.sh <source dir> <build dir>. Exits 0 when all is well, 1 otherwise.
set -u
src=$1
build=$2
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

id=app.ostrand.Ostrand
out=$(desktop-file-validate "$src/resources/desktop/$id.desktop" 2>&1) || fail "desktop entry: $out"
echo "$out" | grep -q 'error:' && fail "desktop entry: $out"
out=$(appstreamcli validate --no-net "$build/desktop/$id.metainfo.xml" 2>&1) || fail "metainfo: $out"

pngs=0
for png in "$src"/resources/icons/hicolor/*/apps/$id.png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    size=$(identify -format '%wx%h' "$png")
    [ "$size" = "$folder" ] || fail "$png is $size"
    pngs=$((pngs + 1))
done
[ "$pngs" -eq 7 ] || fail "$pngs icon sizes instead of 7 (16 to 256)"

for program in ostrand ostrand-convert; do
    page=$build/man/$program.1.gz
    [ -s "$page" ] || { fail "no man page $page"; continue; }
    text=$(zcat "$page" | sed 's/\\-/-/g')
    options=$(QT_QPA_PLATFORM=offscreen "$build/bin/$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
    [ -n "$options" ] || fail "$program --help names no option"
    for option in $options; do
        grep -qF -- "$option" <<<"$text" || fail "$program(1) does not name $option"
    done
    version=$("$build/bin/$program" --version | head -n 1)
    grep -qF -- "${version##* }" <<<"$text" || fail "$program(1) does not name the version ${version##* }"
done

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "desktop entry, metainfo, $pngs icon sizes and two man pages checked"

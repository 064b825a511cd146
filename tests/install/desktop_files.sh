#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The desktop application's files: the menu entry and the metainfo pass their validators, carry the configured
# application id (a lowercase reverse-DNS name) and one and the same category, every icon PNG has the size its
# folder names, and each man page names every option its program's --help names.
# Usage: desktop_files.sh <source dir> <build dir>. Exits 0 when all is well, 1 otherwise.
set -u
src=$1
build=$2
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

id=$(sed -n 's/^OSTRAND_APP_ID:[A-Z]*=//p' "$build/CMakeCache.txt")
grep -qE '^[a-z][a-z0-9_]*(\.[a-z][a-z0-9_]*)+$' <<<"$id" || fail "the application id '$id' is no lowercase reverse-DNS name"
desktop=$build/desktop/$id.desktop
metainfo=$build/desktop/$id.metainfo.xml
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop entry: $out"
echo "$out" | grep -q 'error:' && fail "desktop entry: $out"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "metainfo: $out"
grep -qxF "Icon=$id" "$desktop" || fail "the desktop entry's icon is not $id"
grep -qF "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metainfo does not launch $id.desktop"
entry_categories=$(sed -n 's/^Categories=//p' "$desktop")
info_categories=$(sed -n 's|.*<category>\(.*\)</category>.*|\1;|p' "$metainfo" | tr -d '\n')
[ "$entry_categories" = "$info_categories" ] && [ "$(tr -cd ';' <<<"$entry_categories")" = ";" ] ||
    fail "categories: the desktop entry has '$entry_categories', the metainfo '$info_categories' (one, the same)"

pngs=0
for png in "$src"/resources/icons/hicolor/*/apps/ostrand.png; do
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

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Contact details come from one place and are never invented: no file of the project names an address or a web
# site outside the reserved example domains and the few public references it cites, and the values the build was
# configured with (OSTRAND_SUPPORT_ADDRESS, OSTRAND_HOMEPAGE, OSTRAND_MAINTAINER) are the ones in the programs,
# the package's files and the AppStream data. Usage: contacts.sh <source dir> <build dir>.
set -u
src=$1
build=$2
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Reserved for examples (RFC 2606 and 6761), and the two public standards the packaging files cite (Debian's
# copyright format, the W3C).
allowed='^(([a-z0-9-]+\.)*(example|invalid|test|localhost)|(www\.)?example\.(com|net|org)|www\.debian\.org|www\.w3\.org)$'
if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    files=$(git -C "$src" ls-files)
else
    files=$(cd "$src" && find . -type f ! -path './build*' ! -path './.git/*' | sed 's|^\./||')
fi
while IFS= read -r file; do
    case "$file" in *.png | *.ico | *.CUR | tests/fuzz/corpus/*) continue ;; esac
    [ -f "$src/$file" ] || continue
    grep -ohE 'https?://[A-Za-z0-9.-]+|[A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+' "$src/$file" 2>/dev/null |
        while IFS= read -r found; do
            domain=${found#*://}
            domain=${domain#*@}
            domain=$(tr '[:upper:]' '[:lower:]' <<<"$domain" | sed 's/\.*$//')
            [ -z "$domain" ] && continue # "https://..." standing for any address
            grep -qE "$allowed" <<<"$domain" || echo "$file: $found"
        done
done <<<"$files" >"$build/contacts-found.txt"
[ -s "$build/contacts-found.txt" ] && fail "addresses or sites the project does not own: $(cat "$build/contacts-found.txt")"

cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
support=$(cached OSTRAND_SUPPORT_ADDRESS)
homepage=$(cached OSTRAND_HOMEPAGE)
maintainer=$(cached OSTRAND_MAINTAINER)
[ -n "$support" ] && [ -n "$maintainer" ] || fail "the build's cache holds no support address or maintainer"

# The programs hold their texts in UTF-16.
wide=$(printf '%s' "$support" | sed 's/[][\.*^$+?(){}|/]/\\&/g; s/\\\?./&\\x00/g')
for program in ostrand ostrand-convert; do
    LC_ALL=C grep -qaP -- "$wide" "$build/bin/$program" || fail "$program does not hold the support address $support"
done
grep -qxF "Upstream-Contact: $maintainer" "$build/package/copyright" || fail "copyright does not name $maintainer"
grep -qF -- "-- $maintainer  " "$build/package/changelog" || fail "changelog does not name $maintainer"
grep -qF "\"$maintainer\"" "$build/CPackConfig.cmake" || fail "the package's maintainer is not $maintainer"
metainfo=$build/desktop/$(cached OSTRAND_APP_ID).metainfo.xml
if [ -n "$homepage" ]; then
    grep -qF "<url type=\"homepage\">$homepage</url>" "$metainfo" || fail "the metainfo does not name $homepage"
    grep -qxF "Source: $homepage" "$build/package/copyright" || fail "copyright does not name $homepage"
else
    grep -q '<url\|<screenshots>' "$metainfo" && fail "the metainfo names a site though no home page is set"
    grep -q '^Source:' "$build/package/copyright" && fail "copyright names a source though no home page is set"
    grep -q 'CPACK_DEBIAN_PACKAGE_HOMEPAGE' "$build/CPackConfig.cmake" && fail "the package names a home page though none is set"
fi

[ "$failures" -eq 0 ] && echo "contacts: $support, ${homepage:-no home page}, $maintainer"
exit $((failures > 0))

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Proves that the Debian package installs and runs on a clean Debian 12 system: builds the package, makes a
# minimal root with mmdebstrap from this machine's own apt sources, installs the package there with apt (which
# pulls only its declared dependencies), runs the converter, starts `ostrand FILE` under Xvfb as an ordinary
# user and converts from the real window (the file and the samples), checks the documents' bytes, then
# purges the package and checks that nothing of it is left (scripts/check-package-inside.sh).
# Needs root. Usage: check-package.sh [PACKAGE.deb] (without one, scripts/package.sh builds it).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "check-package.sh needs root (mmdebstrap --mode=root, chroot)" >&2; exit 1; }
start=$(date +%s)

if [ $# -ge 1 ]; then
    deb=$(realpath "$1")
else
    deb=$(bash scripts/package.sh | tail -n 1)
fi
[ -f "$deb" ] || { echo "no package: $deb" >&2; exit 1; }

# The machine's own Debian sources, so the root comes from the same archive as the build and no host name is
# written here: the file a Debian 12 system keeps them in, or the classic one-line list. Other files of
# sources.list.d (third-party archives) are left out.
sources=
if [ -s /etc/apt/sources.list.d/debian.sources ]; then
    sources=/etc/apt/sources.list.d/debian.sources
elif grep -Eq '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list 2>/dev/null; then
    sources=/etc/apt/sources.list
fi
[ -n "$sources" ] || { echo "no Debian apt sources on this machine (debian.sources or sources.list)" >&2; exit 1; }

work=$(mktemp -d /tmp/ostrand-package-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$deb" "$work/ostrand.deb"
cp scripts/check-package-inside.sh "$work/inside.sh"

# The root lives in a temporary folder of mmdebstrap's own (target /dev/null), which it unmounts and
# deletes whatever the check's outcome.
packaged=$(date +%s)
mmdebstrap --mode=root --variant=apt --quiet \
    --customize-hook="copy-in $work/ostrand.deb $work/inside.sh /tmp" \
    --customize-hook='chroot "$1" bash /tmp/inside.sh' \
    bookworm /dev/null "$sources"
end=$(date +%s)
echo "package check passed in $((end - start)) s ($((end - packaged)) s in the clean root): $(basename "$deb")"

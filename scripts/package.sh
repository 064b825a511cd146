#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package of Ostrand from the source package in debian/ with dpkg-buildpackage (Debian's build
# flags, every hardening feature), in a copy of the tracked files under build-package/, and prints the .deb's
# path last. Two builds of the same commit give the same bytes: SOURCE_DATE_EPOCH is the last commit's time.
# The contact settings (OSTRAND_SUPPORT_ADDRESS, OSTRAND_HOMEPAGE, OSTRAND_MAINTAINER; see the README) are taken
# from the environment when set, and written into the copy's debian/ files too.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh package
for tool in dpkg-buildpackage dh; do
    command -v "$tool" >/dev/null ||
        { echo "package.sh: $tool is missing: install dpkg-dev and debhelper (bash scripts/setup.sh package does)" >&2; exit 1; }
done

work=$PWD/build-package
rm -rf "$work"
mkdir -p "$work/ostrand"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$work/ostrand"
    export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
else
    tar --exclude='./build*' --exclude='./bench/work' -cf - . | tar -xf - -C "$work/ostrand"
fi

debian=$work/ostrand/debian
if [ -n "${OSTRAND_MAINTAINER:-}" ]; then
    sed -i "s|^Maintainer: .*|Maintainer: $OSTRAND_MAINTAINER|" "$debian/control"
    sed -i "s|^ -- .*>  | -- $OSTRAND_MAINTAINER  |" "$debian/changelog"
    sed -i "s|^Upstream-Contact: .*|Upstream-Contact: $OSTRAND_MAINTAINER|" "$debian/copyright"
fi
if [ -n "${OSTRAND_HOMEPAGE:-}" ]; then
    sed -i "s|^Standards-Version:|Homepage: $OSTRAND_HOMEPAGE\nStandards-Version:|" "$debian/control"
    sed -i "s|^Upstream-Contact: .*|&\nSource: $OSTRAND_HOMEPAGE|" "$debian/copyright"
fi

log=$work/dpkg-buildpackage.log
if ! (cd "$work/ostrand" && dpkg-buildpackage -b -us -uc -j"$(nproc)") >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "package.sh: dpkg-buildpackage failed (the whole log: $log)" >&2
    exit 1
fi
echo "package.sh: built with dpkg-buildpackage (log: $log)" >&2
deb=$(ls "$work"/ostrand_*.deb)
echo "$deb"

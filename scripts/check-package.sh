#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Proves the Debian package as a distribution would:
#  1. Debian's own checks: two builds of the same commit give the same bytes, lintian finds no error or warning,
#     and hardening-check finds PIE, stack protector, fortify, relro and bindnow in both programs;
#  2. in a clean Debian 12 root and in a clean Debian 13 root (mmdebstrap, from this machine's own apt sources),
#     the package installs with apt (which pulls only its declared dependencies), the converter converts,
#     `ostrand FILE` runs under Xvfb as an ordinary user and converts from the real window (the file and the
#     samples), the documents' bytes are checked, and a purge leaves nothing (scripts/check-package-inside.sh);
#  3. in a clean Debian 12 root and in a clean Debian 13 root, the README's run command (without a display) installs
#     only what the programs need, builds them and ends with the window's one line about the missing display, and
#     the package command builds the package (scripts/check-commands-inside.sh);
#  4. the source package builds in a clean Debian 13 root with only its declared build dependencies.
# Needs root. Usage: check-package.sh [PACKAGE.deb] (without one, scripts/package.sh builds it, twice).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "check-package.sh needs root (mmdebstrap --mode=root, chroot)" >&2; exit 1; }
bash scripts/setup.sh check-package
start=$(date +%s)
lap() { echo "   ($(($(date +%s) - $1)) s)"; }

work=$(mktemp -d /tmp/ostrand-package-check.XXXXXX)
trap 'rm -rf "$work"' EXIT

if [ $# -ge 1 ]; then
    deb=$(realpath "$1")
    [ -f "$deb" ] || { echo "no package: $deb" >&2; exit 1; }
    cp "$deb" "$work/ostrand.deb"
else
    echo "== the package, built twice"
    t=$(date +%s)
    deb=$(bash scripts/package.sh | tail -n 1)
    cp "$deb" "$work/ostrand.deb"
    again=$(bash scripts/package.sh | tail -n 1)
    cmp -s "$work/ostrand.deb" "$again" ||
        { echo "FAIL: two builds of the same commit gave different packages" >&2; exit 1; }
    echo "   the same bytes twice: $(sha256sum "$again" | cut -c1-16)..."
    # The compiler has nothing to say about the code (dpkg's own tools say "warning" in other words).
    if grep -n 'warning:' build-package/dpkg-buildpackage.log; then
        echo "FAIL: the package build warns (build-package/dpkg-buildpackage.log)" >&2
        exit 1
    fi
    lap "$t"
fi

echo "== lintian and hardening-check"
# The binary package and the source package (made from the tracked files), every tag shown, pedantic ones too.
mkdir "$work/dsc" "$work/dsc/ostrand"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$work/dsc/ostrand"
(cd "$work/dsc" && dpkg-source -b ostrand >/dev/null)
for checked in "$work/ostrand.deb" "$work"/dsc/ostrand_*.dsc; do
    lintian --pedantic -I -E --fail-on warning,error "$checked" 2>&1 | grep -v '^running with root privileges' || true
    lintian --pedantic -I -E --fail-on warning,error "$checked" >/dev/null 2>&1 ||
        { echo "FAIL: lintian $(basename "$checked")" >&2; exit 1; }
done
mkdir "$work/unpacked"
dpkg-deb -x "$work/ostrand.deb" "$work/unpacked"
# Control-flow protection is left out: Debian 12's C runtime objects carry no CET marks, so no program built on it
# can have them.
hardening-check --nocfprotection "$work/unpacked/usr/bin/ostrand" "$work/unpacked/usr/bin/ostrand-convert" ||
    { echo "FAIL: hardening-check" >&2; exit 1; }

# The machine's own Debian sources, so the roots come from the same archive as the build and no host name is
# written here: the file a Debian 12 system keeps them in, or the classic one-line list. Other files of
# sources.list.d (third-party archives) are left out. Debian 13's are the same with the suite's name changed.
sources=
if [ -s /etc/apt/sources.list.d/debian.sources ]; then
    sources=/etc/apt/sources.list.d/debian.sources
elif grep -Eq '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list 2>/dev/null; then
    sources=/etc/apt/sources.list
fi
[ -n "$sources" ] || { echo "no Debian apt sources on this machine (debian.sources or sources.list)" >&2; exit 1; }
cp "$sources" "$work/bookworm.sources"
sed 's/\bbookworm\b/trixie/g; s/\bbookworm-/trixie-/g' "$sources" >"$work/trixie.sources"
cp scripts/check-package-inside.sh "$work/inside.sh"

# Each root lives in a temporary folder of mmdebstrap's own (target /dev/null), which it unmounts and deletes
# whatever the check's outcome.
for suite in bookworm trixie; do
    echo "== installed in a clean $suite root"
    t=$(date +%s)
    mmdebstrap --mode=root --variant=apt --quiet \
        --customize-hook="copy-in $work/ostrand.deb $work/inside.sh /tmp" \
        --customize-hook='chroot "$1" bash /tmp/inside.sh' \
        "$suite" /dev/null "$work/$suite.sources"
    lap "$t"
done

# A fresh clone's files: what the README's commands and the source package start from.
mkdir "$work/ostrand"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$work/ostrand"

# The README's two commands for a newcomer, on each release: the run command (no display there, so it ends with
# the window's one line about that) and the package command (scripts/check-commands-inside.sh).
for suite in bookworm trixie; do
    echo "== the run and package commands in a clean $suite root"
    t=$(date +%s)
    mmdebstrap --mode=root --variant=apt --quiet \
        --customize-hook="copy-in $work/ostrand /tmp" \
        --customize-hook='chroot "$1" bash /tmp/ostrand/scripts/check-commands-inside.sh' \
        "$suite" /dev/null "$work/$suite.sources"
    lap "$t"
done

echo "== the source package built in a clean trixie root"
t=$(date +%s)
cp -a "$work/ostrand" "$work/source"
# apt installs the build dependencies debian/control declares, and nothing else.
mmdebstrap --mode=root --variant=apt --quiet --include=build-essential \
    --customize-hook="copy-in $work/source /tmp" \
    --customize-hook='chroot "$1" bash -c "apt-get build-dep -y -q /tmp/source >/tmp/build-dep.log 2>&1 || { tail -n 20 /tmp/build-dep.log; exit 1; }"' \
    --customize-hook='chroot "$1" bash -c "cd /tmp/source && dpkg-buildpackage -b -us -uc >/tmp/build.log 2>&1 || { tail -n 40 /tmp/build.log; exit 1; }; ls /tmp/ostrand_*.deb"' \
    trixie /dev/null "$work/trixie.sources"
lap "$t"

echo "package check passed in $(($(date +%s) - start)) s: $(basename "${deb:-$1}")"

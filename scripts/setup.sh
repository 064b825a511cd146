#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs every Debian package that the build, the tests and the benchmark need. Idempotent: when all of
# them are present it only checks and returns.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    clang-14 libclang-rt-14-dev     # clang, and its libFuzzer and sanitizer runtimes
    qt6-base-dev qt6-qpa-plugins libgl-dev
    xvfb xauth xdotool x11-utils imagemagick fonts-liberation python3
    acl attr                        # setfacl, getfattr: documents that keep their access rules
    chromium                        # the documents read back in a real browser
    time coreutils
    openbox xclip                   # a window manager and the clipboard under Xvfb, for the report boxes' end-to-end test
    help2man desktop-file-utils appstream librsvg2-bin qt6-translations-l10n
    mmdebstrap dpkg-dev file
    debhelper lintian devscripts    # the source package, its checks (lintian, hardening-check)
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

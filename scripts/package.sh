#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package of Ostrand (Release, into build-package/) with CPack and prints its path last.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DOSTRAND_BUILD_TESTS=OFF -DOSTRAND_BUILD_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)" >&2
rm -f build-package/*.deb
(cd build-package && cpack -G DEB >&2)
deb=$(ls build-package/*.deb)
echo "$PWD/$deb"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders the icon's PNG sizes for the hicolor theme (and the window) from its one SVG source; they are installed
# under the application id (OSTRAND_APP_ID). Run it after
# changing resources/icons/ostrand.svg and commit the PNGs. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
icons="$(dirname "$0")/../icons"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "$icons/hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$icons/ostrand.svg" \
        -o "$icons/hicolor/${size}x${size}/apps/ostrand.png"
done

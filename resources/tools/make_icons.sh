#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders the icon's PNG sizes for the hicolor theme (and the window) from its one SVG source. Run it after
# changing resources/icons/app.ostrand.Ostrand.svg and commit the PNGs. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
icons="$(dirname "$0")/../icons"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "$icons/hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$icons/app.ostrand.Ostrand.svg" \
        -o "$icons/hicolor/${size}x${size}/apps/app.ostrand.Ostrand.png"
done

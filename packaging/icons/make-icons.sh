#!/usr/bin/env bash
# Renders the vector icon at the hicolor theme's sizes. The PNGs are committed, so building and
# packaging need no SVG renderer; rerun this after changing zel-vanto.svg (needs librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" --output "zel-vanto-$size.png" zel-vanto.svg
done

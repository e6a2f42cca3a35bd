#!/usr/bin/env bash
# Draws the program's icon: a title strip over a column of watch boxes, green and red.
# 100 x 100 pixels in 256 colours, as PNG and as a Windows icon.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 100x100 xc:'#c0c0c0' \
    -fill black -draw 'rectangle 18,4 81,21' \
    -fill '#00ff00' -draw 'rectangle 28,10 71,15' \
    -stroke '#404040' -strokewidth 2 \
    -fill '#00ff00' -draw 'rectangle 18,24 81,40' \
    -fill '#ff0000' -draw 'rectangle 18,42 81,58' \
    -fill '#00ff00' -draw 'rectangle 18,60 81,76' \
    -fill '#00ff00' -draw 'rectangle 18,78 81,94' \
    -colors 256 -type Palette PNG8:zel-vanto.png
convert zel-vanto.png -colors 256 zel-vanto.ico

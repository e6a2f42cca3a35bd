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

# ImageMagick writes an icon of few colours with a 16-colour palette; the design's icon has 256.
# So the icon is written here: one 8-bit image with a 256-entry palette and an opaque mask.
convert zel-vanto.png -depth 8 rgb:- | python3 -c '
import struct, sys
size = 100
rgb = sys.stdin.buffer.read()
pixels = [rgb[i:i + 3] for i in range(0, len(rgb), 3)]
palette = sorted(set(pixels))
assert len(pixels) == size * size and len(palette) <= 256
index = {colour: i for i, colour in enumerate(palette)}
palette += [b"\0\0\0"] * (256 - len(palette))
rows = [bytes(index[p] for p in pixels[y * size:(y + 1) * size]) for y in range(size)]
xor = b"".join(reversed(rows))                      # bottom-up; 100 bytes a row, no padding
mask = bytes(((size + 31) // 32 * 4) * size)        # 1 bit a pixel, rows padded to 32 bits
colours = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 8, 0, len(xor) + len(mask), 0, 0,
                     256, 0)
image = header + colours + xor + mask
entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), 6 + 16)
sys.stdout.buffer.write(struct.pack("<HHH", 0, 1, 1) + entry + image)
' >zel-vanto.ico

#!/usr/bin/env python3
# Draws the installer's welcome picture (a blue gradient with a box) as a 24-bit BMP.
import struct, sys
W, H = 150, 258
rows = []
for y in range(H):
    row = bytearray()
    for x in range(W):
        t = y / (H - 1)
        r, g, b = int(40 + 60 * t), int(90 + 90 * t), int(170 + 70 * t)
        if 35 <= x < 115 and 90 <= y < 170:
            r, g, b = (235, 190, 90) if not (70 <= x < 80) else (200, 60, 50)
        row += bytes((b, g, r))
    row += b"\0" * ((4 - len(row) % 4) % 4)
    rows.append(bytes(row))
pixels = b"".join(reversed(rows))
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1] if len(sys.argv) > 1 else "welcome.bmp", "wb").write(header + info + pixels)

#!/usr/bin/env python3
"""Draws the program's small pictures (icons, status strip, side panel, banner logo)
as plain BMP and ICO files, so no image library is needed.  Run it from anywhere;
it writes next to itself."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp24(width, height, pixel):
    """A bottom-up 24-bit BMP; pixel(x, y) gives (r, g, b) with y=0 at the top."""
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def ico(images):
    """images: list of (size, pixel) with pixel(x, y) -> (r, g, b, a)."""
    entries = []
    blobs = []
    for size, pixel in images:
        xor = bytearray()
        mask_row = ((size + 31) // 32) * 4
        andmask = bytearray()
        for y in range(size - 1, -1, -1):
            bits = 0
            mrow = bytearray(mask_row)
            for x in range(size):
                r, g, b, a = pixel(x, y)
                xor += bytes((b, g, r, a))
                if a < 128:
                    mrow[x // 8] |= 0x80 >> (x % 8)
            andmask += mrow
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
        blobs.append(info + bytes(xor) + bytes(andmask))
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for (size, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


BLUE = (31, 78, 140)
LIGHT = (214, 228, 245)
MAGENTA = (255, 0, 255)


def app_icon(size):
    """A blue archive box with a white envelope flap."""
    def pixel(x, y):
        u = (x + 0.5) / size
        v = (y + 0.5) / size
        if not (0.06 <= u <= 0.94 and 0.16 <= v <= 0.90):
            return (0, 0, 0, 0)
        edge = min(u - 0.06, 0.94 - u, v - 0.16, 0.90 - v) < 1.5 / size
        if edge:
            return (16, 44, 92, 255)
        # envelope flap: a V from the top corners to the middle
        flap = abs(v - 0.16 - 0.42 * (1 - abs(u - 0.5) * 2)) < 1.2 / size
        if flap:
            return (16, 44, 92, 255)
        if v > 0.72 and 0.30 < u < 0.70 and v < 0.80:
            return (255, 196, 40, 255)
        shade = int(30 * v)
        return (255 - shade, 255 - shade, 255, 255) if v < 0.58 else (BLUE[0] + 20, BLUE[1] + 30, BLUE[2] + 40, 255)
    return pixel


def setup_icon(size):
    """The program's box with a green arrow pointing down into it: the installer."""
    box = app_icon(size)

    def pixel(x, y):
        u = (x + 0.5) / size
        v = (y + 0.5) / size
        # the arrow: a shaft and a head, centred a little right of the middle
        cu = 0.66
        line = 1.3 / size
        shaft = abs(u - cu) <= 0.09 and 0.02 <= v <= 0.40
        head = 0.36 <= v <= 0.66 and abs(u - cu) <= 0.26 * (0.66 - v) / 0.30
        if shaft or head:
            rim_shaft = shaft and not head and (abs(u - cu) > 0.09 - line or v < 0.02 + line)
            rim_head = head and abs(u - cu) > 0.26 * (0.66 - v) / 0.30 - line * 1.4
            if rim_shaft or rim_head:
                return (20, 100, 30, 255)
            return (60, 180, 70, 255)
        return box(x, y)
    return pixel


def status_strip():
    """Ten 16x16 images, magenta is transparent: 0 failed, 1 saved, 2 unchanged, 9 running."""
    def cell(index, x, y):
        cx, cy = x - 7.5, y - 7.5
        inside = cx * cx + cy * cy <= 7.2 * 7.2
        rim = inside and cx * cx + cy * cy >= 6.0 * 6.0
        if index == 0:  # white cross on red
            if not inside:
                return MAGENTA
            if rim:
                return (140, 20, 20)
            if abs(cx - cy) < 1.3 or abs(cx + cy) < 1.3:
                if abs(cx) < 4.2 and abs(cy) < 4.2:
                    return (255, 255, 255)
            return (214, 40, 40)
        if index == 1:  # white tick on green
            if not inside:
                return MAGENTA
            if rim:
                return (20, 110, 30)
            on_short = -4.5 <= cx <= -1 and abs(cy - (cx + 1) - 2.5) < 1.4
            on_long = -1.5 <= cx <= 4.5 and abs(cy - (1.5 - (cx + 1) * 1.15)) < 1.4
            if on_short or on_long:
                return (255, 255, 255)
            return (46, 160, 60)
        if index == 2:  # equals sign on grey-blue: unchanged
            if not inside:
                return MAGENTA
            if rim:
                return (70, 90, 120)
            if abs(cx) < 4.2 and (abs(cy + 2) < 1.0 or abs(cy - 2) < 1.0):
                return (255, 255, 255)
            return (120, 144, 180)
        if index == 9:  # hourglass: in progress
            if y in (1, 14) and 3 <= x <= 12:
                return (90, 60, 20)
            if 2 <= y <= 13:
                half = abs(y - 7.5)
                width = 0.5 + half * 0.8
                if abs(cx) <= width:
                    if abs(cx) > width - 1:
                        return (90, 60, 20)
                    sand = (y >= 10) or (y <= 5 and y >= 4)
                    return (230, 180, 40) if sand else (255, 250, 220)
            return MAGENTA
        return MAGENTA

    return bmp24(16 * 10, 16, lambda x, y: cell(x // 16, x % 16, y))


def side_panel(width, height, update=False):
    """The picture panel at the main window's left edge: a blue gradient with soft circles
    (green for the update wizard)."""
    def pixel(x, y):
        t = y / height
        r = int(24 + 40 * t)
        g = int(70 + 60 * t)
        b = int(140 + 70 * t)
        if update:
            r, g, b = int(20 + 30 * t), int(110 + 70 * t), int(70 + 50 * t)
        for cx, cy, rad in ((40, 300, 120), (170, 90, 70), (110, 200, 40)):
            d = math.hypot(x - cx, y - cy)
            if d < rad:
                k = 0.10 * (1 - d / rad)
                r, g, b = (int(r + (255 - r) * k), int(g + (255 - g) * k), int(b + (255 - b) * k))
        # an envelope outline in the lower part
        ex, ey, ew, eh = 40, 250, 120, 76
        if ex <= x <= ex + ew and ey <= y <= ey + eh:
            onedge = x in (ex, ex + 1, ex + ew, ex + ew - 1) or y in (ey, ey + 1, ey + eh, ey + eh - 1)
            diag = abs((y - ey) - (eh * 0.55) * (1 - abs(x - ex - ew / 2) / (ew / 2))) < 1.2
            if onedge or diag:
                return (235, 242, 252)
        return (min(r, 255), min(g, 255), min(b, 255))
    return bmp24(width, height, pixel)


def banner_logo(size):
    ipix = app_icon(size)

    def pixel(x, y):
        r, g, b, a = ipix(x, y)
        if a < 128:
            return (255, 255, 255)
        return (r, g, b)
    return bmp24(size, size, pixel)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    # 48 pixels for the large icon views of Windows XP, 32 and 16 for the others.
    write("brevisto.ico", ico([(48, app_icon(48)), (32, app_icon(32)), (16, app_icon(16))]))
    write("setup.ico", ico([(48, setup_icon(48)), (32, setup_icon(32)), (16, setup_icon(16))]))
    write("status.bmp", status_strip())
    write("side.bmp", side_panel(200, 362))
    write("side_update.bmp", side_panel(200, 362, update=True))
    write("banner.bmp", banner_logo(48))

#!/usr/bin/env python3
"""Draws Tavrix's application icon and writes it as a Windows .ico file.

The icon is a dark rounded tile with a green screen on its stand and a white pointer resting on
the screen: one PC showing its screen, another one pointing at it. Each size is rendered from the
same shapes with supersampling (no image library needed), so small sizes stay crisp.

Usage: make_icon.py OUTPUT.ico
"""
import math
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)

TILE_TOP = (0x2A, 0x30, 0x3B)
TILE_BOTTOM = (0x14, 0x16, 0x1A)
ACCENT = (0x25, 0xE0, 0x7A)
SCREEN = (0x12, 0x3A, 0x2A)
POINTER = (0xF2, 0xF5, 0xF8)
OUTLINE = (0x0C, 0x12, 0x10)

# The pointer: a classic arrow, tip first, in units of the icon's size.
ARROW = [(0.0, 0.0), (0.0, 0.62), (0.15, 0.49), (0.25, 0.70), (0.34, 0.66), (0.24, 0.45), (0.43, 0.45)]
ARROW_AT = (0.53, 0.40)
ARROW_SCALE = 0.62


def rounded_box(x, y, left, top, right, bottom, radius):
    """True when (x, y) lies inside the rounded rectangle."""
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius and left <= x <= right and top <= y <= bottom


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def inside_polygon(px, py, points):
    inside = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


ARROW_POINTS = [(ARROW_AT[0] + x * ARROW_SCALE, ARROW_AT[1] + y * ARROW_SCALE) for x, y in ARROW]


def sample(x, y, size):
    """The colour (r, g, b, a) of one sample at (x, y) in 0..1 units."""
    # Thin strokes would vanish at 16 px: the small sizes get heavier lines.
    stroke = 0.075 if size <= 24 else 0.06
    outline = 0.04 if size <= 24 else 0.02
    colour = None
    if rounded_box(x, y, 0.02, 0.02, 0.98, 0.98, 0.2):
        t = y
        colour = tuple(int(TILE_TOP[i] + (TILE_BOTTOM[i] - TILE_TOP[i]) * t) for i in range(3)) + (255,)
    if colour is None:
        return (0, 0, 0, 0)
    # The screen and its stand.
    if rounded_box(x, y, 0.14, 0.18, 0.86, 0.68, 0.07):
        colour = ACCENT + (255,)
        if rounded_box(x, y, 0.14 + stroke, 0.18 + stroke, 0.86 - stroke, 0.68 - stroke, 0.03):
            colour = SCREEN + (255,)
    if 0.44 <= x <= 0.56 and 0.68 <= y <= 0.77:
        colour = ACCENT + (255,)
    if rounded_box(x, y, 0.30, 0.76, 0.70, 0.83, 0.03):
        colour = ACCENT + (255,)
    # The pointer with a dark edge, so it reads over the green.
    edge = min(segment_distance(x, y, *ARROW_POINTS[i], *ARROW_POINTS[(i + 1) % len(ARROW_POINTS)])
               for i in range(len(ARROW_POINTS)))
    if inside_polygon(x, y, ARROW_POINTS):
        colour = (OUTLINE if edge < outline else POINTER) + (255,)
    elif edge < outline:
        colour = OUTLINE + (255,)
    return colour


def render(size):
    """Straight-alpha BGRA rows, top row first."""
    grid = 4 if size <= 64 else (3 if size <= 128 else 2)
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0
            for sy in range(grid):
                for sx in range(grid):
                    cr, cg, cb, ca = sample((px + (sx + 0.5) / grid) / size, (py + (sy + 0.5) / grid) / size, size)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a == 0:
                row += bytes(4)
            else:
                row += bytes((round(b / a), round(g / a), round(r / a), round(a / (grid * grid))))
        rows.append(bytes(row))
    return rows


def png(size, rows):
    raw = b"".join(b"\x00" + bytes(_bgra_to_rgba(row)) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def _bgra_to_rgba(row):
    out = bytearray(row)
    out[0::4], out[2::4] = row[2::4], row[0::4]
    return out


def dib(size, rows):
    """A 32-bit icon bitmap: the header says twice the height (image and mask), rows bottom-up."""
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, size * size * 4 + mask_row * size, 0, 0, 0, 0)
    return header + b"".join(reversed(rows)) + bytes(mask_row * size)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(size, rows) if size >= 256 else dib(size, rows)))
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        dim = 0 if size >= 256 else size
        data += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(image for _, image in images)
    with open(sys.argv[1], "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()

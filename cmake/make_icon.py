#!/usr/bin/env python3
"""Draws the program's icon, a cube with a tag on a blue tile, and writes it as an .ico.

    make_icon.py OUTPUT.ico

Every size Windows asks for is drawn from the same shapes, smoothed by sampling each pixel
several times; 256 pixels is stored as PNG, the smaller ones as 32-bit bitmaps with alpha.
"""
import math
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def inside_rounded_square(x, y, margin, radius):
    low, high = margin + radius, 1 - margin - radius
    dx = max(low - x, 0, x - high)
    dy = max(low - y, 0, y - high)
    return margin <= x <= 1 - margin and margin <= y <= 1 - margin and dx * dx + dy * dy <= radius * radius


def rotated(points, centre, degrees):
    angle = math.radians(degrees)
    c, s = math.cos(angle), math.sin(angle)
    cx, cy = centre
    return [(cx + (x - cx) * c - (y - cy) * s, cy + (x - cx) * s + (y - cy) * c) for x, y in points]


# The cube, seen from above at the usual isometric angle.
CX, CY, EDGE = 0.43, 0.47, 0.27
W = EDGE * math.sqrt(3) / 2
TOP = [(CX, CY - EDGE), (CX + W, CY - EDGE / 2), (CX, CY), (CX - W, CY - EDGE / 2)]
LEFT = [(CX - W, CY - EDGE / 2), (CX, CY), (CX, CY + EDGE), (CX - W, CY + EDGE / 2)]
RIGHT = [(CX, CY), (CX + W, CY - EDGE / 2), (CX + W, CY + EDGE / 2), (CX, CY + EDGE)]

# The tag: a label with a pointed end and a hole, hanging at the lower right.
TAG_CENTRE = (0.70, 0.72)
TAG = rotated([(0.55, 0.64), (0.80, 0.64), (0.88, 0.72), (0.80, 0.80), (0.55, 0.80)],
              TAG_CENTRE, -40)
HOLE = rotated([(0.795, 0.72)], TAG_CENTRE, -40)[0]
HOLE_RADIUS = 0.035

# Colours as (red, green, blue).
TILE_TOP, TILE_BOTTOM = (46, 117, 182), (23, 62, 110)
CUBE_TOP, CUBE_LEFT, CUBE_RIGHT = (255, 255, 255), (214, 228, 240), (160, 190, 220)
TAG_FILL = (245, 166, 35)


def colour_at(x, y):
    """The colour and coverage (0 or 1) of one sample point of the unit square."""
    if not inside_rounded_square(x, y, 0.04, 0.16):
        return None
    if inside_polygon(x, y, TAG) and math.hypot(x - HOLE[0], y - HOLE[1]) > HOLE_RADIUS:
        return TAG_FILL
    for face, colour in ((TOP, CUBE_TOP), (LEFT, CUBE_LEFT), (RIGHT, CUBE_RIGHT)):
        if inside_polygon(x, y, face):
            return colour
    t = (y - 0.04) / 0.92
    return tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM))


def draw(size):
    """Rows of (red, green, blue, alpha) pixels, top row first."""
    samples = 2 if size > 64 else 5
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total, r, g, b = 0, 0, 0, 0
            for sy in range(samples):
                for sx in range(samples):
                    colour = colour_at((px + (sx + 0.5) / samples) / size,
                                       (py + (sy + 0.5) / samples) / size)
                    if colour:
                        total += 1
                        r, g, b = r + colour[0], g + colour[1], b + colour[2]
            if total:
                row.append((r // total, g // total, b // total,
                            round(255 * total / samples ** 2)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bitmap_image(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def png_image(rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_file(sizes):
    images = [png_image(draw(s)) if s >= 256 else bitmap_image(draw(s)) for s in sizes]
    offset = 6 + 16 * len(sizes)
    directory = struct.pack("<HHH", 0, 1, len(sizes))
    for size, image in zip(sizes, images):
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as out:
        out.write(icon_file(SIZES))


if __name__ == "__main__":
    main()

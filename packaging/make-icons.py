#!/usr/bin/env python3
"""Draws the reader's icon: an open book under a small lamp, on a dark blue tile.

Writes icons/folianto.svg and icons/folianto-N.png for each size below. Run from this
folder; the outputs are committed, so this is only needed to change the picture.
"""
import struct
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)

TILE = (0x28, 0x30, 0x5C)
PAGE = (0xFB, 0xF7, 0xEE)
LINE = (0xB9, 0xB0, 0x9A)
RIBBON = (0xD9, 0x6C, 0x1E)
LAMP = (0xFF, 0xD2, 0x7A)

# Every shape in a unit square, painted in this order.
LEFT_PAGE = [(0.13, 0.33), (0.48, 0.39), (0.48, 0.82), (0.13, 0.76)]
RIGHT_PAGE = [(0.52, 0.39), (0.87, 0.33), (0.87, 0.76), (0.52, 0.82)]
RIBBON_SHAPE = [(0.70, 0.365), (0.77, 0.353), (0.77, 0.90), (0.735, 0.86), (0.70, 0.90)]
LAMP_CENTRE, LAMP_RADIUS = (0.5, 0.19), 0.075


def text_lines():
    """Three lines of print on each page, parallel to its top edge."""
    lines = []
    for i in range(3):
        y = 0.50 + i * 0.085
        lines.append([(0.18, y - 0.045), (0.44, y), (0.44, y + 0.025), (0.18, y - 0.02)])
        lines.append([(0.56, y), (0.82, y - 0.045), (0.82, y - 0.02), (0.56, y + 0.025)])
    return lines


SHAPES = ([("polygon", LEFT_PAGE, PAGE), ("polygon", RIGHT_PAGE, PAGE)] +
          [("polygon", line, LINE) for line in text_lines()] +
          [("polygon", RIBBON_SHAPE, RIBBON), ("circle", (LAMP_CENTRE, LAMP_RADIUS), LAMP)])


def in_tile(x, y):
    """A rounded square from 0.04 to 0.96 with corners of radius 0.18."""
    lo, hi, r = 0.04, 0.96, 0.18
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_polygon(points, x, y):
    inside = False
    for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def colour_at(x, y):
    if not in_tile(x, y):
        return None
    colour = TILE
    for kind, shape, fill in SHAPES:
        if kind == "polygon" and in_polygon(shape, x, y):
            colour = fill
        elif kind == "circle" and (x - shape[0][0]) ** 2 + (y - shape[0][1]) ** 2 <= shape[1] ** 2:
            colour = fill
    return colour


def render(size, samples=4):
    rows = []
    for py in range(size):
        row = bytearray(b"\0")  # filter byte
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            if a:
                row += bytes((r // a, g // a, b // a, 255 * a // (samples * samples)))
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))
    return png(size, size, b"".join(rows))


def png(width, height, raw):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def svg():
    def hex_colour(c):
        return "#%02x%02x%02x" % c

    def points(shape):
        return " ".join("%g,%g" % (x * 256, y * 256) for x, y in shape)

    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
             '  <rect x="10.24" y="10.24" width="235.52" height="235.52" rx="46.08" fill="%s"/>' % hex_colour(TILE)]
    for kind, shape, fill in SHAPES:
        if kind == "polygon":
            parts.append('  <polygon points="%s" fill="%s"/>' % (points(shape), hex_colour(fill)))
        else:
            (cx, cy), r = shape
            parts.append('  <circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (cx * 256, cy * 256, r * 256, hex_colour(fill)))
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


if __name__ == "__main__":
    with open("icons/folianto.svg", "w") as out:
        out.write(svg())
    for size in SIZES:
        with open("icons/folianto-%d.png" % size, "wb") as out:
            out.write(render(size))
